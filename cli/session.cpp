#include "cli/session.h"

#include "sensors/compass.h"
#include "actuators/display.h"
#include "link/frames.h"
#include "drive/motion.h"
#include "sensors/rangers.h"
#include "actuators/relays.h"
#include "actuators/servos.h"
#include "drive/telemetry.h"
#include "sensors/thermalarray.h"
#include "link/instep.h"
#include "link/transactionengine.h"

#include <QHash>
#include <QJsonArray>

namespace kestrava::cli {

namespace {

constexpr int RowLength = DumpRowLength;
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

QString complaintText(Outcome outcome, quint8 address, quint8 reg)
{
    if (outcome == Outcome::OutOfStep)
        return QStringLiteral("the line was out of step at ") + registerText(address, reg)
             + QStringLiteral("; its answer is not used");
    return QStringLiteral("no answer from ") + registerText(address, reg);
}

Session::Session(InStepLink &link, Motors &motors, Printer &printer, QTextStream &errors)
    : m_link(link)
    , m_motors(motors)
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
    case Command::Telemetry: return sequence(readTelemetryAtOnce, t);
    case Command::Ranges: return sequence(request.together ? readRangesTogether : readRangesInStep, t);
    case Command::Bearing: return sequence(readCompassAtOnce, t);
    case Command::Thermal: return sequence(readThermalAtOnce, t);
    case Command::Drive: return drive(request);
    case Command::Relays:
    case Command::Servo:
    case Command::Display: return actuate(request);
    // The command line's own, and the server's: carried out by the program and the server.
    case Command::Serve: case Command::Sim: case Command::Keys: case Command::Stop: case Command::Wheels: case Command::Hello:
    case Command::SimulatorRun: case Command::SimulatorStart: case Command::SimulatorArena:
    case Command::SimulatorCandle: case Command::SimulatorPose: case Command::SimulatorPath: break;
    }
    return Outcome::NotSent;
}

Outcome Session::complain(Outcome outcome, quint8 address, quint8 reg)
{
    if (outcome == Outcome::TimedOut || outcome == Outcome::OutOfStep)
        m_errors << "error: " << complaintText(outcome, address, reg) << Qt::endl; // in order with the rows
    return outcome;
}

Outcome Session::read(const Request &request, double t)
{
    const quint8 address = request.addresses.front();
    const Answer answer = m_link.readRegisters(address, request.firstRegister, quint8(request.count));
    if (!answer.taken())
        return complain(answer.outcome, address, request.firstRegister);
    m_printer.print({{{QStringLiteral("bytes"), numbers(answer.bytes)}}, {hexBytes(answer.bytes)}}, t);
    return answer.outcome;
}

Outcome Session::write(const Request &request, double t)
{
    const quint8 address = request.addresses.front();
    const QByteArray data(reinterpret_cast<const char *>(request.bytes.data()), qsizetype(request.bytes.size()));
    const Answer answer = m_link.writeRegisters(address, request.firstRegister, data);
    if (!answer.taken())
        return complain(answer.outcome, address, request.firstRegister);
    const quint8 byte = quint8(answer.bytes[0]);
    m_printer.print({{{QStringLiteral("answer"), byte}}, {hexByte(byte)}}, t);
    return answer.outcome;
}

