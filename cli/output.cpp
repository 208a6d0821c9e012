#include "cli/output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace kestrava::cli {

namespace {

QString seconds(double value)
{
    return QString::number(value, 'f', 3);
}

QString csvText(const QJsonValue &value)
{
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', 10);
    if (value.isBool())
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    return value.toString(); // Null: an empty cell
}

struct CsvCell
{
    QString name;
    QJsonValue value;
};

// A CSV row is flat: an array column spreads over one cell per element, named
// by the column's element names, or name1, name2, and so on.
QList<CsvCell> csvCells(const Row &row)
{
    QList<CsvCell> cells;
    for (const Column &column : row.columns) {
        if (!column.value.isArray()) {
            cells.append({column.name, column.value});
            continue;
        }
        const QJsonArray elements = column.value.toArray();
        for (qsizetype i = 0; i < elements.size(); ++i)
            cells.append({i < column.elementNames.size() ? column.elementNames.at(i)
                                                         : column.name + QString::number(i + 1),
                          elements.at(i)});
    }
    return cells;
}

} // namespace

Printer::Printer(QTextStream &out, Format format)
    : m_out(out)
    , m_format(format)
{
}

void Printer::print(const Row &row, double secondsSinceStart)
{
    switch (m_format) {
    case Format::Plain:
        for (const QString &line : row.plain)
            m_out << line << '\n';
        break;
    case Format::Csv:
        if (!m_headerDone)
            m_out << csvHeader(row) << '\n';
        m_headerDone = true;
        m_out << csvLine(row, secondsSinceStart) << '\n';
        break;
    case Format::Json:
        m_out << jsonLine(row, secondsSinceStart) << '\n';
        break;
    }
    m_out.flush(); // a log read while it is written, line by line
}

void Printer::printFooter(const QString &line)
{
    if (m_format == Format::Plain)
        m_out << line << '\n';
    m_out.flush();
}

QString Printer::csvHeader(const Row &row) const
{
    QStringList names{QStringLiteral("t")};
    for (const CsvCell &cell : csvCells(row))
        names << cell.name;
    return names.join(u',');
}

QString Printer::csvLine(const Row &row, double secondsSinceStart) const
{
    QStringList cells{seconds(secondsSinceStart)};
    for (const CsvCell &cell : csvCells(row))
        cells << csvText(cell.value);
    return cells.join(u',');
}

QString Printer::jsonLine(const Row &row, double secondsSinceStart) const
{
    // Written by hand so that `t` comes first and the fields keep their order.
    QStringList members{QStringLiteral("\"t\":") + seconds(secondsSinceStart)};
    for (const Column &column : row.columns) {
        const QJsonArray wrapped{column.value};
        const QByteArray value = QJsonDocument(wrapped).toJson(QJsonDocument::Compact);
        members << QStringLiteral("\"%1\":%2").arg(column.name, QString::fromUtf8(value.mid(1, value.size() - 2)));
    }
    return u'{' + members.join(u',') + u'}';
}

} // namespace kestrava::cli
