// kestrava-cli: its options read, then one command carried out (or repeated), served, or passed to a simulator.
#include "cli/cli.h"

#include "cli/executor.h"
#include "cli/openfailure.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/passes.h"
#include "cli/server.h"
#include "cli/simulatorcommands.h"
#include "drive/motion.h"
#include "launcher/simulatedbus.h"
#include "launcher/simulatorclock.h"
#include "link/instep.h"
#include "link/serialline.h"
#include "link/trace.h"
#include "link/transactionengine.h"
#include "process/signalwatcher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLocale>
#include <QTimer>

#include <csignal>
#include <optional>

namespace kestrava::cli {

namespace {

constexpr std::chrono::milliseconds SteppedReplyTimeout{5000};
// Set by kestrava-judge: every command of the trial's program reaches the trial's simulator
// at this link, whatever port its options name.
constexpr char TrialVariable[] = "KESTRAVA_TRIAL";

// Waits `ms` in the event loop, or less when the program is asked to end or the
// device is lost: a drive must not go on waiting for a robot it can no longer stop.
void waitUnlessInterrupted(int ms, const bool &interrupted, process::SignalWatcher &watcher, SerialLine &line)
{
    if (interrupted || !line.isOpen())
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit); // never early: a wait is at least its length
    QObject::connect(&watcher, &process::SignalWatcher::terminationRequested, &loop, &QEventLoop::quit);
    QObject::connect(&line, &SerialLine::deviceLost, &loop, &QEventLoop::quit);
    loop.exec();
}

class Program
{
public:
    int run(QCoreApplication &app);

private:
    int usage(const QString &message);
    bool startSimulator();
    void pointComPort(const Settings &settings);
    bool openPort(const Settings &settings);
    bool simulated() const;
    QString trialLink() const { return qEnvironmentVariable(TrialVariable); }
    Server::SimulatorCommands simulatorCommands();
    int controlSimulator(const Settings &settings, const Request &request);
    void keepViewOpen();
    int serve(const Settings &settings);
    void pause(std::chrono::nanoseconds span);
    void followSimulatorClock();

    Options m_options;
    QTextStream m_out{stdout};
    QTextStream m_err{stderr};
    process::SignalWatcher m_signals;
    bool m_interrupted = false;
    bool m_simulatorView = false; // --simulate=view
    QString m_openError; // why the port did not open
    launcher::SimulatedBus m_simulator; // before the line: ends after the port is closed
    SerialLine m_line;
    TransactionEngine m_engine{m_line};
    InStepLink m_link{m_engine};
    Motors m_motors{m_link};
    Executor m_executor{m_link, m_motors, [this](std::chrono::nanoseconds span) { pause(span); }};
    std::unique_ptr<launcher::SimulatorClock> m_steppedClock; // a stepped simulator's, behind the device
    Trace m_trace;
};

int Program::usage(const QString &message)
{
    m_err << "error: " << message << '\n';
    return Usage;
}

// The simulator of --simulate, with the options it takes from this command line.
bool Program::startSimulator()
{
    const QCommandLineParser &p = m_options.parser;
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
    return true;
}

// The port the commands go to: the trial's link when kestrava-judge set one, else --device's.
void Program::pointComPort(const Settings &settings)
{
    if (!trialLink().isEmpty())
        mapComPort(settings.com, trialLink());
    else if (m_options.parser.isSet(m_options.device))
        mapComPort(settings.com, m_options.parser.value(m_options.device));
    m_line.setCommPort(settings.com);
}

bool Program::openPort(const Settings &settings)
{
    if (simulated() && !startSimulator())
        return false;
    pointComPort(settings);
    if (m_line.open()) {
        followSimulatorClock();
        return true;
    }
    const QCommandLineParser &p = m_options.parser;
    m_openError = cannotOpen(m_line, simulated(), p.isSet(m_options.device) ? p.value(m_options.device) : QString());
    m_err << "error: " << m_openError << '\n';
    return false;
}

bool Program::simulated() const
{
    return m_options.parser.isSet(m_options.simulate) && trialLink().isEmpty();
}

// A simulator behind the device that runs stepped lends the link its clock, learnt once here:
// every wait of this program's between frames then moves that clock on, not the wall's.
void Program::followSimulatorClock()
{
    if (simulated())
        return; // the simulator this program starts runs in real time
    const QString socket = launcher::controlSocketBeside(deviceForComPort(m_line.commPort()));
    if (!socket.isEmpty())
        m_steppedClock = launcher::SimulatorClock::ifStepped(socket);
    if (!m_steppedClock)
        return;
    m_link.setClock(*m_steppedClock);
    // A stepped simulator answers at once: an answer late in real time means a machine too busy to
    // run it, not a late module, and must not change the trial. A --timeout given stays.
    if (m_engine.replyWaitBound() == TransactionEngine::TickInterval * 11)
        m_engine.setReplyTimeout(SteppedReplyTimeout);
}

// A wait on the link's clock: a stepped simulator's moves on at once; real time is waited in
// the event loop, cut short when the program is asked to end or the device is lost.
void Program::pause(std::chrono::nanoseconds span)
{
    if (m_link.clock().stepped()) {
        if (!m_interrupted)
            m_link.clock().advance(span);
        return;
    }
    waitUnlessInterrupted(int(std::chrono::ceil<std::chrono::milliseconds>(span).count()), m_interrupted, m_signals,
                          m_line);
}

// The simulator this program started, or the one whose control socket sits beside the device.
Server::SimulatorCommands Program::simulatorCommands()
{
    return simulatorAt(simulated() ? &m_simulator : nullptr, deviceForComPort(m_line.commPort()));
}

int Program::controlSimulator(const Settings &settings, const Request &request)
{
    pointComPort(settings);
    return passControlCommand(simulatorCommands(), deviceForComPort(settings.com), request.controlLine,
                              settings.format, m_out, m_err);
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
    const Passes passes{m_executor, printer, m_err, m_link.clock(),
                        [this](std::chrono::nanoseconds span) { pause(span); }, m_interrupted, settings.everyMs,
                        settings.count};
    const int status = carryOutPasses(passes, request);
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
    Server server(m_link, m_motors, [this](std::chrono::nanoseconds span) { pause(span); });
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
