#include "sim/program/simprogram.h"

#include "sim/world/arena.h"
#include "sim/program/controllines.h"
#include "sim/program/latencytimer.h"
#include "process/display.h"
#include "process/signalwatcher.h"
#include "sim/program/simulator.h"
#include "sim/program/simulatorthread.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <chrono>
#include <cerrno>
#include <csignal>
#include <optional>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrava::sim;
using kestrava::process::SignalWatcher;
using kestrava::process::displayAvailable;
using kestrava::process::noDisplayMessage;
using kestrava::process::NoDisplayStatus;

namespace {

// `--seed -`: the seed is the first line of standard input, read a byte at a time so that the control
// commands after it stay unread. The judge hands it over so, since every process can read a command line.
QString seedFromInput()
{
    std::string line;
    char byte = 0;
    while (line.size() < 32 && ::read(STDIN_FILENO, &byte, 1) == 1 && byte != '\n')
        line += byte;
    return QString::fromStdString(line);
}

void printLine(const QString &line)
{
    std::fputs(qPrintable(line), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// With --background the device line goes to the starting process, which returns once it
// has it. After that line the simulator lets go of the starter's output, so that a script
// reading it (`device=$(kestrava-sim --background ...)`) is not held open by the simulator.
bool g_inBackground = false;

void announceDevice(const QString &device)
{
    printLine(device);
    if (!g_inBackground)
        return;
    const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nowhere >= 0) {
        ::dup2(nowhere, STDOUT_FILENO);
        ::dup2(nowhere, STDERR_FILENO);
        ::close(nowhere);
    }
}

// A pipe or a socket is a controlling program: when it closes, that program has gone.
// A terminal, /dev/null or a file ending says nothing of the kind.
bool inputIsAProgram()
{
    struct stat input{};
    return ::fstat(STDIN_FILENO, &input) == 0 && (S_ISFIFO(input.st_mode) || S_ISSOCK(input.st_mode));
}

// Reads control commands from standard input and prints each one's answer.
class CommandReader : public QObject
{
public:
    explicit CommandReader(Simulator &simulator)
        : QObject(&simulator), m_simulator(simulator), m_notifier(STDIN_FILENO, QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &CommandReader::readInput);
    }

private:
    void readInput()
    {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            return;
        if (got <= 0) {
            m_notifier.setEnabled(false);
            if (got == 0 && inputIsAProgram()) // the controlling program has gone: so does the simulator
                emit m_simulator.quitRequested();
            return; // otherwise the control socket and the signals remain
        }
        for (const ControlLine &line : m_lines.take(QByteArrayView(buffer, got))) {
            const QStringList answer = line.tooLong ? QStringList{ControlLines::tooLongAnswer()}
                                                    : m_simulator.execute(line.text);
            for (const QString &answerLine : answer)
                printLine(answerLine);
        }
    }

    Simulator &m_simulator;
    QSocketNotifier m_notifier;
    ControlLines m_lines;
};

bool asksFor(const QCommandLineOption &option, int argc, char *argv[])
{
    const QByteArray wanted = "--" + option.names().constFirst().toLatin1();
    for (int i = 1; i < argc; ++i) {
        if (wanted == argv[i])
            return true;
    }
    return false;
}

void describe(QCommandLineParser &parser, const SimulatorFrontEnd *frontEnd)
{
    parser.setApplicationDescription(
        QStringLiteral("Simulates the USB-to-I2C adapter and the robot's modules on a pseudo-terminal.\n"
                       "The first line of standard output is the device path to open as the COM port\n"
                       "(for Kestrava: KESTRAVA_COM1=<path> kestrava, or kestrava --simulate).\n"
                       "By default the bus holds MD23 at B0, SD21 at C2, RLY08 at 70, LCD03 at C6,\n"
                       "CMPS03 at C0, TPA81 at D0 and SRF02 rangers at E0 E2 E4 E6 E8.\n\n")
        + SimControl::commandHelp());
    parser.addHelpOption();
    parser.addVersionOption();
    if (frontEnd) {
        parser.addOption(frontEnd->option);
        parser.addOptions(frontEnd->moreOptions);
    }
}

struct Options
{
    const QCommandLineOption link{QStringLiteral("link"),
        QStringLiteral("Also make a symbolic link <path> to the device (kept pointing at it after restore), "
                       "and take control commands on the socket <path>.control."),
        QStringLiteral("path")};
    const QCommandLineOption fast{QStringLiteral("fast"),
        QStringLiteral("No wire time: answers come at once (for tests). By default every byte takes "
                       "0.573 ms each way, as at 19200 baud with 8 data bits and 2 stop bits.")};
    const QCommandLineOption empty{QStringLiteral("empty"), QStringLiteral("Start with no module on the bus.")};
    const QCommandLineOption background{QStringLiteral("background"),
        QStringLiteral("Go on in the background and return once the device (and the --link) is ready, "
                       "printing the device and how to end the simulator. Control commands then come "
                       "on the socket beside the link only.")};
    const QCommandLineOption judged{QStringLiteral("judged"),
        QStringLiteral("A judged trial: the control socket beside the link answers run and path only.")};
    const QCommandLineOption latency{QStringLiteral("latency-timer"),
        QStringLiteral("Answers wait as in a USB serial chip: until <ms> ms after the first waiting byte, "
                       "or until 62 bytes wait (0 to %1; 0, the default, turns it off).").arg(LatencyTimer::MaxMs),
        QStringLiteral("ms"), QStringLiteral("0")};

