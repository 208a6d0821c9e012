#include "simprogram.h"

#include "modulekinds.h"
#include "ptyline.h"
#include "signalwatcher.h"
#include "simadapter.h"
#include "simbus.h"
#include "simcontrol.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace kestrava::sim;

namespace {

void printLine(const QString &line)
{
    std::fputs(qPrintable(line), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// A symbolic link that follows the line: it is pointed at each new device and
// removed at the end. Only a link (or nothing) is ever replaced, never a file.
class DeviceLink
{
public:
    explicit DeviceLink(QString path) : m_path(std::move(path)) {}
    ~DeviceLink() { removeLink(); }

    bool pointAt(const QString &device, QString &error)
    {
        if (m_path.isEmpty())
            return true;
        removeLink();
        if (QFile::exists(m_path) || !QFile::link(device, m_path)) {
            error = QStringLiteral("cannot make the link %1 (is something else there?)").arg(m_path);
            return false;
        }
        return true;
    }

private:
    void removeLink()
    {
        if (!m_path.isEmpty() && !QFile::symLinkTarget(m_path).isEmpty())
            QFile::remove(m_path);
    }

    QString m_path;
};

// Reads control commands from standard input a line at a time. Lines longer than
// the limit are refused whole, so a runaway writer cannot grow the buffer.
class CommandReader : public QObject
{
public:
    static constexpr qsizetype MaxLine = 4096;

    CommandReader(SimControl &control, QObject *parent)
        : QObject(parent), m_control(control), m_notifier(STDIN_FILENO, QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &CommandReader::readInput);
    }

private:
    void readInput()
    {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) { // the controlling program has gone: so does the simulator
            m_notifier.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        for (ssize_t i = 0; i < got; ++i)
            take(buffer[i]);
    }

    void take(char byte)
    {
        if (byte != '\n') {
            if (m_pending.size() < MaxLine)
                m_pending.append(byte);
            else
                m_tooLong = true;
            return;
        }
        if (m_tooLong)
            printLine(QStringLiteral("error: line longer than %1 characters").arg(MaxLine));
        else
            for (const QString &line : m_control.execute(QString::fromUtf8(m_pending), simNow()))
                printLine(line);
        m_pending.clear();
        m_tooLong = false;
    }

    SimControl &m_control;
    QSocketNotifier m_notifier;
    QByteArray m_pending;
    bool m_tooLong = false;
};

} // namespace

int kestrava::sim::runSimulator(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrava-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTRAVA_VERSION));
    std::signal(SIGPIPE, SIG_IGN);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulates the USB-to-I2C adapter and the robot's modules on a pseudo-terminal.\n"
                       "The first line of standard output is the device path to open as the COM port\n"
                       "(for Kestrava: KESTRAVA_COM1=<path> kestrava, or kestrava --simulate).\n"
                       "By default the bus holds MD23 at B0, SD21 at C2, RLY08 at 70, LCD03 at C6,\n"
                       "CMPS03 at C0, TPA81 at D0 and SRF02 rangers at E0 E2 E4 E6 E8.\n\n")
        + SimControl::commandHelp());
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption linkOption(QStringLiteral("link"),
        QStringLiteral("Also make a symbolic link <path> to the device (kept pointing at it after restore)."),
        QStringLiteral("path"));
    const QCommandLineOption fastOption(QStringLiteral("fast"),
        QStringLiteral("No wire time: answers come at once (for tests). By default every byte takes "
                       "0.573 ms each way, as at 19200 baud with 8 data bits and 2 stop bits."));
    const QCommandLineOption emptyOption(QStringLiteral("empty"),
        QStringLiteral("Start with no module on the bus."));
    const QCommandLineOption latencyOption(QStringLiteral("latency-timer"),
        QStringLiteral("Answers wait as in a USB serial chip: until <ms> ms after the first waiting byte, "
                       "or until 62 bytes wait (0 to %1; 0, the default, turns it off).").arg(LatencyTimer::MaxMs),
        QStringLiteral("ms"), QStringLiteral("0"));
    parser.addOptions({linkOption, fastOption, emptyOption, latencyOption});
    parser.process(app);
    bool latencyValid = false;
    const int latencyMs = parser.value(latencyOption).toInt(&latencyValid);
    if (!latencyValid || latencyMs < 0 || latencyMs > LatencyTimer::MaxMs) {
        std::fprintf(stderr, "kestrava-sim: --latency-timer takes 0 to %d milliseconds\n", LatencyTimer::MaxMs);
        return 2;
    }

    SimBus bus;
    if (!parser.isSet(emptyOption))
        addRobot(bus);
    SimAdapter adapter(bus, parser.isSet(fastOption) ? SimTime{0} : WireByteTime);
    PtyLine line(adapter);
    line.setLatencyTimer(std::chrono::milliseconds(latencyMs));
    DeviceLink link(parser.value(linkOption));

    QString error;
    if (!line.open() || !link.pointAt(line.devicePath(), error)) {
        std::fprintf(stderr, "kestrava-sim: %s\n", qPrintable(error.isEmpty() ? line.errorString() : error));
        return 1;
    }
    printLine(line.devicePath());

    LineActions actions;
    actions.drop = [&] {
        const bool wasOpen = line.isOpen();
        line.close();
        return wasOpen;
    };
    actions.restore = [&](QString &pathOrError) {
        if (!line.open()) {
            pathOrError = line.errorString();
            return false;
        }
        pathOrError = line.devicePath();
        QString linkError;
        if (!link.pointAt(line.devicePath(), linkError))
            pathOrError += QStringLiteral(" (") + linkError + QLatin1Char(')');
        return true;
    };
    actions.quit = [] { QCoreApplication::quit(); };
    SimControl control(bus, actions);
    CommandReader reader(control, &app);
    SignalWatcher terminationSignals;
    QObject::connect(&terminationSignals, &SignalWatcher::terminationRequested, &app, &QCoreApplication::quit);
    return app.exec();
}
