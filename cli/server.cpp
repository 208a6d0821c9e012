#include "cli/server.h"

#include "cli/commands.h"
#include "cli/session.h"

#include "sensors/compass.h"
#include "actuators/display.h"
#include "link/instep.h"
#include "actuators/keypaddialogue.h"
#include "drive/md23.h"
#include "drive/motion.h"
#include "sensors/rangers.h"
#include "actuators/relays.h"
#include "link/serialline.h"
#include "actuators/servos.h"
#include "drive/telemetry.h"
#include "sensors/thermalarray.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace kestrava::cli {

namespace {

using Result = std::variant<QJsonValue, rpc::Error>;

void log(const QString &line)
{
    std::fprintf(stderr, "kestrava-cli serve: %s\n", qPrintable(line));
    std::fflush(stderr);
}

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

bool covers(const Request &request, quint8 reg)
{
    return request.firstRegister <= reg && reg < request.firstRegister + request.bytes.size();
}

} // namespace

std::vector<LineReader::Line> LineReader::feed(QByteArrayView bytes)
{
    std::vector<Line> lines;
    while (!bytes.isEmpty()) {
        const qsizetype newline = bytes.indexOf('\n');
        const QByteArrayView piece = newline < 0 ? bytes : bytes.first(newline);
        if (!m_skipping)
            m_pending += piece;
        if (m_pending.size() > rpc::MaxLineBytes) {
            lines.push_back({{}, true});
            m_pending.clear();
            m_skipping = true;
        }
        if (newline < 0)
            break;
        if (!m_skipping)
            lines.push_back({m_pending, false});
        m_pending.clear();
        m_skipping = false;
        bytes = bytes.sliced(newline + 1);
    }
    return lines;
}

std::vector<LineReader::Line> LineReader::finish()
{
    std::vector<Line> lines;
    if (!m_skipping && !m_pending.isEmpty())
        lines.push_back({m_pending, false});
    m_pending.clear();
    return lines;
}

Server::Server(InStepLink &link, Motors &motors, Pause pause)
    : m_link(link)
    , m_motors(motors)
    , m_pause(std::move(pause))
{
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, &Server::watchdogExpired);
    m_timedStop.setSingleShot(true);
    connect(&m_timedStop, &QTimer::timeout, this, &Server::timedStop);
    connect(&m_link.engine(), &TransactionEngine::lineLost, this, &Server::deviceLost);
}

Server::~Server() = default;

int Server::run()
{
    QEventLoop loop;
    m_loop = &loop;
    m_input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    connect(m_input.get(), &QSocketNotifier::activated, this, &Server::readInput);
    return loop.exec();
}

void Server::requestEnd()
{
    m_endRequested = true;
    if (!m_busy)
        end(0);
}

void Server::readInput()
{
    // Requests are carried out one at a time: no line is read while one runs.
    m_input->setEnabled(false);
    char buffer[4096];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
        m_input->setEnabled(true);
        return;
    }
    std::vector<LineReader::Line> lines = got > 0 ? m_reader.feed(QByteArrayView(buffer, got)) : m_reader.finish();
    for (const LineReader::Line &line : lines) {
        if (m_endRequested)
            break;
        serveLine(line); // once the device is lost, each is answered that it was
    }
    if (m_lost)
        end(rpc::DeviceLost);
    else if (got <= 0 || m_endRequested)
        end(0); // standard input closed: the program that drove the robot is gone
    else
        m_input->setEnabled(true);
}

void Server::serveLine(const LineReader::Line &line)
{
    m_watchdog.stop();
    m_busy = true;
    if (line.tooLong) {
        send(rpc::lineTooLongReply());
    } else if (!line.text.trimmed().isEmpty()) {
        const rpc::Message message = rpc::parseLine(line.text);
        QByteArrayList replies;
        for (const rpc::Call &call : message.calls) {
            if (const std::optional<QByteArray> reply = answer(call))
                replies.append(*reply);
        }
        // A batch of notifications only gets no reply at all, not an empty array.
        if (!replies.isEmpty())
            send(message.batch ? '[' + replies.join(',') + ']' : replies.first());
    }
    m_busy = false;
    if (m_stopDue && m_stopDue->hasExpired())
        timedStop();
    else if (m_motors.moving() && !m_stopDue && m_watchdogTime.count() > 0)
        m_watchdog.start(m_watchdogTime); // a drive that stops by itself needs no watchdog
}