Outcome Session::dump(const Request &request, double t)
{
    const quint8 address = request.addresses.front();
    Outcome result = Outcome::Taken;
    QStringList plain{dumpHeader()};
    for (int offset = 0; offset < request.count; offset += RowLength) {
        const quint8 first = quint8(request.firstRegister + offset);
        const int count = qMin(RowLength, request.count - offset);
        const Answer answer = m_link.readRegisters(address, first, quint8(count));
        result = worseOf(result, complain(answer.outcome, address, first));
        if (answer.outcome == Outcome::NotSent || answer.outcome == Outcome::Lost)
            break;
        QStringList cells(count, NotRead);
        QJsonArray values;
        for (int i = 0; i < count; ++i) {
            if (answer.taken())
                cells[i] = hexByte(quint8(answer.bytes[i]));
            values.append(answer.taken() ? QJsonValue(quint8(answer.bytes[i])) : QJsonValue());
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
        const Answer answer = m_link.readRegisters(address, 0, 1);
        if (answer.outcome == Outcome::NotSent || answer.outcome == Outcome::Lost)
            return answer.outcome;
        const bool heard = answer.taken();
        answered += heard;
        const QString name = addressText(address);
        const quint8 byte = heard ? quint8(answer.bytes[0]) : 0;
        const QJsonValue value = heard ? QJsonValue(byte) : QJsonValue();
        const QString line = heard ? name + QStringLiteral(" answered ") + hexByte(byte)
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

Outcome Session::sequence(Outcome (*run)(InStepLink &, const ReadingSink &), double t)
{
    std::vector<Reading> readings;
    const Outcome outcome = run(m_link, [&readings](const Reading &reading) { readings.push_back(reading); });
    std::optional<Unanswered> last;
    for (const Reading &reading : readings) {
        const std::optional<Unanswered> &missing = reading.unanswered;
        // The fields of one block read share their complaint.
        if (missing && !(last && last->address == missing->address && last->reg == missing->reg))
            complain(missing->outcome, missing->address, missing->reg);
        if (missing)
            last = missing;
    }
    if (!readings.empty())
        m_printer.print(rowOf(readings), t);
    return outcome;
}

std::vector<QByteArray> actuatorFrames(const Request &request)
{
    if (request.command == Command::Relays)
        return {relayPatternFrame(request.bytes.front())};
    if (request.command == Command::Servo) {
        const auto frames = servoPositionFrames(request.servo, request.position);
        return {frames.begin(), frames.end()};
    }
    if (request.command == Command::Display)
        return {displayTextFrame(request.text)};
    return {}; // nothing else writes frames of its own
}

Outcome Session::actuate(const Request &request)
{
    const Outcome outcome = writeEach(actuatorFrames(request));
    if (request.command == Command::Relays && outcome == Outcome::Taken)
        m_printer.print({{{QStringLiteral("pattern"), request.bytes.front()}}, {hexByte(request.bytes.front())}}, 0);
    return outcome;
}

// Frames answered by one byte each, in order, until one cannot go out.
Outcome Session::writeEach(std::span<const QByteArray> frames)
{
    Outcome result = Outcome::Taken;
    for (const QByteArray &frame : frames) {
        const Outcome outcome = m_link.exchange(frame, 1).outcome;
        result = worseOf(result, complain(outcome, quint8(frame[1]), quint8(frame[2])));
        if (outcome == Outcome::NotSent || outcome == Outcome::Lost)
            break;
    }
    return result;
}

Outcome Session::drive(const Request &request)
{
    const Outcome driven = complainOfMotors(m_motors.drive(request.speed1, request.speed2));
    if (!m_motors.moving())
        return driven; // refused, or nothing went out: nothing to stop
    if (driven != Outcome::NotSent && driven != Outcome::Lost && m_driveWait)
        m_driveWait(request.milliseconds);
    return worseOf(driven, stopMotors());
}

// Whatever happened before, the motors are told to stop, with their mode's stop.
Outcome Session::stopMotors()
{
    const Outcome stopped = complainOfMotors(m_motors.stop());
    if (stopped == Outcome::NotSent || stopped == Outcome::Lost)
        m_errors << "error: the port is gone; the stop to " << addressText(md23::Address)
                 << " registers 0 and 1 could not be sent\n";
    return stopped;
}

Outcome Session::complainOfMotors(Outcome outcome)
{
    if (const std::optional<Unanswered> &failure = m_motors.failure())
        complain(failure->outcome, failure->address, failure->reg);
    if (!m_motors.refusal().isEmpty())
        m_errors << "error: not driving: " << m_motors.refusal() << '\n';
    return outcome;
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
