#include "cli/cli.h"

#include "cli/commands.h"
#include "cli/server.h"
#include "cli/executor.h"
#include "cli/output.h"

#include "link/instep.h"
#include "drive/motion.h"

#include "link/serialline.h"
#include "process/signalwatcher.h"
#include "launcher/simanswers.h"
#include "launcher/controlclient.h"
#include "launcher/simulatedbus.h"
#include "link/trace.h"
#include "link/transactionengine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QEventLoop>
#include <QLocale>
#include <QTimer>

#include <csignal>
#include <optional>

namespace kestrava::cli {

namespace {

constexpr int ProbeTimeoutMs = 60;
// Set by kestrava-judge: every command of the trial's program reaches the trial's simulator
// at this link, whatever port its options name.
constexpr char TrialVariable[] = "KESTRAVA_TRIAL";

const char *const Description =
    "Reads and writes the robot's I2C modules through the USB-to-I2C adapter, without the window.\n"
    "ADDR is an even bus address in hexadecimal (B0 or 0xB0); REG and BYTE are decimal, or\n"
    "hexadecimal after 0x.\n"
    "\n"
    "Commands, with an example each:\n";
// Then commandList(), then:
const char *const DescriptionAfterCommands =
    "\n"
    "drive's speeds are the raw register values of the motor controller's mode, which is\n"
    "read first: 128 stops in modes 0 and 2, 0 in modes 1 and 3. The drive ends with the\n"
    "stop of that mode, also on Ctrl-C.\n"
    "\n"
    "A reading is printed only when the answer to its own frame came, whole and alone;\n"
    "otherwise it is an error (\"no answer\", or \"the line was out of step\").\n"
    "\n"
    "Without hardware, add --simulate: each command then runs against a fresh simulated robot.\n"
    "\n"
    "Exit status: 0 all answered, 1 some wait timed out, 2 usage, 3 the port could not be\n"
    "opened, 4 the device was lost. probe: 0 when every ADDR named answered (with none named,\n"
    "when at least one module on the bus answered), 1 otherwise.";

struct Options
{
    QCommandLineOption com{QStringLiteral("com"), QStringLiteral("COM port <n> (1 to 16), as in the window; default 1."),
                           QStringLiteral("n"), QStringLiteral("1")};
    QCommandLineOption device{QStringLiteral("device"),
                              QStringLiteral("The adapter's device <path>, absolute or from the current folder."),
                              QStringLiteral("path")};
    QCommandLineOption simulate{QStringLiteral("simulate"),
                                QStringLiteral("Run against a fresh simulated robot (kestrava-sim), started for this "
                                               "command only: nothing carries over to the next command. "
                                               "--simulate=view opens its robot view.")};
    QCommandLineOption arena{QStringLiteral("arena"),
                             QStringLiteral("With --simulate: the arena, a bundled one (open, house, corridor) or a file."),
                             QStringLiteral("name|file")};
    QCommandLineOption seed{QStringLiteral("seed"),
                            QStringLiteral("With --simulate: picks the candle's place among the arena's places "
                                           "(0 to 4294967295)."),
                            QStringLiteral("n")};
    QCommandLineOption watchdog{QStringLiteral("watchdog"),
                                QStringLiteral("serve: stop the motors when no request comes for <ms> while they "
                                               "move (default %1; 0 turns it off).").arg(DefaultWatchdogMs),
                                QStringLiteral("ms"), QString::number(DefaultWatchdogMs)};
    QCommandLineOption keepView{QStringLiteral("keep-view"),
                                QStringLiteral("With --simulate=view: when the command or the server ends, the motors "
                                               "stopped, leave the robot view open with the run's result until it is closed.")};
    QCommandLineOption trace{QStringLiteral("trace"), QStringLiteral("Write every frame and reply to <file>."),
                             QStringLiteral("file")};
    QCommandLineOption timeout{QStringLiteral("timeout"),
                               QStringLiteral("Bound each wait to <ms> milliseconds (default: 11 ticks of 50 ms; "
                                              "probe: 60 ms)."),
                               QStringLiteral("ms")};
    QCommandLineOption every{QStringLiteral("every"),
                             QStringLiteral("Repeat a reading command every <ms> milliseconds (0: back to back)."),
                             QStringLiteral("ms")};
    QCommandLineOption count{QStringLiteral("count"), QStringLiteral("With --every: stop after <n> readings."),
                             QStringLiteral("n")};
    QCommandLineOption oneByOne{QStringLiteral("one-by-one"),
                                QStringLiteral("ranges: fire and read each ranger in turn (five measuring times), for "
                                               "rangers close enough to hear each other's ping. By default the five "
                                               "measure together.")};
    QCommandLineOption csv{QStringLiteral("csv"), QStringLiteral("A header line, then one CSV row per reading.")};
    QCommandLineOption json{QStringLiteral("json"), QStringLiteral("One JSON object per reading and per line.")};
    QCommandLineParser parser;