std::optional<QByteArray> Server::answer(const rpc::Call &call)
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

Result Server::carryOut(const Request &request)
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
    case Command::Stop: return motors(request);
    case Command::Hello: return hello();
    case Command::SimulatorRun:
    case Command::SimulatorStart:
    case Command::SimulatorArena:
    case Command::SimulatorCandle:
    case Command::SimulatorPose: return simulator(request);
    case Command::Relays:
    case Command::Servo:
    case Command::Display: return actuate(request);
    case Command::Dump: case Command::Probe: case Command::Serve: case Command::Sim: break; // no methods
    }
    return rpc::Error{rpc::MethodNotFound, QStringLiteral("not a method of the server")};
}

Result Server::readings(const Request &request)
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

Result Server::registers(const Request &request)
{
    const quint8 address = request.addresses.front();
    if (request.command == Command::Read) {
        const Answer answer = m_link.readRegisters(address, request.firstRegister, quint8(request.count));
        if (!answer.taken())
            return failure(answer.outcome, address, request.firstRegister);
        return QJsonObject{{"bytes", numbersOf(answer.bytes)}};
    }
    noteWrite(request);
    const QByteArray data(reinterpret_cast<const char *>(request.bytes.data()), qsizetype(request.bytes.size()));
    const Answer answer = m_link.writeRegisters(address, request.firstRegister, data);
    if (!answer.taken())
        return failure(answer.outcome, address, request.firstRegister);
    return QJsonObject{{"answer", quint8(answer.bytes[0])}};
}

// A write behind the motors' back: a new mode must be read again before the next
// stop, and speeds written by hand are stopped like any drive.
void Server::noteWrite(const Request &request)
{
    if (request.addresses.front() != md23::Address)
        return;
    if (covers(request, md23::Mode))
        m_motors.forgetMode();
    if (covers(request, md23::Speed1) || covers(request, md23::Speed2Turn))
        m_motors.noteMoving();
}

Result Server::actuate(const Request &request)
{
    for (const QByteArray &frame : actuatorFrames(request)) {
        const Answer answer = m_link.exchange(frame, 1);
        if (!answer.taken())
            return failure(answer.outcome, quint8(frame[1]), quint8(frame[2]));
    }
    return QJsonObject{};
}

Result Server::keys()
{
    const Answer answer = m_link.readRegisters(lcd03::Address, lcd03::KeypadLow, 2);
    if (!answer.taken())
        return failure(answer.outcome, lcd03::Address, lcd03::KeypadLow);
    return QJsonObject{{"keys", heldKeys(quint8(answer.bytes[0]), quint8(answer.bytes[1]))}};
}

Result Server::motors(const Request &request)
{
    cancelTimedStop(); // the latest motor request decides
    if (request.command == Command::Drive) {
        if (m_motors.drive(request.speed1, request.speed2) != Outcome::Taken)
            return motorFailure(QStringLiteral("not driving"));
        if (request.milliseconds == Request::NoTime)
            return QJsonObject{};
        if (!request.waitForEnd) {
            m_stopDue = QDeadlineTimer(request.milliseconds);
            m_timedStop.start(request.milliseconds);
            return QJsonObject{};
        }
        m_pause(request.milliseconds); // returns early when the device is lost
    }
    if (m_motors.stop() != Outcome::Taken)
        return motorFailure(QStringLiteral("not stopped"));
    return QJsonObject{};
}

void Server::cancelTimedStop()
{
    m_timedStop.stop();
    m_stopDue.reset();
}

// The end of a drive that answered at once; while a request is carried out it waits
// for its end, so that the engine is never entered twice.
void Server::timedStop()
{
    if (m_busy || !m_stopDue)
        return;
    cancelTimedStop();
    if (m_motors.stop() != Outcome::Taken)
        log(QStringLiteral("the stop at the end of a timed drive went unanswered"));
    if (m_lost)
        end(rpc::DeviceLost);
}

