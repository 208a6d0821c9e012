#include "cli/dispatch.h"

#include "cli/commands.h"
#include "cli/safety.h"
#include "cli/session.h"

#include "actuators/keypaddialogue.h"
#include "actuators/lcd03.h"
#include "drive/md23.h"
#include "drive/motion.h"
#include "drive/telemetry.h"
#include "link/instep.h"
#include "link/serialline.h"
#include "link/transactionengine.h"
#include "sensors/compass.h"
#include "sensors/rangers.h"
#include "sensors/thermalarray.h"

#include <QJsonArray>

namespace kestrava::cli {

namespace {

QJsonObject objectOf(const Row &row)
{
    QJsonObject object;
    for (const Column &column : row.columns)
        object.insert(column.name, column.value);
    return object;
}

QJsonArray numbersOf(QByteArrayView bytes)
{
    QJsonArray array;
    for (char byte : bytes)
        array.append(quint8(byte));
    return array;
}

// "ok time 41.2 contacts 2 candle out", "ok running time 3.0 contacts 1" or "ok not started".
QJsonObject runOf(const QString &answer)
{
    const QStringList words = answer.split(u' ', Qt::SkipEmptyParts);
    const qsizetype time = words.indexOf(QStringLiteral("time")), contacts = words.indexOf(QStringLiteral("contacts"));
    const bool finished = answer.endsWith(QLatin1String("candle out"));
    const QString state = finished ? QStringLiteral("finished")
                          : words.value(1) == QLatin1String("running") ? QStringLiteral("running")
                                                                       : QStringLiteral("not started");
    return {{"state", state},
            {"time", time > 0 ? words.value(time + 1).toDouble() : 0.0},
            {"contacts", contacts > 0 ? words.value(contacts + 1).toInt() : 0},
            {"candle_out", finished}};
}

// From the world's line "robot at 30.0 125.0 heading 90.0".
std::optional<QJsonObject> poseOf(const QStringList &world)
{
    for (const QString &line : world) {
        const QStringList words = line.split(u' ', Qt::SkipEmptyParts);
        if (words.size() == 6 && words[0] == QLatin1String("robot") && words[4] == QLatin1String("heading"))
            return QJsonObject{{"x", words[2].toDouble()}, {"y", words[3].toDouble()}, {"heading", words[5].toDouble()}};
    }
    return std::nullopt;
}

} // namespace

Dispatcher::Dispatcher(InStepLink &link, Motors &motors, MotorSafety &safety, Pause pause)
    : m_link(link)
    , m_motors(motors)
    , m_safety(safety)
    , m_pause(std::move(pause))
{
}

std::optional<QByteArray> Dispatcher::answer(const rpc::Call &call)
{
    const Result result = std::holds_alternative<rpc::Error>(call.request) ? Result(std::get<rpc::Error>(call.request))
                          : m_lost ? Result(lostDevice())
                                   : carryOut(std::get<Request>(call.request));
    if (!call.answered())
        return std::nullopt;
    if (const rpc::Error *error = std::get_if<rpc::Error>(&result))
        return rpc::errorReply(call.id, *error);
    return rpc::resultReply(call.id, std::get<QJsonValue>(result));
}

Dispatcher::Result Dispatcher::carryOut(const Request &request)
{
    switch (request.command) {
    case Command::Bearing:
    case Command::Thermal:
    case Command::Telemetry:
    case Command::Ranges: return readings(request);
    case Command::Read:
    case Command::Write: return registers(request);
    case Command::Keys: return keys();
    case Command::Drive:
    case Command::Wheels:
    case Command::Stop: return motors(request);
    case Command::Hello: return hello();
    case Command::SimulatorRun:
    case Command::SimulatorStart:
    case Command::SimulatorArena:
    case Command::SimulatorCandle:
    case Command::SimulatorPose:
    case Command::SimulatorPath: return simulator(request);
    case Command::Relays:
    case Command::Servo:
    case Command::Display: return actuate(request);
    case Command::Dump: case Command::Probe: case Command::Serve: case Command::Sim: break; // no methods
    }
    return rpc::Error{rpc::MethodNotFound, QStringLiteral("not a method of the server")};
}

Dispatcher::Result Dispatcher::readings(const Request &request)
{
    using Sequence = Outcome (*)(InStepLink &, const ReadingSink &);
    const Sequence sequence = request.command == Command::Bearing     ? readCompassAtOnce
                              : request.command == Command::Thermal   ? readThermalAtOnce
                              : request.command == Command::Telemetry ? readTelemetryAtOnce
                              : request.together                      ? readRangesTogether
                                                                      : readRangesInStep;
    std::vector<Reading> readings;
    const Outcome outcome = sequence(m_link, [&readings](const Reading &reading) { readings.push_back(reading); });
    for (const Reading &reading : readings) {
        if (const std::optional<Unanswered> &missing = reading.unanswered)
            return failure(missing->outcome, missing->address, missing->reg);
    }
    if (readings.empty() || outcome != Outcome::Taken)
        return failure(outcome == Outcome::Taken ? Outcome::NotSent : outcome, 0, 0);
    return objectOf(rowOf(readings));
}

Dispatcher::Result Dispatcher::registers(const Request &request)
{
    const quint8 address = request.addresses.front();
    if (request.command == Command::Read) {
        const Answer answer = m_link.readRegisters(address, request.firstRegister, quint8(request.count));
        if (!answer.taken())
            return failure(answer.outcome, address, request.firstRegister);
        return QJsonObject{{"bytes", numbersOf(answer.bytes)}};
    }
    m_motors.noteRawWrite(address, request.firstRegister, qsizetype(request.bytes.size()));
    const QByteArray data(reinterpret_cast<const char *>(request.bytes.data()), qsizetype(request.bytes.size()));
    const Answer answer = m_link.writeRegisters(address, request.firstRegister, data);
    if (!answer.taken())
        return failure(answer.outcome, address, request.firstRegister);
    return QJsonObject{{"answer", quint8(answer.bytes[0])}};
}

Dispatcher::Result Dispatcher::actuate(const Request &request)
{
    for (const QByteArray &frame : actuatorFrames(request)) {
        const Answer answer = m_link.exchange(frame, 1);
        if (!answer.taken())
            return failure(answer.outcome, quint8(frame[1]), quint8(frame[2]));
    }
    return QJsonObject{};
}

Dispatcher::Result Dispatcher::keys()
{
    const Answer answer = m_link.readRegisters(lcd03::Address, lcd03::KeypadLow, 2);
    if (!answer.taken())
        return failure(answer.outcome, lcd03::Address, lcd03::KeypadLow);
    return QJsonObject{{"keys", heldKeys(quint8(answer.bytes[0]), quint8(answer.bytes[1]))}};
}

Dispatcher::Result Dispatcher::motors(const Request &request)
{
    m_safety.cancelTimedStop(); // the latest motor request decides
    if (request.command == Command::Wheels) {
        if (m_motors.wheels(request.left, request.right) != Outcome::Taken)
            return motorFailure(QStringLiteral("not driving"));
        return QJsonObject{};
    }
    if (request.command == Command::Drive) {
        if (m_motors.drive(request.speed1, request.speed2) != Outcome::Taken)
            return motorFailure(QStringLiteral("not driving"));
        if (request.milliseconds == Request::NoTime)
            return QJsonObject{};
        if (!request.waitForEnd) {
            m_safety.stopAfter(request.milliseconds);
            return QJsonObject{};
        }
        m_pause(request.milliseconds); // returns early when the device is lost
    }
    if (m_motors.stop() != Outcome::Taken)
        return motorFailure(QStringLiteral("not stopped"));
    return QJsonObject{};
}

Dispatcher::Result Dispatcher::simulator(const Request &request)
{
    if (!m_simulator)
        return rpc::Error{rpc::Simulator, QStringLiteral("not a simulated robot: there is no simulator to ask")};
    QString error;
    const QStringList lines = m_simulator(request.text, error);
    if (lines.isEmpty())
        return rpc::Error{rpc::Simulator, error.isEmpty() ? QStringLiteral("the simulator did not answer") : error};
    if (lines.last().startsWith(QLatin1String("error: ")))
        return rpc::Error{rpc::Simulator, QLatin1String(rowOf(request.command).method) + QStringLiteral(": ") + lines.last().mid(7)};
    if (request.command == Command::SimulatorRun)
        return runOf(lines.last());
    if (request.command == Command::SimulatorPose) {
        if (const std::optional<QJsonObject> pose = poseOf(lines))
            return *pose;
        return rpc::Error{rpc::Simulator, QStringLiteral("the simulator's world did not say where the robot is")};
    }
    if (request.command == Command::SimulatorPath) // the simulator's own lines, read by the package's one parser
        return QJsonObject{{"lines", QJsonArray::fromStringList(lines.mid(0, lines.size() - 1))}};
    return QJsonObject{};
}

QJsonValue Dispatcher::hello() const
{
    const TransactionEngine &engine = m_link.engine();
    return QJsonObject{{"version", QStringLiteral(KESTRAVA_VERSION)},
                       {"port", QStringLiteral("COM%1 (%2)").arg(engine.commPort()).arg(deviceForComPort(engine.commPort()))},
                       {"open", engine.isOpen()},
                       {"simulator", bool(m_simulator)},
                       {"error", m_portError},
                       {"limits", limits()},
                       {"codes", codes()}};
}

// The bounds and codes of cli/limits.h and rpc.h, so that a client's own copies can be held to them.
QJsonObject Dispatcher::limits()
{
    return {{"default_watchdog_ms", DefaultWatchdogMs}, {"longest_wait_ms", LongestWaitMs}, {"drive_ms", MaxDriveMs},
            {"wheel_steps", QJsonArray{-MaxWheelStep, MaxWheelStep}},
            {"servo_position", QJsonArray{MinServoPosition, MaxServoPosition}}, {"servos", ServoCount},
            {"read_count", MaxReadCount}, {"text_length", MaxTextLength}};
}

QJsonObject Dispatcher::codes()
{
    return {{"parse_error", rpc::ParseError}, {"invalid_request", rpc::InvalidRequest},
            {"method_not_found", rpc::MethodNotFound}, {"invalid_params", rpc::InvalidParams},
            {"no_answer", rpc::NoAnswer}, {"port_not_opened", rpc::PortNotOpened}, {"device_lost", rpc::DeviceLost},
            {"simulator", rpc::Simulator}};
}

rpc::Error Dispatcher::failure(Outcome outcome, quint8 address, quint8 reg)
{
    switch (outcome) {
    case Outcome::NotSent:
        if (!m_portError.isEmpty())
            return {rpc::PortNotOpened, m_portError};
        [[fallthrough]];
    case Outcome::Lost:
        return lostDevice();
    default:
        return {rpc::NoAnswer, complaintText(outcome, address, reg), QJsonObject{{"address", address}, {"register", reg}}};
    }
}

rpc::Error Dispatcher::lostDevice()
{
    m_lost = true;
    return {rpc::DeviceLost, QStringLiteral("the device was lost")};
}

rpc::Error Dispatcher::motorFailure(const QString &what)
{
    const std::optional<Unanswered> &missing = m_motors.failure();
    rpc::Error error = missing ? failure(missing->outcome, missing->address, missing->reg)
                               : rpc::Error{rpc::NoAnswer, QString(),
                                            QJsonObject{{"address", md23::Address}, {"register", md23::Mode}}};
    if (!m_motors.refusal().isEmpty())
        error.message = what + QStringLiteral(": ") + m_motors.refusal();
    return error;
}

} // namespace kestrava::cli
