#include "bench/latencybench.h"

#include "bench/benchmeasure.h"
#include "panel/controlpanel.h"
#include "bench/panelbench.h"
#include "bench/rawclient.h"
#include "tests/support/remotepath.h"
#include "launcher/simulatedbus.h"
#include "link/instep.h"
#include "link/serialline.h"
#include "drive/telemetry.h"

#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>

namespace kestrava::bench {

namespace {

constexpr int Runs = 20;
constexpr quint8 BenchModule = 0x40;

using Operation = std::function<void(ControlPanel &)>;

void clickTelemetry(ControlPanel &panel)
{
    panel.findChild<QPushButton *>(QStringLiteral("CmdLeerDatos"))->click();
}

void readTenRegisters(ControlPanel &panel)
{
    for (quint8 reg = 0; reg < 10; ++reg)
        panel.engine().readRegisters(BenchModule, reg, 1);
}

// A read brings as many bytes as it asks for; a write brings one.
RawExchange exchangeOf(const QByteArray &frame)
{
    const bool isRead = frame.size() >= 4 && (quint8(frame[1]) & 1);
    return {frame.toStdString(), isRead ? size_t(quint8(frame[3])) : 1};
}

struct Timing
{
    double panelMs = -1;
    double rawMs = -1;
    double wireMs = 0;
    size_t frames = 0;
};

// The window's median over Runs, with the frames of its first run; then a raw client's
// median over the same frames, once the window has let the device go.
Timing timeOperation(const QString &device, const Operation &operation)
{
    Timing timing;
    std::vector<RawExchange> exchanges;
    {
        const std::unique_ptr<ControlPanel> panel = openPanel();
        if (!panel)
            return timing;
        {
            QObject recording; // the first run only, which also warms up
            QObject::connect(&panel->engine(), &TransactionEngine::frameSent, &recording,
                             [&](const QByteArray &frame) { exchanges.push_back(exchangeOf(frame)); });
            operation(*panel);
        }
        std::vector<double> runs;
        for (int run = 0; run < Runs; ++run)
            runs.push_back(timedMs([&] { operation(*panel); }));
        timing.panelMs = spread(runs).median;
    }
    timing.frames = exchanges.size();
    for (const RawExchange &step : exchanges)
        timing.wireMs += wireMs(int(step.frame.size() + step.answerBytes));
    RawClient client(device.toStdString());
    std::vector<double> runs;
    for (int run = 0; run <= Runs && client.isOpen(); ++run) // the first warms up
        runs.push_back(client.run(exchanges));
    if (runs.size() > 1 && *std::min_element(runs.begin(), runs.end()) >= 0)
        timing.rawMs = spread({runs.begin() + 1, runs.end()}).median;
    return timing;
}

void printTiming(const QString &what, const Timing &timing)
{
    if (timing.panelMs < 0 || timing.rawMs < 0) {
        print(QStringLiteral("%1: could not be measured").arg(what));
        return;
    }
    print(QStringLiteral("%1: %2 ms median (%3 frames), %4 x its wire time of %5 ms; raw client %6 ms: "
                         "%7 x the raw client (%8 runs each)")
              .arg(what)
              .arg(timing.panelMs, 0, 'f', 1)
              .arg(timing.frames)
              .arg(timing.panelMs / timing.wireMs, 0, 'f', 3)
              .arg(timing.wireMs, 0, 'f', 1)
              .arg(timing.rawMs, 0, 'f', 1)
              .arg(timing.panelMs / timing.rawMs, 0, 'f', 3)
              .arg(Runs));
}

bool startSimulator(launcher::SimulatedBus &simulator, const QStringList &arguments)
{
    if (!simulator.start(QStringLiteral(KESTRAVA_SIM_BINARY), arguments)) {
        print(QStringLiteral("(kestrava-sim did not start: %1)").arg(simulator.errorString()));
        return false;
    }
    simulator.command(QStringLiteral("add %1 generic").arg(BenchModule, 2, 16));
    return true;
}

void pointComOneAt(const QString &device)
{
    qputenv("KESTRAVA_COM1", device.toLocal8Bit());
}

} // namespace

void measureLatencyTimer(int timerMs)
{
    launcher::SimulatedBus simulator;
    if (!startSimulator(simulator, {QStringLiteral("--latency-timer"), QString::number(timerMs)}))
        return;
    pointComOneAt(simulator.devicePath());
    const QString setting = QStringLiteral("latency timer %1 ms").arg(timerMs);
    printTiming(setting + QStringLiteral(", telemetry click"), timeOperation(simulator.devicePath(), clickTelemetry));
    printTiming(setting + QStringLiteral(", ten-register read sequence"),
                timeOperation(simulator.devicePath(), readTenRegisters));
}

void measureTelemetryReadOuts(int timerMs)
{
    launcher::SimulatedBus simulator;
    const QStringList timer{QStringLiteral("--latency-timer"), QString::number(timerMs)};
    if (!startSimulator(simulator, timerMs > 0 ? timer : QStringList()))
        return;
    pointComOneAt(simulator.devicePath());
    std::vector<double> window;
    if (const std::unique_ptr<ControlPanel> panel = openPanel()) {
        clickTelemetry(*panel); // warms up
        for (int run = 0; run < Runs; ++run)
            window.push_back(timedMs([&] { clickTelemetry(*panel); }));
    }
    SerialLine line;
    line.setCommPort(1);
    TransactionEngine engine(line);
    InStepLink link(engine);
    std::vector<double> commandLine;
    int refused = 0;
    const auto readOut = [&] { refused += readTelemetryAtOnce(link, [](const Reading &) {}) != Outcome::Taken; };
    if (line.open()) {
        link.start();
        readOut();
        for (int run = 0; run < Runs; ++run)
            commandLine.push_back(timedMs(readOut));
    }
    const QString setting = timerMs > 0 ? QStringLiteral("latency timer %1 ms").arg(timerMs)
                                        : QStringLiteral("wire time only");
    if (window.empty() || commandLine.empty() || refused > 0) {
        print(QStringLiteral("telemetry read-outs, %1: could not be measured").arg(setting));
        return;
    }
    const double windowMs = spread(window).median;
    const double commandLineMs = spread(commandLine).median;
    print(QStringLiteral("telemetry read-outs, %1: window's Leer Datos %2 ms, command line's %3 ms "
                         "(one 12-byte read, wire time %4 ms, answer guard %5 ms): %6 of the window's "
                         "(medians of %7; goal <= %8)")
              .arg(setting)
              .arg(windowMs, 0, 'f', 1)
              .arg(commandLineMs, 0, 'f', 1)
              .arg(wireMs(4 + 12), 0, 'f', 1)
              .arg(double(InStepLink::AnswerGuard.count()) / 1000, 0, 'f', 1)
              .arg(commandLineMs / windowMs, 0, 'f', 3)
              .arg(Runs)
              .arg(timerMs > 0 ? QStringLiteral("0.15") : QStringLiteral("0.30")));
}

void measureRemotePath()
{
    if (!test::RemotePath::toolsPresent()) {
        print(QStringLiteral("remote path: ser2net or socat is missing; figure skipped"));
        return;
    }
    launcher::SimulatedBus simulator;
    QTemporaryDir folder;
    test::RemotePath remote(folder.path());
    if (!startSimulator(simulator, {}))
        return;
    if (!remote.start(simulator.devicePath())) {
        print(QStringLiteral("remote path: %1; figure skipped").arg(remote.errorString()));
        return;
    }
    pointComOneAt(remote.linkPath());
    printTiming(QStringLiteral("over ser2net and socat on 127.0.0.1, ten-register read sequence"),
                timeOperation(remote.linkPath(), readTenRegisters));
}

} // namespace kestrava::bench
