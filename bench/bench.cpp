// kestrava-bench: figures of the transaction engine against kestrava-sim with wire-time
// emulation, of the panel's start-up, of the whole window under a drag, a long keypad
// dialogue, many operations and idleness, and of the window against a raw client behind a
// USB latency timer and over TCP (only these with --latency-only). Run by hand; prints
// one line per figure.

#include "bench/benchmeasure.h"
#include "bench/latencybench.h"
#include "bench/panelbench.h"
#include "link/serialline.h"
#include "launcher/simulatedbus.h"
#include "bench/simviewbench.h"
#include "link/transactionengine.h"
#include "link/instep.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <vector>

using namespace kestrava;
using namespace kestrava::bench;

namespace {

constexpr int Transactions = 300;
constexpr quint8 BenchModule = 0x40;
constexpr quint8 EmptyAddress = 0x42;

void measureTransactions(TransactionEngine &engine)
{
    for (int i = 0; i < 20; ++i) // warm-up
        engine.readRegisters(BenchModule, 0, 1);

    const auto beyondWire = [&](const std::function<void()> &transaction, int wireBytes) {
        std::vector<double> beyond;
        for (int i = 0; i < Transactions; ++i)
            beyond.push_back(timedMs(transaction) - wireMs(wireBytes));
        return spread(beyond);
    };
    const Spread write = beyondWire([&] { engine.writeRegister(BenchModule, 0, 0x5A); }, 5 + 1);
    print(QStringLiteral("one-byte write: %1 ms median, %2 ms p95 beyond its wire time of %3 ms (%4 transactions; target < 1 ms)")
              .arg(write.median, 0, 'f', 3).arg(write.p95, 0, 'f', 3).arg(wireMs(6), 0, 'f', 3).arg(Transactions));
    const Spread read = beyondWire([&] { engine.readRegisters(BenchModule, 0, 1); }, 4 + 1);
    print(QStringLiteral("one-byte read: %1 ms median, %2 ms p95 beyond its wire time of %3 ms (%4 transactions; target < 1 ms)")
              .arg(read.median, 0, 'f', 3).arg(read.p95, 0, 'f', 3).arg(wireMs(5), 0, 'f', 3).arg(Transactions));

    InStepLink link(engine);
    const Spread inStep = beyondWire([&] { link.readRegisters(BenchModule, 0, 1); }, 4 + 1);
    print(QStringLiteral("one-byte read kept in step (command line and server): %1 ms median, %2 ms p95 beyond its "
                         "wire time, of which %3 ms is the quiet guard after the answer (%4 transactions)")
              .arg(inStep.median, 0, 'f', 3).arg(inStep.p95, 0, 'f', 3)
              .arg(double(InStepLink::AnswerGuard.count()) / 1000, 0, 'f', 1).arg(Transactions));

    std::vector<double> ratios;
    const double limit = wireMs(10 * 5);
    for (int run = 0; run < 30; ++run) {
        ratios.push_back(timedMs([&] {
            for (quint8 reg = 0; reg < 10; ++reg)
                engine.readRegisters(BenchModule, reg, 1);
        }) / limit);
    }
    const Spread sequence = spread(ratios);
    print(QStringLiteral("ten-register read sequence: %1 x its wire time of %2 ms median, %3 x p95 (30 runs; target <= 1.10)")
              .arg(sequence.median, 0, 'f', 3).arg(limit, 0, 'f', 2).arg(sequence.p95, 0, 'f', 3));
}

void measureTimeOuts(TransactionEngine &engine)
{
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    const double wallMs = timedMs([&] {
        for (int i = 0; i < 10; ++i)
            engine.readRegisters(EmptyAddress, 0, 1);
    });
    const double share = (cpuSeconds(RUSAGE_SELF) - cpuBefore) / (wallMs / 1000);
    print(QStringLiteral("ten silent-module time-outs: CPU share %1 % over %2 s (target < 2 %)")
              .arg(100 * share, 0, 'f', 2).arg(wallMs / 1000, 0, 'f', 2));
}

// The panel as a separate program: from its start until it has shown its window,
// closed it again at once (--quit-after 0) and ended.
void measurePanelStartUp(const QString &device)
{
    QTemporaryDir settings;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), settings.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), settings.path());
    environment.insert(QString::fromLatin1(kestrava::comPortVariable(1)), device);
    std::vector<double> runs;
    for (int run = 0; run < 5; ++run) {
        QProcess panel;
        panel.setProcessEnvironment(environment);
        panel.setProcessChannelMode(QProcess::ForwardedChannels);
        runs.push_back(timedMs([&] {
            panel.start(QStringLiteral(KESTRAVA_PANEL_BINARY), {QStringLiteral("--quit-after"), QStringLiteral("0")});
            panel.waitForFinished(30000);
        }));
        if (panel.exitStatus() != QProcess::NormalExit || panel.exitCode() != 0) {
            print(QStringLiteral("panel start-up: the panel did not run cleanly (exit code %1)").arg(panel.exitCode()));
            return;
        }
    }
    const Spread startUp = spread(runs);
    rusage children{};
    ::getrusage(RUSAGE_CHILDREN, &children);
    print(QStringLiteral("panel start-up to first shown window: %1 s median, %2 s slowest of 5 "
                         "(measured to the end of a run that closes at once; target < 0.5 s)")
              .arg(startUp.median / 1000, 0, 'f', 3).arg(*std::max_element(runs.begin(), runs.end()) / 1000, 0, 'f', 3));
    print(QStringLiteral("panel peak resident memory: %1 MiB (offscreen platform)")
              .arg(double(children.ru_maxrss) / 1024, 0, 'f', 1));
}