    Options()
    {
        parser.setApplicationDescription(QString::fromLatin1(Description) + commandList()
                                         + QString::fromLatin1(DescriptionAfterCommands));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOptions({com, device, simulate, arena, seed, keepView, trace, timeout, every, count, oneByOne, csv, json,
                           watchdog});
        parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("One of the commands above."));
        parser.addPositionalArgument(QStringLiteral("arguments"), QStringLiteral("The command's arguments."),
                                     QStringLiteral("[arguments...]"));
    }
};

// What the options ask for, checked.
struct Settings
{
    int com = 1;
    int timeoutMs = 0; // 0: the window's 11 ticks
    int everyMs = -1;  // -1: once
    int count = 0;     // 0: until interrupted
    Format format = Format::Plain;
    int watchdogMs = DefaultWatchdogMs;
};

struct UsageError
{
    QString message;
};

// `what` names the unit where there is one: "a number of milliseconds".
int optionNumber(const QCommandLineParser &parser, const QCommandLineOption &option, int least, int most,
                 const char *what = "a number")
{
    const std::optional<long> value = parseNumber(parser.value(option));
    if (!value || *value < least || *value > most)
        throw UsageError{QStringLiteral("--%1 takes %2 from %3 to %4, not \"%5\"")
                             .arg(option.names().first(), QLatin1String(what)).arg(least).arg(most)
                             .arg(parser.value(option))};
    return int(*value);
}

// The simulator reads the seed itself; checked here so that a bad one is a usage error, not a failed start.
void checkSeed(const Options &o)
{
    const QCommandLineParser &p = o.parser;
    if (!p.isSet(o.seed))
        return;
    if (!p.isSet(o.simulate))
        throw UsageError{QStringLiteral("--seed goes with --simulate")};
    const std::optional<long> seed = parseNumber(p.value(o.seed));
    if (!seed || *seed < 0 || *seed > long(std::numeric_limits<quint32>::max()))
        throw UsageError{QStringLiteral("--seed takes a whole number from 0 to 4294967295, not \"%1\"").arg(p.value(o.seed))};
}

constexpr char Milliseconds[] = "a number of milliseconds";

Settings settingsFrom(const Options &o, const Request &request)
{
    const QCommandLineParser &p = o.parser;
    Settings s;
    s.com = optionNumber(p, o.com, SerialLine::FirstPort, SerialLine::LastPort);
    if (p.isSet(o.timeout))
        s.timeoutMs = optionNumber(p, o.timeout, 1, LongestWaitMs, Milliseconds);
    else if (request.command == Command::Probe)
        s.timeoutMs = ProbeTimeoutMs;
    if (p.isSet(o.csv) && p.isSet(o.json))
        throw UsageError{QStringLiteral("choose --csv or --json, not both")};
    s.format = p.isSet(o.csv) ? Format::Csv : p.isSet(o.json) ? Format::Json : Format::Plain;
    s.watchdogMs = optionNumber(p, o.watchdog, 0, LongestWaitMs);
    if (p.isSet(o.arena) && !p.isSet(o.simulate))
        throw UsageError{QStringLiteral("--arena goes with --simulate")};
    checkSeed(o);
    if (p.isSet(o.oneByOne) && request.command != Command::Ranges)
        throw UsageError{QStringLiteral("--one-by-one goes with ranges")};
    if (p.isSet(o.count) && !p.isSet(o.every))
        throw UsageError{QStringLiteral("--count goes with --every")};
    if (p.isSet(o.every)) {
        if (!isReading(request.command))
            throw UsageError{QStringLiteral("--every repeats reading commands only")};
        s.everyMs = optionNumber(p, o.every, 0, 24 * 3600 * 1000, Milliseconds);
        s.count = p.isSet(o.count) ? optionNumber(p, o.count, 1, std::numeric_limits<int>::max()) : 0;
    }
    return s;
}

// Waits `ms` in the event loop, or less when the program is asked to end or the
// device is lost: a drive must not go on waiting for a robot it can no longer stop.
void waitUnlessInterrupted(int ms, const bool &interrupted, process::SignalWatcher &watcher, SerialLine &line)
{
    if (interrupted || !line.isOpen())
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    QObject::connect(&watcher, &process::SignalWatcher::terminationRequested, &loop, &QEventLoop::quit);
    QObject::connect(&line, &SerialLine::deviceLost, &loop, &QEventLoop::quit);
    loop.exec();
}

// A --device that is a link whose target is gone: what the simulator's --link leaves
// behind when the simulator was killed.
bool isLinkWithoutTarget(const QString &path)
{
    const QFileInfo info(path);
    return info.isSymLink() && !info.exists();
}

// A --device outside /dev that is not there at all is no adapter left unplugged: most
// often it is a simulator's --link, asked for before that simulator made it.
bool isSimulatorLinkNotYetMade(const QString &device, OpenFailure failure)
{
    return !device.isEmpty() && failure == OpenFailure::NoDevice && !QFileInfo(device).absoluteFilePath().startsWith(u"/dev/")
        && !QFileInfo::exists(device);
}

// One line that names the device as the user gave it (the COM port when none was
// given), what is wrong with it and the ways forward.
QString cannotOpen(const SerialLine &line, bool simulated, const QString &device)
{
    const QString elsewhere = QStringLiteral("name the adapter's device with --device PATH or %1=PATH")
                                  .arg(QLatin1String(comPortVariable(line.commPort())));
    QStringList ways;
    QString reason = line.lastReason();
    if (!device.isEmpty() && isLinkWithoutTarget(device)) {
        reason = QStringLiteral("a link to %1, which is gone: the simulator behind it has ended")
                     .arg(QFileInfo(device).symLinkTarget());
        ways << QStringLiteral("start it again with kestrava-sim --link %1").arg(device) << elsewhere;
    } else if (isSimulatorLinkNotYetMade(device, line.lastOpenFailure())) {
        reason = QStringLiteral("no such file");
        ways << QStringLiteral("if it is a simulator's link, start the simulator first and let it get ready "
                               "(kestrava-sim --link %1 --background returns then)").arg(device)
             << elsewhere;
    } else {
        switch (line.lastOpenFailure()) {
        case OpenFailure::NoDevice: ways << QStringLiteral("plug the adapter in") << elsewhere; break;
        case OpenFailure::NoPermission: ways << QLatin1String(DialoutHint); break;
        case OpenFailure::InUse: ways << QStringLiteral("close the program that holds it") << elsewhere; break;
        case OpenFailure::None:
        case OpenFailure::NoPortNumber:
        case OpenFailure::NotSerial:
        case OpenFailure::Other: ways << elsewhere; break;
        }
    }
    if (!simulated)
        ways << QStringLiteral("try the simulated robot with --simulate");
    const QString last = ways.takeLast();
    const QString advice = ways.isEmpty() ? last : ways.join(QStringLiteral(", ")) + QStringLiteral(", or ") + last;
    const QString what = device.isEmpty() ? line.lastError() : device + QStringLiteral(": ") + reason;
    return QStringLiteral("cannot open %1; %2").arg(what, advice);
}

Status statusOf(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Taken:
    case Outcome::Sent: return AllAnswered;
    case Outcome::NotSent:
    case Outcome::Lost: return DeviceLost;
    case Outcome::TimedOut:
    case Outcome::Refused:
    case Outcome::OutOfStep: return NoAnswer;
    }
    return NoAnswer;
}