Result Server::simulator(const Request &request)
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
    return QJsonObject{};
}

QJsonValue Server::hello() const
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
QJsonObject Server::limits()
{
    return {{"default_watchdog_ms", DefaultWatchdogMs}, {"longest_wait_ms", LongestWaitMs}, {"drive_ms", MaxDriveMs},
            {"servo_position", QJsonArray{MinServoPosition, MaxServoPosition}}, {"servos", ServoCount},
            {"read_count", MaxReadCount}, {"text_length", MaxTextLength}};
}

QJsonObject Server::codes()
{
    return {{"parse_error", rpc::ParseError}, {"invalid_request", rpc::InvalidRequest},
            {"method_not_found", rpc::MethodNotFound}, {"invalid_params", rpc::InvalidParams},
            {"no_answer", rpc::NoAnswer}, {"port_not_opened", rpc::PortNotOpened}, {"device_lost", rpc::DeviceLost},
            {"simulator", rpc::Simulator}};
}

rpc::Error Server::failure(Outcome outcome, quint8 address, quint8 reg)
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

rpc::Error Server::lostDevice()
{
    m_lost = true;
    return {rpc::DeviceLost, QStringLiteral("the device was lost")};
}

rpc::Error Server::motorFailure(const QString &what)
{
    const std::optional<Unanswered> &missing = m_motors.failure();
    rpc::Error error = missing ? failure(missing->outcome, missing->address, missing->reg)
                               : rpc::Error{rpc::NoAnswer, QString(),
                                            QJsonObject{{"address", md23::Address}, {"register", md23::Mode}}};
    if (!m_motors.refusal().isEmpty())
        error.message = what + QStringLiteral(": ") + m_motors.refusal();
    return error;
}

void Server::watchdogExpired()
{
    if (m_busy || !m_motors.moving())
        return;
    const bool stopped = m_motors.stop() == Outcome::Taken;
    log(QStringLiteral("no request for %1 ms while the motors moved: %2")
            .arg(m_watchdogTime.count())
            .arg(stopped ? QStringLiteral("stopped them") : QStringLiteral("their stop went unanswered")));
    if (m_lost)
        end(rpc::DeviceLost);
}

void Server::deviceLost()
{
    m_lost = true;
    if (!m_busy)
        end(rpc::DeviceLost);
}

void Server::send(const QByteArray &reply)
{
    const QByteArray line = reply + '\n';
    // A reader that has gone away ends the server, which then stops the motors.
    if (std::fwrite(line.constData(), 1, size_t(line.size()), stdout) != size_t(line.size()) || std::fflush(stdout) != 0)
        m_endRequested = true;
}

// Lines that have already arrived when the device is lost are answered that it was,
// so that no request goes unanswered; the wait for them is bounded.
void Server::answerWaitingLines()
{
    for (qsizetype drained = 0; drained < 4 * rpc::MaxLineBytes && !m_endRequested;) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        char buffer[4096];
        const ssize_t got = ::poll(&input, 1, 0) == 1 ? ::read(STDIN_FILENO, buffer, sizeof buffer) : 0;
        if (got <= 0)
            break;
        drained += got;
        for (const LineReader::Line &line : m_reader.feed(QByteArrayView(buffer, got)))
            serveLine(line);
    }
}

void Server::end(int status)
{
    if (!m_loop)
        return;
    m_watchdog.stop();
    cancelTimedStop();
    if (m_input)
        m_input->setEnabled(false);
    if (m_lost) {
        answerWaitingLines();
        log(QStringLiteral("the device was lost"));
    } else if (m_motors.moving() && m_motors.stop() != Outcome::Taken) {
        log(QStringLiteral("the motors' stop went unanswered"));
    }
    m_link.finish();
    m_loop->exit(m_lost ? int(rpc::DeviceLost) : status);
    m_loop = nullptr;
}

} // namespace kestrava::cli