// Wire time on, each with its own simulator: a USB chip's latency timer at Linux's
// default and at its lowest, and a robot reached over TCP.
void measureBehindLatencyTimerAndNetwork()
{
    measureTelemetryReadOuts(0);
    measureTelemetryReadOuts(16);
    measureLatencyTimer(16);
    measureLatencyTimer(1);
    measureRemotePath();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The windows built here read their saved port from a private place, never the user's.
    const QTemporaryDir privateSettings;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(privateSettings.path()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(privateSettings.path()));
    QApplication app(argc, argv);
    if (QCoreApplication::arguments().contains(QStringLiteral("--latency-only"))) {
        measureBehindLatencyTimerAndNetwork();
        return 0;
    }

    launcher::SimulatedBus simulator;
    if (!simulator.start(QStringLiteral(KESTRAVA_SIM_BINARY))) { // wire-time emulation on
        std::fprintf(stderr, "kestrava-bench: %s\n", qPrintable(simulator.errorString()));
        return 1;
    }
    simulator.command(QStringLiteral("add %1 generic").arg(BenchModule, 2, 16));
    simulator.mapComPorts(1, 1);
    print(QStringLiteral("kestrava-bench against kestrava-sim on %1, 19200 baud 8N2 emulated (%2 ms a byte)")
              .arg(simulator.devicePath()).arg(wireMs(1), 0, 'f', 4));
    {
        SerialLine line;
        line.setCommPort(1);
        if (!line.open()) {
            std::fprintf(stderr, "kestrava-bench: %s\n", qPrintable(line.lastError()));
            return 1;
        }
        TransactionEngine engine(line);
        measureTransactions(engine);
        measureTimeOuts(engine);
    } // the panel opens the same device next
    measurePanelStartUp(simulator.devicePath());

    // The window in this process, on the same simulator: the wire times of the robot.
    measureDrivePad();
    measureKeypadPolling();

    // Answers at once, so that many operations take little time.
    launcher::SimulatedBus fastSimulator;
    if (!fastSimulator.start(QStringLiteral(KESTRAVA_SIM_BINARY), {QStringLiteral("--fast")})) {
        std::fprintf(stderr, "kestrava-bench: %s\n", qPrintable(fastSimulator.errorString()));
        return 1;
    }
    fastSimulator.mapComPorts(1, 1);
    measureMemory();
    measureIdle();

    measureBehindLatencyTimerAndNetwork();
    measureRobotView();
    return 0;
}