class Program
{
public:
    int run(QCoreApplication &app);

private:
    int usage(const QString &message);
    bool openPort(const Settings &settings);
    bool simulated() const;
    QString trialLink() const { return qEnvironmentVariable(TrialVariable); }
    Server::SimulatorCommands simulatorCommands();
    int controlSimulator(const Settings &settings, const Request &request);
    void keepViewOpen();
    int serve(const Settings &settings);
    int repeat(Printer &printer, const Request &request, const Settings &settings);
    void pause(int ms) { waitUnlessInterrupted(ms, m_interrupted, m_signals, m_line); }
    void warnOfSlowPass(qint64 passMs, int everyMs);

    Options m_options;
    QTextStream m_out{stdout};
    QTextStream m_err{stderr};
    process::SignalWatcher m_signals;
    bool m_interrupted = false;
    bool m_simulatorView = false; // --simulate=view
    bool m_warnedOfSlowPass = false;
    QString m_openError; // why the port did not open
    launcher::SimulatedBus m_simulator; // before the line: ends after the port is closed
    SerialLine m_line;
    TransactionEngine m_engine{m_line};
    InStepLink m_link{m_engine};
    Motors m_motors{m_link};
    Executor m_executor{m_link, m_motors, [this](int ms) { pause(ms); }};
    Trace m_trace;
};

