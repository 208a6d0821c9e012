#include "cli/output.h"

#include "drive/md23.h"
#include "numbers/commandnumbers.h"

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

Printer::Printer(QTextStream &out, QTextStream &errors, Format format)
    : m_out(out)
    , m_errors(errors)
    , m_format(format)
{
}

void Printer::print(const Result &result, double secondsSinceStart)
{
    for (const auto &part : result.parts) {
        if (const Row *row = std::get_if<Row>(&part))
            print(*row, secondsSinceStart);
        else
            complain(std::get<Complaint>(part));
    }
    if (result.stopUnsent)
        m_errors << "error: the port is gone; the stop to " << addressText(md23::Address)
                 << " registers 0 and 1 could not be sent" << Qt::endl;
    if (!result.footer.isEmpty())
        printFooter(result.footer);
}

// A register whose answer came too late or out of step; one the line never carried
// is said once, by the caller, of the whole pass.
void Printer::complain(const Complaint &complaint)
{
    const Unanswered &where = complaint.where;
    if (where.outcome == Outcome::TimedOut || where.outcome == Outcome::OutOfStep)
        m_errors << "error: " << complaintText(where.outcome, where.address, where.reg) << Qt::endl;
    if (!complaint.why.isEmpty())
        m_errors << "error: " << complaint.why << Qt::endl;
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
