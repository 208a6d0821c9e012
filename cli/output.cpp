#include "output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace kestrava::cli {

namespace {

QString seconds(double value)
{
    return QString::number(value, 'f', 3);
}

QString csvCell(const QJsonValue &value)
{
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', 10);
    if (value.isBool())
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    return value.toString(); // Null: an empty cell
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
    for (const Column &column : row.columns) {
        if (!column.value.isArray()) {
            names << column.name;
            continue;
        }
        for (qsizetype i = 1; i <= column.value.toArray().size(); ++i)
            names << column.name + QString::number(i);
    }
    return names.join(u',');
}

QString Printer::csvLine(const Row &row, double secondsSinceStart) const
{
    QStringList cells{seconds(secondsSinceStart)};
    for (const Column &column : row.columns) {
        if (!column.value.isArray()) {
            cells << csvCell(column.value);
            continue;
        }
        for (const QJsonValue &element : column.value.toArray())
            cells << csvCell(element);
    }
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

QJsonValue jsonNumber(const QString &shown)
{
    bool ok = false;
    const double value = shown.toDouble(&ok);
    return ok ? QJsonValue(value) : QJsonValue(shown);
}

} // namespace kestrava::cli
