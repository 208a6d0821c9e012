#pragma once

#include "cli/limits.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>

namespace kestrava {
class Motors;
}

namespace kestrava::cli {

// What keeps the server's motors from running on: the watchdog, which stops them when
// no request comes for its time while they move; the stop at the end of a drive that
// answered at once; and the stop when the server ends, however it ends. No stop of its
// own goes out while a request is under way, so that the engine is never entered twice.
class MotorSafety : public QObject
{
    Q_OBJECT
public:
    explicit MotorSafety(Motors &motors);

    void setWatchdog(std::chrono::milliseconds watchdog) { m_watchdogTime = watchdog; }
    // A request is under way: the watchdog waits.
    void requestBegins();
    // The request is over: the stop that fell due meanwhile goes out, or the watchdog
    // watches the motors that move (a drive that stops by itself needs none).
    void requestEnded();
    // A timed drive that answered at once; stopAfter again, or cancel, replaces it.
    void stopAfter(int milliseconds);
    void cancelTimedStop();
    // The server ends: no stop of its own from now on.
    void disarm();
    // The end's stop, when they were set moving.
    void stopIfMoving();

signals:
    // A stop of its own went out, outside any request.
    void stoppedByItself();

private:
    void watchdogExpired();
    void timedStop();

    Motors &m_motors;
    QTimer m_watchdog;
    QTimer m_timedStop;                      // a drive with "wait": false
    std::optional<QDeadlineTimer> m_stopDue; // set while such a drive runs
    std::chrono::milliseconds m_watchdogTime{DefaultWatchdogMs};
    bool m_busy = false;
};

} // namespace kestrava::cli