    const QCommandLineOption clock{QStringLiteral("clock"),
        QStringLiteral("real (the default): time runs as on the wall. stepped: time stands still until "
                       "the program on the line lets it go on, by a frame's wire and module time or by a "
                       "wait (control command wait); it never runs while the program computes, and the "
                       "same program gives the same world."),
        QStringLiteral("real|stepped"), QStringLiteral("real")};
    const QCommandLineOption arena{QStringLiteral("arena"),
        QStringLiteral("The room the robot is in: a bundled arena (%1) or an arena file (JSON). "
                       "Default: open.").arg(bundledArenaNames().join(QStringLiteral(", "))),
        QStringLiteral("name|file")};
    const QCommandLineOption seed{QStringLiteral("seed"),
        QStringLiteral("Pick the candle's place among the arena's places with <n> (0 to 4294967295; "
                       "-: the first line of standard input); without it the first place is used."),
        QStringLiteral("n")};

    // Empty, with the reason, when an option's value is wrong.
    std::optional<SimulatorOptions> read(const QCommandLineParser &parser, QString &error) const
    {
        SimulatorOptions chosen;
        chosen.fast = parser.isSet(fast);
        chosen.empty = parser.isSet(empty);
        chosen.judged = parser.isSet(judged);
        chosen.link = parser.value(link);
        bool valid = false;
        const int latencyMs = parser.value(latency).toInt(&valid);
        if (!valid || latencyMs < 0 || latencyMs > LatencyTimer::MaxMs) {
            error = QStringLiteral("--latency-timer takes 0 to %1 milliseconds").arg(LatencyTimer::MaxMs);
            return std::nullopt;
        }
        chosen.latencyTimer = std::chrono::milliseconds(latencyMs);
        const QString clockKind = parser.value(clock);
        if (clockKind != QLatin1String("real") && clockKind != QLatin1String("stepped")) {
            error = QStringLiteral("--clock takes real or stepped");
            return std::nullopt;
        }
        chosen.clock = clockKind == QLatin1String("stepped") ? SimClock::Kind::Stepped : SimClock::Kind::Real;
        if (parser.isSet(seed)) {
            const QString seedText = parser.value(seed);
            chosen.seed = (seedText == QStringLiteral("-") ? seedFromInput() : seedText).toUInt(&valid);
            if (!valid) {
                error = QStringLiteral("--seed takes a whole number from 0 to 4294967295");
                return std::nullopt;
            }
        }
        if (parser.isSet(arena)) {
            const ArenaLoad load = loadArena(parser.value(arena));
            if (!load.arena) {
                error = load.error;
                return std::nullopt;
            }
            chosen.arena = load.arena;
        }
        return chosen;
    }
};

int fail(const QString &error)
{
    std::fprintf(stderr, "kestrava-sim: %s\n", qPrintable(error));
    return 1;
}

// The simulator in the main thread, as the tests and the panel's --simulate=headless run it.
int runHeadless(QCoreApplication &app, const SimulatorOptions &options)
{
    Simulator simulator(options);
    QString error;
    if (!simulator.open(error))
        return fail(error);
    announceDevice(simulator.devicePath());
    new CommandReader(simulator);
    QObject::connect(&simulator, &Simulator::quitRequested, &app, &QCoreApplication::quit);
    return app.exec();
}

// The simulator in a thread of its own, the front end's window in the main thread.
int runWithFrontEnd(QCoreApplication &app, const SimulatorOptions &options, const SimulatorFrontEnd &frontEnd,
                    const QCommandLineParser &parser)
{
    SimulatorThread simulator;
    const std::unique_ptr<QObject> window = frontEnd.open(simulator, parser);
    QString error;
    if (!simulator.start(options, error))
        return fail(error);
    announceDevice(simulator.devicePath());
    simulator.call([](Simulator &core) { new CommandReader(core); });
    QObject::connect(&simulator, &SimulatorThread::quitRequested, &app, &QCoreApplication::quit);
    const int code = app.exec();
    simulator.stop();
    return code;
}

bool asksForHelpOrVersion(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--help" || argument == "-h" || argument == "--version" || argument == "-v")
            return true;
    }
    return false;
}

