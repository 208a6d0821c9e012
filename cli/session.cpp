#include "session.h"

#include "compass.h"
#include "display.h"
#include "frames.h"
#include "motion.h"
#include "rangers.h"
#include "relays.h"
#include "servos.h"
#include "telemetry.h"
#include "thermalarray.h"
#include "transactionengine.h"
#include "serialline.h"

#include <QHash>
#include <QJsonArray>

namespace kestrava::cli {

namespace {

constexpr int RowLength = 16;
const QString NotRead = QStringLiteral("--");

QString hexByte(quint8 byte)
{
    return addressText(byte);
}

QJsonArray numbers(QByteArrayView bytes)
{
    QJsonArray array;
    for (char byte : bytes)
        array.append(quint8(byte));
    return array;
}

QString dumpHeader()
{
    QString header = QStringLiteral("   ");
    for (int column = 0; column < RowLength; ++column)
        header += QStringLiteral("  %1").arg(column, 0, 16);
    return header;
}

} // namespace

QString registerText(quint8 address, quint8 reg)
{
    return QStringLiteral("%1 register %2").arg(addressText(address)).arg(reg);
}

Session::Session(TransactionEngine &engine, Printer &printer, QTextStream &errors)
    : m_engine(engine)
    , m_printer(printer)
    , m_errors(errors)
{
}

Outcome Session::run(const Request &request, double t)
{
    switch (request.command) {
    case Command::Read: return read(request, t);
    case Command::Write: return write(request, t);
    case Command::Dump: return dump(request, t);
    case Command::Probe: return probe(request, t);
    case Command::Telemetry: return sequence(readTelemetry, t);
    case Command::Ranges: return sequence(readRanges, t);
    case Command::Bearing: return sequence(readCompass, t);
    case Command::Thermal: return sequence(readThermal, t);
    case Command::Drive: return drive(request);
    default: return actuate(request);
    }
}

Outcome Session::complain(Outcome outcome, quint8 address, quint8 reg)
{
    if (outcome == Outcome::TimedOut)
        m_errors << "error: no answer from " << registerText(address, reg) << '\n';
    return outcome;
}

QByteArray Session::replyBytes(int count) const
{
    return QByteArray(reinterpret_cast<const char *>(m_engine.ReplyBuffer().data()), count);
}

Outcome Session::read(const Request &request, double t)
{
    const quint8 address = request.addresses.front();
    // A late answer to an earlier frame must not be taken for this one's.
    m_engine.line().discardInput();
    const Outcome outcome = m_engine.readRegisters(address, request.firstRegister, quint8(request.count));
    if (outcome != Outcome::Taken)
        return complain(outcome, address, request.firstRegister);
    const QByteArray bytes = replyBytes(request.count);
    m_printer.print({{{QStringLiteral("bytes"), numbers(bytes)}}, {hexBytes(bytes)}}, t);
    return outcome;
}

Outcome Session::write(const Request &request, double t)
{
    const quint8 address = request.addresses.front();
    m_engine.line().discardInput();
    const QByteArray data(reinterpret_cast<const char *>(request.bytes.data()), qsizetype(request.bytes.size()));
    const Outcome outcome = m_engine.writeRegisters(address, request.firstRegister, data);
    if (outcome != Outcome::Taken)
        return complain(outcome, address, request.firstRegister);
    const quint8 answer = m_engine.reply(0);
    m_printer.print({{{QStringLiteral("answer"), answer}}, {hexByte(answer)}}, t);
    return outcome;
}

Outcome Session::dump(const Request &request, double t)
{
    const quint8 address = request.addresses.front();
    Outcome result = Outcome::Taken;
    QStringList plain{dumpHeader()};
    for (int offset = 0; offset < request.count; offset += RowLength) {
        const quint8 first = quint8(request.firstRegister + offset);
        const int count = qMin(RowLength, request.count - offset);
        m_engine.line().discardInput();
        const Outcome outcome = complain(m_engine.readRegisters(address, first, quint8(count)), address, first);
        result = worseOf(result, outcome);
        if (outcome == Outcome::NotSent || outcome == Outcome::Lost)
            break;
        const QByteArray bytes = outcome == Outcome::Taken ? replyBytes(count) : QByteArray();
        QStringList cells(count, NotRead);
        QJsonArray values;
        for (int i = 0; i < count; ++i) {
            if (!bytes.isEmpty())
                cells[i] = hexByte(quint8(bytes[i]));
            values.append(bytes.isEmpty() ? QJsonValue() : QJsonValue(quint8(bytes[i])));
        }
        plain << hexByte(first) + QStringLiteral(": ") + cells.join(u' ');
        m_printer.print({{{QStringLiteral("register"), first}, {QStringLiteral("bytes"), values}}, plain}, t);
        plain.clear();
    }
    return result;
}

Outcome Session::probe(const Request &request, double t)
{
    int answered = 0;
    for (quint8 address : request.addresses) {
        m_engine.line().discardInput();
        const Outcome outcome = m_engine.readRegisters(address, 0, 1);
        if (outcome == Outcome::NotSent || outcome == Outcome::Lost)
            return outcome;
        const bool heard = outcome == Outcome::Taken;
        answered += heard;
        const QString name = addressText(address);
        const QJsonValue value = heard ? QJsonValue(m_engine.reply(0)) : QJsonValue();
        const QString line = heard ? name + QStringLiteral(" answered ") + hexByte(m_engine.reply(0))
                                   : name + QStringLiteral(" silent");
        m_printer.print({{{QStringLiteral("address"), name}, {QStringLiteral("answered"), heard},
                          {QStringLiteral("value"), value}},
                         {line}},
                        t);
    }
    m_printer.printFooter(QStringLiteral("%1 of %2 answered").arg(answered).arg(request.addresses.size()));
    // Named addresses are expected to answer; on the whole bus most are empty, and
    // only a bus where nothing answers is a failure.
    const bool asHoped = request.wholeBus ? answered > 0 : answered == qsizetype(request.addresses.size());
    return asHoped ? Outcome::Taken : Outcome::TimedOut;
}

Outcome Session::sequence(Outcome (*run)(TransactionEngine &, const ReadingSink &), double t)
{
    std::vector<Reading> readings;
    const Outcome outcome = run(m_engine, [&readings](const Reading &reading) { readings.push_back(reading); });
    for (const Reading &reading : readings) {
        if (reading.unanswered)
            complain(reading.unanswered->outcome, reading.unanswered->address, reading.unanswered->reg);
    }
    if (!readings.empty())
        m_printer.print(rowOf(readings), t);
    return outcome;
}

Outcome Session::actuate(const Request &request)
{
    switch (request.command) {
    case Command::Relays: {
        const Outcome outcome = complain(writeRelays(m_engine, request.bytes.front()), rly08::Address, rly08::States);
        if (outcome == Outcome::Taken)
            m_printer.print({{{QStringLiteral("pattern"), request.bytes.front()}},
                             {hexByte(request.bytes.front())}}, 0);
        return outcome;
    }
    case Command::Servo:
        return complain(writeServoPosition(m_engine, request.servo, request.position), sd21::Address,
                        quint8(sd21::RegistersPerServo * request.servo + sd21::PositionLow));
    default:
        return complain(writeDisplayText(m_engine, request.text), lcd03::Address, lcd03::Command);
    }
}

Outcome Session::drive(const Request &request)
{
    const Outcome driven = complain(driveMotors(m_engine, request.speed1, request.speed2), md23::Address, md23::Speed1);
    if (driven != Outcome::NotSent && driven != Outcome::Lost && m_driveWait)
        m_driveWait(request.milliseconds);
    // Whatever happened above, the motors are told to stop.
    const Outcome stopped = complain(stopMotors(m_engine), md23::Address, md23::Speed1);
    if (stopped == Outcome::NotSent || stopped == Outcome::Lost)
        m_errors << "error: the port is gone; the stop to " << addressText(md23::Address)
                 << " registers 0 and 1 could not be sent\n";
    return worseOf(driven, stopped);
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

QString shownWithUnit(const Reading &reading)
{
    return reading.answered() ? reading.shown + unitOf(reading.field) : NotRead;
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
        line += u' ' + (reading.answered() ? reading.shown : NotRead) + unit;
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
        if (reading.shown.isEmpty())
            continue; // not a caption (the needle)
        const QJsonValue value = reading.answered() ? jsonNumber(reading.shown) : QJsonValue();
        if (reading.index < 0)
            appendSingle(row, reading, value);
        else
            appendElement(row, reading, value);
    }
    return row;
}

} // namespace kestrava::cli
