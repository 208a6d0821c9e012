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
    return Outcome::Taken; // silence is what a probe finds out, not a failure
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
                             {QString::number(request.bytes.front())}}, 0);
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

Row rowOf(const std::vector<Reading> &readings)
{
    Row row;
    for (const Reading &reading : readings) {
        if (reading.shown.isEmpty())
            continue; // not a caption (the needle)
        const QJsonValue value = reading.answered() ? jsonNumber(reading.shown) : QJsonValue();
        const QString shown = reading.answered() ? reading.shown : NotRead;
        if (reading.index < 0) {
            row.columns.append({reading.field, value});
            row.plain << reading.field + QStringLiteral(": ") + shown;
            continue;
        }
        const QString plural = reading.field + u's';
        if (row.columns.isEmpty() || row.columns.last().name != plural) {
            row.columns.append({plural, QJsonArray()});
            row.plain << plural + u':';
        }
        QJsonArray array = row.columns.last().value.toArray();
        array.append(value);
        row.columns.last().value = array;
        row.plain.last() += u' ' + shown;
    }
    return row;
}

} // namespace kestrava::cli