int Program::usage(const QString &message)
{
    m_err << "error: " << message << '\n';
    return Usage;
}

bool Program::openPort(const Settings &settings)
{
    const QCommandLineParser &p = m_options.parser;
    if (simulated()) {
        QStringList arguments = p.isSet(m_options.arena) ? QStringList{QStringLiteral("--arena"), p.value(m_options.arena)}
                                                         : QStringList{};
        if (p.isSet(m_options.seed))
            arguments << QStringLiteral("--seed") << QString::number(*parseNumber(p.value(m_options.seed)));
        if (m_simulatorView)
            arguments << QStringLiteral("--view");
        if (!m_simulator.start(launcher::SimulatedBus::programBesideApplication(), arguments)) {
            m_openError = QStringLiteral("cannot start the simulated bus: ") + m_simulator.errorString();
            m_err << "error: " << m_openError << '\n';
            return false;
        }
        m_simulator.mapComPorts();
    }
    if (!trialLink().isEmpty())
        mapComPort(settings.com, trialLink());
    else if (p.isSet(m_options.device))
        mapComPort(settings.com, p.value(m_options.device));
    m_line.setCommPort(settings.com);
    if (m_line.open())
        return true;
    m_openError = cannotOpen(m_line, simulated(),
                             p.isSet(m_options.device) ? p.value(m_options.device) : QString());
    m_err << "error: " << m_openError << '\n';
    return false;
}

bool Program::simulated() const
{
    return m_options.parser.isSet(m_options.simulate) && trialLink().isEmpty();
}

// The simulator this program started, or the one whose control socket sits beside the device.
Server::SimulatorCommands Program::simulatorCommands()
{
    if (simulated())
        return [this](const QString &line, QString &) { return m_simulator.command(line); };
    const QString socket = launcher::controlSocketBeside(deviceForComPort(m_line.commPort()));
    if (socket.isEmpty())
        return {};
    return [socket](const QString &line, QString &error) { return launcher::commandOverSocket(socket, line, error); };
}

int Program::controlSimulator(const Settings &settings, const Request &request)
{
    if (!trialLink().isEmpty())
        mapComPort(settings.com, trialLink());
    else if (m_options.parser.isSet(m_options.device))
        mapComPort(settings.com, m_options.parser.value(m_options.device));
    m_line.setCommPort(settings.com);
    const QString device = deviceForComPort(settings.com);
    const Server::SimulatorCommands commands = simulatorCommands();
    if (!commands) {
        m_err << "error: no kestrava-sim takes commands beside " << device
              << "; start one with kestrava-sim --link PATH and name PATH with --device PATH\n";
        return PortNotOpened;
    }
    // --json asks for the simulator's own JSON answer, one object on one line; otherwise its prose.
    const bool json = settings.format == Format::Json;
    QString error;
    const QStringList lines = commands(json ? launcher::askingForJson(request.controlLine) : request.controlLine, error);
    if (lines.isEmpty()) {
        m_err << "error: " << error << '\n';
        return PortNotOpened;
    }
    for (const QString &line : lines)
        m_out << line << '\n';
    if (!json)
        return launcher::proseSucceeded(lines) ? AllAnswered : NoAnswer;
    const std::optional<launcher::SimAnswer> answer = launcher::simAnswerOf(lines.last());
    return answer && answer->ok ? AllAnswered : NoAnswer;
}

// The motors are stopped; the run's result stays in the view until the user closes it
// (or a termination signal comes).
void Program::keepViewOpen()
{
    if (!m_simulatorView || !m_options.parser.isSet(m_options.keepView) || !m_simulator.isRunning())
        return;
    m_err << "kestrava-cli: the robot view stays open with the run's result; close it to end\n";
    m_err.flush();
    QEventLoop loop;
    QObject::connect(&m_simulator, &launcher::SimulatedBus::ended, &loop, &QEventLoop::quit);
    QObject::connect(&m_signals, &process::SignalWatcher::terminationRequested, &loop, &QEventLoop::quit);
    if (m_simulator.isRunning() && !m_interrupted)
        loop.exec();
}

