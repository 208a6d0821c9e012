#include "cli/executor.h"

#include "cli/commands.h"

#include "actuators/display.h"
#include "actuators/keypaddialogue.h"
#include "actuators/lcd03.h"
#include "actuators/relays.h"
#include "actuators/servos.h"
#include "drive/md23.h"
#include "drive/motion.h"
#include "drive/telemetry.h"
#include "launcher/simanswers.h"
#include "link/frames.h"
#include "link/instep.h"
#include "link/serialline.h"
#include "link/transactionengine.h"
#include "numbers/commandnumbers.h"
#include "sensors/compass.h"
#include "sensors/rangers.h"
#include "sensors/thermalarray.h"

#include <QJsonArray>
#include <QJsonObject>

namespace kestrava::cli {

namespace {

constexpr int RowLength = DumpRowLength;
const QString NotRead = QStringLiteral("--");

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

// A register whose answer did not come is a complaint; the outcome passes into the result.
Outcome note(Outcome outcome, quint8 address, quint8 reg, Result &result)
{
    if (outcome != Outcome::Taken)
        result.add(Complaint{{address, reg, outcome}});
    result.outcome = worseOf(result.outcome, outcome);
    return outcome;
}

bool lineGone(Outcome outcome)
{
    return outcome == Outcome::NotSent || outcome == Outcome::Lost;
}

QLatin1StringView stateName(launcher::SimRun::State state)
{
    switch (state) {
    case launcher::SimRun::State::NotStarted: return QLatin1StringView("not started");
    case launcher::SimRun::State::Running: return QLatin1StringView("running");
    case launcher::SimRun::State::Ended: return QLatin1StringView("ended");
    case launcher::SimRun::State::Finished: return QLatin1StringView("finished");
    }
    return QLatin1StringView("not started");
}

QJsonObject runObject(const launcher::SimRun &run)
{
    return {{"state", stateName(run.state)},
            {"time", run.seconds},
            {"contacts", run.contacts},
            {"candle_out", run.state == launcher::SimRun::State::Finished}};
}

Row columnsOf(const QJsonObject &object)
{
    Row row;
    for (auto member = object.begin(); member != object.end(); ++member)
        row.columns.append({member.key(), member.value()});
    return row;
}

QString clockName(const LinkClock &clock)
{
    return clock.stepped() ? QStringLiteral("stepped") : QStringLiteral("real");
}

// The bounds of cli/limits.h, so that a client's own copies can be held to them.
QJsonObject limits()
{
    return {{"default_watchdog_ms", DefaultWatchdogMs}, {"longest_wait_ms", LongestWaitMs}, {"drive_ms", MaxDriveMs},
            {"clock_wait_seconds", LongestClockWaitSeconds},
            {"wheel_steps", QJsonArray{-MaxWheelStep, MaxWheelStep}},
            {"servo_position", QJsonArray{MinServoPosition, MaxServoPosition}}, {"servos", ServoCount},
            {"read_count", MaxReadCount}, {"text_length", MaxTextLength}};
}

} // namespace

Executor::Executor(InStepLink &link, Motors &motors, Pause pause)
    : m_link(link)
    , m_motors(motors)
    , m_pause(std::move(pause))
{
}

Result Executor::carryOut(const Request &request)
{
    Result result;
    switch (request.command) {
    case Command::Read: read(request, result); break;
    case Command::Write: write(request, result); break;
    case Command::Dump: dump(request, result); break;
    case Command::Probe: probe(request, result); break;
    case Command::Telemetry: readings(readTelemetryAtOnce, result); break;
    case Command::Ranges: readings(request.together ? readRangesTogether : readRangesInStep, result); break;
    case Command::Bearing: readings(readCompassAtOnce, result); break;
    case Command::Thermal: readings(readThermalAtOnce, result); break;
    case Command::Relays:
    case Command::Servo:
    case Command::Display: actuate(request, result); break;
    case Command::Keys: keys(result); break;
    case Command::Drive: drive(request, result); break;
    case Command::Wheels: wheels(request, result); break;
    case Command::Stop: stopMotors(result); break;
    case Command::Hello: hello(result); break;
    case Command::Wait: (m_wait ? m_wait : m_pause)(request.span); break;
    case Command::Clock: clock(result); break;
    case Command::SimulatorRun: simulatorRun(request, result); break;
    case Command::SimulatorPose: simulatorPose(request, result); break;
    case Command::SimulatorPath: simulatorPath(request, result); break;
    case Command::SimulatorStart:
    case Command::SimulatorArena:
    case Command::SimulatorCandle:
        if (askSimulator(request, result))
            result.add(Row{});
        break;
    // The command line's ways of running, not commands: it serves, or passes a line on.
    case Command::Serve:
    case Command::Sim: result.outcome = Outcome::Refused; break;
    }
    return result;
}

void Executor::read(const Request &request, Result &result)
{
    const quint8 address = request.addresses.front();
    const Answer answer = m_link.readRegisters(address, request.firstRegister, quint8(request.count));
    if (note(answer.outcome, address, request.firstRegister, result) == Outcome::Taken)
        result.add(Row{{{QStringLiteral("bytes"), numbers(answer.bytes)}}, {hexBytes(answer.bytes)}});
}

void Executor::write(const Request &request, Result &result)
{
    const quint8 address = request.addresses.front();
    const QByteArray data(reinterpret_cast<const char *>(request.bytes.data()), qsizetype(request.bytes.size()));
    const Answer answer = m_link.writeRegisters(address, request.firstRegister, data);
    if (note(answer.outcome, address, request.firstRegister, result) != Outcome::Taken)
        return;
    const quint8 byte = quint8(answer.bytes[0]);
    result.add(Row{{{QStringLiteral("answer"), byte}}, {addressText(byte)}});
}

// One row of RowLength registers a read; a row whose answer did not come shows "--".
void Executor::dump(const Request &request, Result &result)
{
    const quint8 address = request.addresses.front();
    QStringList plain{dumpHeader()};
    for (int offset = 0; offset < request.count; offset += RowLength) {
        const quint8 first = quint8(request.firstRegister + offset);
        const int count = qMin(RowLength, request.count - offset);
        const Answer answer = m_link.readRegisters(address, first, quint8(count));
        if (lineGone(note(answer.outcome, address, first, result)))
            break;
        QStringList cells(count, NotRead);
        QJsonArray values;
        for (int i = 0; i < count; ++i) {
            if (answer.taken())
                cells[i] = addressText(quint8(answer.bytes[i]));
            values.append(answer.taken() ? QJsonValue(quint8(answer.bytes[i])) : QJsonValue());
        }
        plain << addressText(first) + QStringLiteral(": ") + cells.join(u' ');
        result.add(Row{{{QStringLiteral("register"), first}, {QStringLiteral("bytes"), values}}, plain});
        plain.clear();
    }
}

void Executor::probe(const Request &request, Result &result)
{
    int answered = 0;
    for (quint8 address : request.addresses) {
        const Answer answer = m_link.readRegisters(address, 0, 1);
        if (lineGone(answer.outcome)) {
            result.outcome = answer.outcome;
            return;
        }
        const bool heard = answer.taken();
        answered += heard;
        const QString name = addressText(address);
        const quint8 byte = heard ? quint8(answer.bytes[0]) : 0;
        const QString line = heard ? name + QStringLiteral(" answered ") + addressText(byte) : name + QStringLiteral(" silent");
        result.add(Row{{{QStringLiteral("address"), name}, {QStringLiteral("answered"), heard},
                        {QStringLiteral("value"), heard ? QJsonValue(byte) : QJsonValue()}},
                       {line}});
    }
    result.footer = QStringLiteral("%1 of %2 answered").arg(answered).arg(request.addresses.size());
    // Named addresses are expected to answer; on the whole bus most are empty, and
    // only a bus where nothing answers is a failure.
    const bool asHoped = request.wholeBus ? answered > 0 : answered == qsizetype(request.addresses.size());
    result.outcome = asHoped ? Outcome::Taken : Outcome::TimedOut;
}

void Executor::readings(Outcome (*sequence)(InStepLink &, const ReadingSink &), Result &result)
{
    std::vector<Reading> readings;
    result.outcome = sequence(m_link, [&readings](const Reading &reading) { readings.push_back(reading); });
    std::optional<Unanswered> last;
    for (const Reading &reading : readings) {
        const std::optional<Unanswered> &missing = reading.unanswered;
        // The fields of one block read share their complaint.
        if (missing && !(last && last->address == missing->address && last->reg == missing->reg))
            result.add(Complaint{*missing});
        if (missing)
            last = missing;
    }
    if (!readings.empty())
        result.add(rowOf(readings));
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
        return {displayTextFrame(request.displayText)};
    return {}; // nothing else writes frames of its own
}

// Frames answered by one byte each, in order, until one cannot go out.
void Executor::actuate(const Request &request, Result &result)
{
    for (const QByteArray &frame : actuatorFrames(request)) {
        if (lineGone(note(m_link.exchange(frame, 1).outcome, quint8(frame[1]), quint8(frame[2]), result)))
            break;
    }
    if (request.command == Command::Relays && result.outcome == Outcome::Taken) {
        const quint8 pattern = request.bytes.front();
        result.add(Row{{{QStringLiteral("pattern"), pattern}}, {addressText(pattern)}, true});
    }
}

void Executor::keys(Result &result)
{
    const Answer answer = m_link.readRegisters(lcd03::Address, lcd03::KeypadLow, 2);
    if (note(answer.outcome, lcd03::Address, lcd03::KeypadLow, result) == Outcome::Taken)
        result.add(Row{{{QStringLiteral("keys"), heldKeys(quint8(answer.bytes[0]), quint8(answer.bytes[1]))}}});
}

// A drive without a time, or one that is not waited for, runs on: the server's safety stops it.
void Executor::drive(const Request &request, Result &result)
{
    const Outcome driven = m_motors.drive(request.speed1, request.speed2);
    complainOfMotors(driven, QStringLiteral("not driving"), result);
    result.outcome = worseOf(result.outcome, driven);
    if (!m_motors.moving() || request.milliseconds == Request::NoTime || !request.waitForEnd)
        return; // refused, or nothing went out: nothing to stop
    if (!lineGone(driven) && m_pause)
        m_pause(std::chrono::milliseconds(request.milliseconds));
    stopMotors(result);
}

// The wheels run on until a stop: the server's safety sees to it.
void Executor::wheels(const Request &request, Result &result)
{
    const Outcome driven = m_motors.wheels(request.left, request.right);
    complainOfMotors(driven, QStringLiteral("not driving"), result);
    result.outcome = worseOf(result.outcome, driven);
}

// Whatever happened before, the motors are told to stop, with their mode's stop.
void Executor::stopMotors(Result &result)
{
    const Outcome stopped = m_motors.stop();
    complainOfMotors(stopped, QStringLiteral("not stopped"), result);
    result.outcome = worseOf(result.outcome, stopped);
    result.stopUnsent = lineGone(stopped);
}

void Executor::complainOfMotors(Outcome outcome, const QString &what, Result &result)
{
    if (outcome == Outcome::Taken)
        return;
    Complaint complaint{m_motors.failure().value_or(Unanswered{md23::Address, md23::Mode, outcome})};
    if (!m_motors.refusal().isEmpty())
        complaint.why = what + QStringLiteral(": ") + m_motors.refusal();
    result.add(complaint);
}

// The simulator's answer to the request's control command, or none with the complaint why.
std::optional<launcher::SimAnswer> Executor::askSimulator(const Request &request, Result &result)
{
    const auto refuse = [&result](const QString &why) {
        result.add(Complaint{{}, why, true});
        return std::nullopt;
    };
    if (!m_simulator)
        return refuse(QStringLiteral("not a simulated robot: there is no simulator to ask"));
    QString error;
    const QStringList lines = m_simulator(launcher::askingForJson(request.controlLine), error);
    const std::optional<launcher::SimAnswer> answer = launcher::simAnswerOf(lines.value(lines.size() - 1));
    if (!answer)
        return refuse(error.isEmpty() ? QStringLiteral("the simulator did not answer") : error);
    if (!answer->ok)
        return refuse(QLatin1String(tableRow(request.command).method) + QStringLiteral(": ") + answer->error);
    return answer;
}

void Executor::simulatorRun(const Request &request, Result &result)
{
    const std::optional<launcher::SimAnswer> answer = askSimulator(request, result);
    if (!answer)
        return;
    if (const std::optional<launcher::SimRun> run = launcher::runOf(*answer))
        return result.add(columnsOf(runObject(*run)));
    result.add(Complaint{{}, QStringLiteral("the simulator's answer did not say how the run stands"), true});
}

void Executor::simulatorPose(const Request &request, Result &result)
{
    const std::optional<launcher::SimAnswer> answer = askSimulator(request, result);
    if (!answer)
        return;
    if (const std::optional<launcher::SimPose> pose = launcher::poseOf(*answer))
        return result.add(columnsOf({{"x", pose->x}, {"y", pose->y}, {"heading", pose->heading}}));
    result.add(Complaint{{}, QStringLiteral("the simulator's world did not say where the robot is"), true});
}

void Executor::simulatorPath(const Request &request, Result &result)
{
    const std::optional<launcher::SimAnswer> answer = askSimulator(request, result);
    if (!answer)
        return;
    if (const std::optional<QJsonArray> points = launcher::pathOf(*answer))
        return result.add(columnsOf({{"points", *points}}));
    result.add(Complaint{{}, QStringLiteral("the simulator's answer did not give the path's points"), true});
}

void Executor::hello(Result &result) const
{
    const TransactionEngine &engine = m_link.engine();
    const QString device = deviceForComPort(engine.commPort());
    const QString port = QStringLiteral("COM%1 (%2)").arg(engine.commPort()).arg(device);
    // "port" stays as scripts read it; a simulated robot is no COM port to a person.
    const QString connection = m_simulator ? QStringLiteral("the simulated robot (%1)").arg(device) : port;
    result.add(Row{{{QStringLiteral("version"), QStringLiteral(KESTRAVA_VERSION)},
                    {QStringLiteral("port"), port},
                    {QStringLiteral("connection"), connection},
                    {QStringLiteral("open"), engine.isOpen()},
                    {QStringLiteral("simulator"), bool(m_simulator)},
                    {QStringLiteral("clock"), clockName(m_link.clock())},
                    {QStringLiteral("error"), m_portError},
                    {QStringLiteral("limits"), limits()}}});
}

// Which clock the robot's time is on, and that time in seconds: a stepped simulator's from its
// start, a real one's from an arbitrary moment (only its differences mean anything).
void Executor::clock(Result &result) const
{
    const double seconds = std::chrono::duration<double>(m_link.clock().now()).count();
    result.add(Row{{{QStringLiteral("clock"), clockName(m_link.clock())}, {QStringLiteral("time"), seconds}},
                   {QStringLiteral("%1 %2").arg(clockName(m_link.clock())).arg(seconds, 0, 'f', 6)}});
}

} // namespace kestrava::cli
