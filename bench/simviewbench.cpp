#include "bench/simviewbench.h"

#include "bench/benchmeasure.h"
#include "link/serialline.h"
#include "launcher/simulatedbus.h"
#include "link/transactionengine.h"

#include <QFile>
#include <QTest>

#include <unistd.h>

namespace kestrava::bench {

namespace {

constexpr int Reads = 300;
constexpr quint8 BenchModule = 0x40;
constexpr int IdleMs = 10'000;

// User plus system time of another process so far, from /proc.
double processCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // The fields after the command name (which may hold blanks) start with the state.
    const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
    return fields.size() > 12 ? (fields[11].toDouble() + fields[12].toDouble()) / double(::sysconf(_SC_CLK_TCK)) : 0;
}

struct Figures
{
    Spread beyondWire{};
    double busyShare = 0;
    double idleShare = 0;
};

double shareOver(qint64 pid, const std::function<void()> &work)
{
    const double before = processCpuSeconds(pid);
    const double ms = timedMs(work);
    return (processCpuSeconds(pid) - before) / (ms / 1000);
}

Figures measure(const QStringList &arguments)
{
    Figures figures;
    launcher::SimulatedBus simulator;
    if (!simulator.start(QStringLiteral(KESTRAVA_SIM_BINARY), arguments)) {
        print(QStringLiteral("robot view: %1").arg(simulator.errorString()));
        return figures;
    }
    // The robot drives in a curve with its automatic stop off, and servo 1 swings slowly.
    for (const char *command : {"add 40 generic", "write B0 16 0x32", "write B0 0 200", "write B0 1 170",
                                "write C2 0 1", "write C2 1 0xC4 0x09"})
        simulator.command(QLatin1String(command));
    simulator.mapComPorts(1, 1);
    {
        SerialLine line;
        line.setCommPort(1);
        if (!line.open())
            return figures;
        TransactionEngine engine(line);
        std::vector<double> beyond;
        figures.busyShare = shareOver(simulator.processId(), [&] {
            for (int i = 0; i < Reads; ++i)
                beyond.push_back(timedMs([&] { engine.readRegisters(BenchModule, 0, 1); }) - wireMs(4 + 1));
        });
        figures.beyondWire = spread(beyond);
    }
    for (const char *command : {"write B0 0 128", "write B0 1 128", "write C2 0 0", "write C2 1 0xDC 0x05"})
        simulator.command(QLatin1String(command));
    QTest::qWait(1500); // the frames-a-second figure falls to nothing
    figures.idleShare = shareOver(simulator.processId(), [] { QTest::qWait(IdleMs); });
    return figures;
}

QString percent(double share)
{
    return QStringLiteral("%1 %").arg(100 * share, 0, 'f', 2);
}

} // namespace

void measureRobotView()
{
    const Figures headless = measure({});
    const Figures view = measure({QStringLiteral("--view")});
    print(QStringLiteral("robot view, one-byte read beyond its wire time while the robot drives (%1 reads): "
                         "headless %2 ms median, %3 ms p95; with the view %4 ms median, %5 ms p95")
              .arg(Reads).arg(headless.beyondWire.median, 0, 'f', 3).arg(headless.beyondWire.p95, 0, 'f', 3)
              .arg(view.beyondWire.median, 0, 'f', 3).arg(view.beyondWire.p95, 0, 'f', 3));
    print(QStringLiteral("robot view, kestrava-sim CPU share while answering: headless %1, with the view %2")
              .arg(percent(headless.busyShare), percent(view.busyShare)));
    print(QStringLiteral("robot view, kestrava-sim CPU share with nothing happening (%1 s): headless %2, "
                         "with the view %3 (target < 1 %)")
              .arg(IdleMs / 1000).arg(percent(headless.idleShare), percent(view.idleShare)));
}

} // namespace kestrava::bench
