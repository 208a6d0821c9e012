#include "cli/result.h"

#include "numbers/commandnumbers.h"
#include "sensors/rangers.h"

#include <QHash>
#include <QJsonArray>

namespace kestrava::cli {

namespace {

const QString NotRead = QStringLiteral("--");

} // namespace

const Complaint *Result::firstComplaint() const
{
    for (const auto &part : parts) {
        if (const Complaint *complaint = std::get_if<Complaint>(&part))
            return complaint;
    }
    return nullptr;
}

QString registerText(quint8 address, quint8 reg)
{
    return QStringLiteral("%1 register %2").arg(addressText(address)).arg(reg);
}

QString complaintText(Outcome outcome, quint8 address, quint8 reg)
{
    if (outcome == Outcome::OutOfStep)
        return QStringLiteral("the line was out of step at ") + registerText(address, reg)
             + QStringLiteral("; its answer is not used");
    return QStringLiteral("no answer from ") + registerText(address, reg);
}

namespace {

// The unit of a field as people write it after a number; none for counts and versions.
QString unitOf(const QString &field)
{
    static const QHash<QString, QString> units{
        {QStringLiteral("battery"), QStringLiteral(" V")}, {QStringLiteral("current1"), QStringLiteral(" A")},
        {QStringLiteral("current2"), QStringLiteral(" A")}, {QStringLiteral("bearing"), QStringLiteral("°")},
        {QStringLiteral("ambient"), QStringLiteral(" °C")}, {QStringLiteral("pixel"), QStringLiteral(" °C")},
        {QStringLiteral("range"), QStringLiteral(" cm")}};
    return units.value(field);
}

// What names one element of a repeated field for people: a ranger by its
// address; the thermal pixels by their place alone.
QString elementLabel(const Reading &reading)
{
    return reading.module == QLatin1String("srf02") ? addressText(rangerAddress(reading.index)) : QString();
}

// The module's value exactly, in its unit: "-167", "12.1", "0.5", "123".
QString valueText(const Reading &reading)
{
    if (reading.key->scale == Scale::Units)
        return QString::number(reading.value);
    if (reading.value % 10 == 0)
        return QString::number(reading.value / 10);
    return QString::number(double(reading.value) / 10, 'f', 1);
}

QJsonValue valueJson(const Reading &reading)
{
    if (!reading.answered())
        return QJsonValue();
    return reading.key->scale == Scale::Tenths ? double(reading.value) / 10 : double(reading.value);
}

QString shownWithUnit(const Reading &reading)
{
    return reading.answered() ? valueText(reading) + unitOf(reading.field) : NotRead;
}

void appendSingle(Row &row, const Reading &reading, const QJsonValue &value)
{
    row.columns.append({reading.field, value});
    row.plain << reading.field + QStringLiteral(": ") + shownWithUnit(reading);
}

// Labelled elements: "ranges: E0 34 cm, E2 --", columns range_E0, range_E2 in CSV.
// Unlabelled ones: "pixels: 20 21 ... °C".
void appendElement(Row &row, const Reading &reading, const QJsonValue &value)
{
    const QString plural = reading.field + u's';
    const QString label = elementLabel(reading);
    const bool first = row.columns.isEmpty() || row.columns.last().name != plural;
    if (first) {
        row.columns.append({plural, QJsonArray()});
        row.plain << plural + u':';
    }
    Column &column = row.columns.last();
    QJsonArray array = column.value.toArray();
    array.append(value);
    column.value = array;
    QString &line = row.plain.last();
    if (label.isEmpty()) {
        const QString unit = unitOf(reading.field);
        if (!first)
            line.chop(unit.size());
        line += u' ' + (reading.answered() ? valueText(reading) : NotRead) + unit;
        return;
    }
    column.elementNames << reading.field + u'_' + label;
    line += (first ? QStringLiteral(" ") : QStringLiteral(", ")) + label + u' ' + shownWithUnit(reading);
}

} // namespace

Row rowOf(const std::vector<Reading> &readings)
{
    Row row;
    for (const Reading &reading : readings) {
        const QJsonValue value = valueJson(reading);
        if (reading.index < 0)
            appendSingle(row, reading, value);
        else
            appendElement(row, reading, value);
    }
    return row;
}

} // namespace kestrava::cli
