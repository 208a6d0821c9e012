#include "cli/dispatch.h"

#include "cli/commands.h"
#include "cli/safety.h"
#include "cli/session.h"

#include "actuators/keypaddialogue.h"
#include "actuators/lcd03.h"
#include "drive/md23.h"
#include "drive/motion.h"
#include "drive/telemetry.h"
#include "launcher/controlanswer.h"
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

QJsonObject runObject(const launcher::RunAnswer &run)
{
    static const char *const states[] = {"not started", "running", "finished"};
    return {{"state", QLatin1String(states[int(run.state)])},
            {"time", run.seconds},
            {"contacts", run.contacts},
            {"candle_out", run.state == launcher::RunAnswer::State::Finished}};
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
    const std::optional<launcher::ControlAnswer> answer = launcher::answerOf(lines);
    if (!answer)
        return rpc::Error{rpc::Simulator, error.isEmpty() ? QStringLiteral("the simulator did not answer") : error};
    if (!answer->ok)
        return rpc::Error{rpc::Simulator, QLatin1String(rowOf(request.command).method) + QStringLiteral(": ") + answer->detail};
    if (request.command == Command::SimulatorRun) {
        if (const std::optional<launcher::RunAnswer> run = launcher::runOf(*answer))
            return runObject(*run);
        return rpc::Error{rpc::Simulator, QStringLiteral("the simulator's answer did not say how the run stands")};
    }
    if (request.command == Command::SimulatorPose) {
        if (const std::optional<launcher::PoseAnswer> pose = launcher::poseOf(*answer))
            return QJsonObject{{"x", pose->x}, {"y", pose->y}, {"heading", pose->heading}};
        return rpc::Error{rpc::Simulator, QStringLiteral("the simulator's world did not say where the robot is")};
    }
    if (request.command == Command::SimulatorPath) // the simulator's own lines, read by the package's one parser
        return QJsonObject{{"lines", QJsonArray::fromStringList(lines.mid(0, lines.size() - 1))}};
    return QJsonObject{};
}

QJsonValue Dispatcher::hello() const
{
    const TransactionEngine &engine = m_link.engine();
    const QString device = deviceForComPort(engine.commPort());
    const QString port = QStringLiteral("COM%1 (%2)").arg(engine.commPort()).arg(device);
    // "port" stays as scripts read it; a simulated robot is no COM port to a person.
    const QString connection = m_simulator ? QStringLiteral("the simulated robot (%1)").arg(device) : port;
    return QJsonObject{{"version", QStringLiteral(KESTRAVA_VERSION)},
                       {"port", port},
                       {"connection", connection},
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
