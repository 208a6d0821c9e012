#include "bench/panelbench.h"

#include "bench/benchmeasure.h"
#include "panel/controlpanel.h"
#include "actuators/lcd03.h"
#include "drive/drivepad.h"
#include "drive/md23.h"
#include "panel/padimage.h"
#include "panel/panellayout.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace kestrava::bench {

namespace {

constexpr int DragsMeasured = 10;
constexpr int MovesPerDrag = 1000;
constexpr int WarmUpOperations = 1000;
constexpr int MeasuredOperations = 10000;
constexpr int IdleMs = 10000;
constexpr int KeypadPollingMs = 30000;
// Far beyond what any measured run needs: a run that hangs still ends the bench.
constexpr int GiveUpMs = 120000;

// Runs the event loop until `finished` (connected by the caller) quits it, or
// until GiveUpMs have passed.
void runUntilQuit(QEventLoop &loop)
{
    QTimer::singleShot(GiveUpMs, &loop, &QEventLoop::quit);
    loop.exec();
}

double sharePercent(double cpuSeconds, double wallMs)
{
    return 100 * cpuSeconds / (wallMs / 1000);
}

// ---- drive pad ----

void sendMouse(PadImage &pad, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, at, pad.mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(&pad, &event);
}

// A diagonal across the pad, so that the speed and the turn both keep changing.
QPointF dragPoint(int move)
{
    const double along = 10 + 230.0 * move / (MovesPerDrag - 1);
    return {along, along};
}

// The speed frames of the motor controller, as the drag sends them.
struct SpeedWire
{
    int updates = 0; // frames to the first speed register: one per update
    int speed = -1;
    int turn = -1;
    qint64 lastAnswerNs = 0;
};

struct DragResult
{
    int updates;
    double lastMoveToAnswerMs;
    double feedMs;
    bool endsAtFinalPosition;
    bool releaseStopsLast;
};

DragResult measureDrag(ControlPanel &panel, PadImage &pad)
{
    QElapsedTimer clock;
    clock.start();
    SpeedWire wire;
    QObject listening; // the counting ends with this drag
    QObject::connect(&panel.engine(), &TransactionEngine::frameSent, &listening, [&wire](const QByteArray &frame) {
        if (frame.size() != 5 || quint8(frame[1]) != md23::Address)
            return;
        if (quint8(frame[2]) == md23::Speed1) {
            ++wire.updates;
            wire.speed = quint8(frame[4]);
        } else if (quint8(frame[2]) == md23::Speed2Turn) {
            wire.turn = quint8(frame[4]);
        }
    });
    QObject::connect(&panel.engine(), &TransactionEngine::replyTaken, &listening,
                     [&] { wire.lastAnswerNs = clock.nsecsElapsed(); });

    sendMouse(pad, QEvent::MouseButtonPress, dragPoint(0), Qt::LeftButton, Qt::LeftButton);
    wire.updates = 0;

    // A 1 ms timer queues the moves as the window system does, so most of them are
    // delivered inside the waits of the update under way. (Sent from the timer's
    // own handler they would all wait for it: a timer never fires inside itself.)
    QEventLoop loop;
    QTimer feeder;
    feeder.setTimerType(Qt::PreciseTimer);
    feeder.setInterval(1);
    int queued = 0;
    int delivered = 0;
    qint64 firstMoveNs = 0;
    qint64 lastMoveNs = 0;
    QObject::connect(&feeder, &QTimer::timeout, &listening, [&] {
        if (queued == 0)
            firstMoveNs = clock.nsecsElapsed();
        const QPointF at = dragPoint(queued);
        if (++queued == MovesPerDrag) {
            feeder.stop();
            lastMoveNs = clock.nsecsElapsed();
        }
        QMetaObject::invokeMethod(&listening, [&pad, &delivered, at] {
            ++delivered;
            sendMouse(pad, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
        }, Qt::QueuedConnection);
    });
    QObject::connect(&panel.gate(), &EventGate::idle, &listening, [&] {
        if (delivered == MovesPerDrag)
            loop.quit();
    });
    feeder.start();
    runUntilQuit(loop);

    const QPointF last = dragPoint(MovesPerDrag - 1);
    const PadSpeeds expected = padSpeeds(float(last.x() * TwipsPerPixel), float(last.y() * TwipsPerPixel));
    DragResult result{wire.updates, double(wire.lastAnswerNs - lastMoveNs) / 1e6,
                      double(lastMoveNs - firstMoveNs) / 1e6,
                      wire.speed == expected.speed && wire.turn == expected.turn, false};

    sendMouse(pad, QEvent::MouseButtonRelease, last, Qt::LeftButton, Qt::NoButton);
    result.releaseStopsLast = wire.speed == md23::Stop && wire.turn == md23::Stop;
    return result;
}

// ---- mixed operations through the window's controls ----

class MixedOperations
{
public:
    explicit MixedOperations(ControlPanel &panel)
        : m_panel(panel)
    {
    }

    void run(int count)
    {
        for (int i = 0; i < count; ++i, ++m_done) {
            switch (m_done % 4) {
            case 0: clickRelay(); break;
            case 1: button(QStringLiteral("CmdTPA81")).click(); break;
            case 2: moveServo(); break;
            default: showText(); break;
            }
        }
    }

private:
    QPushButton &button(const QString &name) { return *m_panel.findChild<QPushButton *>(name); }

    void clickRelay()
    {
        const int round = m_done / 4;
        const QString name = (round % 2 == 0) ? QStringLiteral("ReleOn(%1)") : QStringLiteral("ReleOff(%1)");
        button(name.arg(round / 2 % 8)).click();
    }

    void moveServo()
    {
        auto &bar = *m_panel.findChild<QScrollBar *>(QStringLiteral("ServoScroll(%1)").arg(m_done / 4 % 21));
        const int low = bar.minimum() + (bar.maximum() - bar.minimum()) / 4;
        const int high = bar.maximum() - (bar.maximum() - bar.minimum()) / 4;
        bar.setValue(bar.value() == low ? high : low);
    }

    void showText()
    {
        m_panel.findChild<QLineEdit *>(QStringLiteral("TxtLCD03"))->setText(QStringLiteral("Prueba %1").arg(m_done));
        button(QStringLiteral("CmdLCD03_1")).click();
    }

    ControlPanel &m_panel;
    int m_done = 0;
};

} // namespace

std::unique_ptr<ControlPanel> openPanel()
{
    auto panel = std::make_unique<ControlPanel>([](const QString &message) {
        std::fprintf(stderr, "kestrava-bench: the panel says: %s\n", qPrintable(message));
    });
    panel->show();
    if (!panel->line().isOpen()) {
        print(QStringLiteral("(the panel could not open its port; figure skipped)"));
        return nullptr;
    }
    return panel;
}

void measureDrivePad()
{
    const std::unique_ptr<ControlPanel> panel = openPanel();
    if (!panel)
        return;
    PadImage &pad = *panel->findChild<PadImage *>(QStringLiteral("Image1"));
    std::vector<double> latencies;
    int fewestUpdates = MovesPerDrag;
    int mostUpdates = 0;
    double slowestFeedMs = 0;
    bool allEndAtFinalPosition = true;
    bool allReleasesLast = true;
    for (int drag = 0; drag < DragsMeasured; ++drag) {
        const DragResult result = measureDrag(*panel, pad);
        latencies.push_back(result.lastMoveToAnswerMs);
        fewestUpdates = std::min(fewestUpdates, result.updates);
        mostUpdates = std::max(mostUpdates, result.updates);
        slowestFeedMs = std::max(slowestFeedMs, result.feedMs);
        allEndAtFinalPosition &= result.endsAtFinalPosition;
        allReleasesLast &= result.releaseStopsLast;
    }
    const Spread latency = spread(latencies);
    const auto yesNo = [](bool value) { return value ? QStringLiteral("yes") : QStringLiteral("NO"); };
    print(QStringLiteral("drive pad, %1 moves at 1 kHz (fed in %2 s at most): %3 to %4 updates sent per drag; "
                         "last move to its frames answered %5 ms fastest, %6 ms median, %7 ms slowest of %8 drags "
                         "(one update's wire time %9 ms; target <= one update); "
                         "last update at the final position: %10; release's stops last: %11")
              .arg(MovesPerDrag)
              .arg(slowestFeedMs / 1000, 0, 'f', 2)
              .arg(fewestUpdates)
              .arg(mostUpdates)
              .arg(*std::min_element(latencies.begin(), latencies.end()), 0, 'f', 2)
              .arg(latency.median, 0, 'f', 2)
              .arg(*std::max_element(latencies.begin(), latencies.end()), 0, 'f', 2)
              .arg(DragsMeasured)
              .arg(wireMs(2 * (5 + 1)), 0, 'f', 2)
              .arg(yesNo(allEndAtFinalPosition), yesNo(allReleasesLast)));
}

void measureKeypadPolling()
{
    const std::unique_ptr<ControlPanel> panel = openPanel();
    if (!panel)
        return;
    QPushButton &keypadButton = *panel->findChild<QPushButton *>(QStringLiteral("CmdLCD03_6"));
    int reads = 0;
    int timeOuts = 0;
    QEventLoop loop;
    QObject listening;
    QObject::connect(&panel->engine(), &TransactionEngine::frameSent, &listening, [&reads](const QByteArray &frame) {
        if (frame.size() == 4 && quint8(frame[1]) == lcd03::Address + 1)
            ++reads;
    });
    QObject::connect(&panel->engine(), &TransactionEngine::replyTimedOut, &listening, [&timeOuts] { ++timeOuts; });
    QObject::connect(&panel->gate(), &EventGate::idle, &loop, &QEventLoop::quit);
    // Both clicks go through the gate as the window's own would: the second comes
    // during a wait, is deferred, and cancels the dialogue at its next safe point.
    QTimer::singleShot(0, &keypadButton, &QPushButton::click);
    QTimer::singleShot(KeypadPollingMs, &keypadButton, &QPushButton::click);

    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    const double wallMs = timedMs([&] { runUntilQuit(loop); });
    const double cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    print(QStringLiteral("keypad dialogue polling a keypad with no key held: CPU share %1 % over %2 s, "
                         "%3 keypad reads a second (%4 reads, %5 time-outs; wire-time emulation on)")
              .arg(sharePercent(cpu, wallMs), 0, 'f', 1)
              .arg(wallMs / 1000, 0, 'f', 1)
              .arg(reads / (wallMs / 1000), 0, 'f', 0)
              .arg(reads)
              .arg(timeOuts));
}

void measureMemory()
{
    const std::unique_ptr<ControlPanel> panel = openPanel();
    if (!panel)
        return;
    int timeOuts = 0;
    QObject listening;
    QObject::connect(&panel->engine(), &TransactionEngine::replyTimedOut, &listening, [&timeOuts] { ++timeOuts; });
    MixedOperations operations(*panel);
    operations.run(WarmUpOperations);
    const double before = residentKiB();
    const double wallMs = timedMs([&] { operations.run(MeasuredOperations); });
    const double after = residentKiB();
    print(QStringLiteral("resident memory after %1 warm-up operations %2 KiB, after %3 more %4 KiB: growth %5 KiB "
                         "(relay clicks, thermal reads, servo changes, display text; %6 s, %7 time-outs; "
                         "target: no growth)")
              .arg(WarmUpOperations)
              .arg(before, 0, 'f', 0)
              .arg(MeasuredOperations)
              .arg(after, 0, 'f', 0)
              .arg(after - before, 0, 'f', 0)
              .arg(wallMs / 1000, 0, 'f', 1)
              .arg(timeOuts));
}

void measureIdle()
{
    const std::unique_ptr<ControlPanel> panel = openPanel();
    if (!panel)
        return;
    const bool ticking = panel->engine().timerRunning();
    QEventLoop loop;
    QTimer::singleShot(IdleMs, &loop, &QEventLoop::quit);
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    const double wallMs = timedMs([&] { loop.exec(); });
    const double cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    print(QStringLiteral("idle panel, port open, Timer1 %1: CPU share %2 % (%3 ms CPU over %4 s)")
              .arg(ticking ? QStringLiteral("ticking") : QStringLiteral("NOT ticking"))
              .arg(sharePercent(cpu, wallMs), 0, 'f', 3)
              .arg(cpu * 1000, 0, 'f', 1)
              .arg(wallMs / 1000, 0, 'f', 1));
}

} // namespace kestrava::bench