int Program::run(QCoreApplication &app)
{
    QCommandLineParser &p = m_options.parser;
    QStringList arguments = app.arguments();
    m_simulatorView = arguments.removeAll(QStringLiteral("--simulate=view")) > 0;
    if (m_simulatorView)
        arguments << QStringLiteral("--simulate");
    if (!p.parse(arguments))
        return usage(p.errorText());
    if (p.isSet(QStringLiteral("help")))
        p.showHelp(AllAnswered);
    if (p.isSet(QStringLiteral("version")))
        p.showVersion();
    const std::variant<Request, QString> parsed = parseRequest(p.positionalArguments());
    if (const QString *message = std::get_if<QString>(&parsed))
        return usage(*message);
    Request request = std::get<Request>(parsed);
    Settings settings;
    try {
        settings = settingsFrom(m_options, request);
    } catch (const UsageError &error) {
        return usage(error.message);
    }
    request.together = !p.isSet(m_options.oneByOne);
    QObject::connect(&m_signals, &process::SignalWatcher::terminationRequested, &app, [this] { m_interrupted = true; });
    if (p.isSet(m_options.trace) && !m_trace.open(p.value(m_options.trace)))
        m_err << "warning: cannot write the trace file " << p.value(m_options.trace) << '\n';
    m_engine.setTrace(&m_trace);
    m_engine.setReplyTimeout(std::chrono::milliseconds(settings.timeoutMs));
    if (request.command == Command::Sim)
        return controlSimulator(settings, request);
    if (request.command == Command::Serve) {
        const int status = serve(settings);
        keepViewOpen();
        return status;
    }
    if (!openPort(settings))
        return PortNotOpened;
    Printer printer(m_out, m_err, settings.format);
    m_link.start();
    const int status = repeat(printer, request, settings);
    m_link.finish();
    keepViewOpen();
    return status;
}

// The server runs without a port too, answering each bus request that it cannot be
// carried out, so that a program learns why through its own calls.
int Program::serve(const Settings &settings)
{
    const bool opened = openPort(settings);
    m_err.flush();
    ::signal(SIGPIPE, SIG_IGN); // a reader gone away is an end like any other, with the motors stopped
    Server server(m_link, m_motors, [this](int ms) { pause(ms); });
    server.setWatchdog(std::chrono::milliseconds(settings.watchdogMs));
    if (!opened)
        server.setPortError(m_openError);
    else
        server.setSimulator(simulatorCommands());
    QObject::connect(&m_signals, &process::SignalWatcher::terminationRequested, &server, &Server::requestEnd);
    if (opened)
        m_link.start();
    return server.run();
}

int Program::repeat(Printer &printer, const Request &request, const Settings &settings)
{
    QElapsedTimer clock;
    clock.start();
    Outcome worst = Outcome::Taken;
    for (int pass = 1;; ++pass) {
        const qint64 started = clock.elapsed();
        const Result result = m_executor.carryOut(request);
        printer.print(result, double(started) / 1000.0);
        const Outcome outcome = result.outcome;
        warnOfSlowPass(clock.elapsed() - started, settings.everyMs);
        worst = worseOf(worst, outcome);
        if (outcome == Outcome::NotSent || outcome == Outcome::Lost) {
            m_err << "error: the device was lost\n";
            break;
        }
        if (settings.everyMs < 0 || m_interrupted || (settings.count > 0 && pass >= settings.count))
            break;
        // The next reading is due `every` after this one was due, not after it ended.
        const qint64 due = qint64(pass) * settings.everyMs;
        pause(int(qMax<qint64>(0, due - clock.elapsed())));
        if (m_interrupted)
            break;
    }
    return statusOf(worst);
}

// Once: a log that cannot keep its period should say so, not drift in silence.
void Program::warnOfSlowPass(qint64 passMs, int everyMs)
{
    if (everyMs <= 0 || passMs <= everyMs || m_warnedOfSlowPass)
        return;
    m_warnedOfSlowPass = true;
    m_err << "warning: a pass took " << passMs << " ms, longer than --every " << everyMs
          << " ms; the readings follow one another back to back\n";
    m_err.flush();
}

} // namespace

int runCli(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrava-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTRAVA_VERSION));
    // Numbers go out as scripts read them, whatever the user's language.
    QLocale::setDefault(QLocale::c());
    Program program;
    return program.run(app);
}

} // namespace kestrava::cli