QString endingAdvice(pid_t simulator, int argc, char *argv[])
{
    QString link;
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--link")
            link = QFile::decodeName(argv[i + 1]);
    }
    const QString kill = QStringLiteral("kill %1").arg(simulator);
    return link.isEmpty() ? kill : QStringLiteral("kestrava-cli --device %1 sim quit (or %2)").arg(link, kill);
}

// The starting side of --background: the simulator goes on in a child of its own, in a
// session of its own (a terminal's Ctrl-C or hang-up is not for it), with no input; this
// side blocks until the child has printed its device, or has ended without one. Forked
// before Qt starts, so the child has no threads to lose.
std::optional<int> startInBackground(int argc, char *argv[])
{
    int ready[2];
    if (::pipe(ready) != 0)
        return fail(QStringLiteral("cannot start in the background: no pipe"));
    const pid_t child = ::fork();
    if (child < 0)
        return fail(QStringLiteral("cannot start in the background: no process"));
    if (child == 0) {
        ::setsid();
        const int nothing = ::open("/dev/null", O_RDONLY);
        ::dup2(nothing, STDIN_FILENO);
        ::dup2(ready[1], STDOUT_FILENO);
        ::close(nothing);
        ::close(ready[0]);
        ::close(ready[1]);
        g_inBackground = true;
        return std::nullopt;
    }
    ::close(ready[1]);
    QByteArray device;
    char byte = 0;
    ssize_t got = 0;
    while ((got = ::read(ready[0], &byte, 1)) > 0 || (got < 0 && errno == EINTR)) {
        if (got > 0 && byte == '\n')
            break;
        if (got > 0)
            device.append(byte);
    }
    ::close(ready[0]);
    if (got <= 0) { // it ended before its device was ready, and said why on standard error
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    }
    printLine(QString::fromLocal8Bit(device));
    std::fprintf(stderr, "kestrava-sim: running in the background as process %d; end it with: %s\n", int(child),
                 qPrintable(endingAdvice(child, argc, argv)));
    return 0;
}

} // namespace

int kestrava::sim::runSimulator(int argc, char *argv[], const SimulatorFrontEnd *frontEnd)
{
    const Options options;
    if (frontEnd && asksFor(frontEnd->option, argc, argv) && !asksForHelpOrVersion(argc, argv)
        && !displayAvailable()) {
        std::fprintf(stderr, "kestrava-sim: --%s: %s\n", qPrintable(frontEnd->option.names().constFirst()),
                     qPrintable(noDisplayMessage()));
        return NoDisplayStatus;
    }
    if (asksFor(options.background, argc, argv) && !asksForHelpOrVersion(argc, argv)) {
        if (const std::optional<int> started = startInBackground(argc, argv))
            return *started;
    }
    const bool withFrontEnd = frontEnd && asksFor(frontEnd->option, argc, argv);
    const std::unique_ptr<QCoreApplication> app =
        withFrontEnd ? frontEnd->makeApplication(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrava-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTRAVA_VERSION));
    std::signal(SIGPIPE, SIG_IGN);
    // A terminal that belongs to another job (the shell's `kestrava-sim ... &`) then gives an
    // error to read, which ends the reading, instead of stopping the simulator.
    std::signal(SIGTTIN, SIG_IGN);

    QCommandLineParser parser;
    describe(parser, frontEnd);
    parser.addOptions({options.link, options.fast, options.empty, options.latency, options.clock, options.arena, options.seed,
                       options.judged, options.background});
    parser.process(*app);

    SignalWatcher terminationSignals;
    QObject::connect(&terminationSignals, &SignalWatcher::terminationRequested, app.get(), &QCoreApplication::quit);
    QString error;
    const std::optional<SimulatorOptions> chosen = options.read(parser, error);
    if (!chosen) {
        fail(error);
        return 2;
    }
    return withFrontEnd ? runWithFrontEnd(*app, *chosen, *frontEnd, parser) : runHeadless(*app, *chosen);
}
