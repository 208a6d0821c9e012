#pragma once

#include "cli/limits.h"
#include "link/linkclock.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

namespace kestrava {
class InStepLink;
class Motors;
}

namespace kestrava::cli {

// What keeps the server's motors from running on: the watchdog, which stops them when
// no request comes for its time while they move; the stop at the end of a drive that
// answered at once; and the stop when the server ends, however it ends. No stop of its
// own goes out while a request is under way, so that the engine is never entered twice,
// but for the `wait` method's, which uses no engine meanwhile: a wait is no request to the
// robot, as a program's own sleep is not.
//
// Both count on the link's clock. On a real one, timers fire in real time between requests.
// On a stepped simulator's, time moves only by the program's frames and waits, so nothing
// fires while the program thinks: a stop falls due at the end of a request, or inside a wait,
// at the moment the clock reaches it.
class MotorSafety : public QObject
{
    Q_OBJECT
public:
    using Pause = std::function<void(std::chrono::nanoseconds)>;

    MotorSafety(Motors &motors, const InStepLink &link);

    void setWatchdog(std::chrono::milliseconds watchdog) { m_watchdogTime = watchdog; }
    // A request is under way: the watchdog waits.
    void requestBegins();
    // The request is over: the stop that fell due meanwhile goes out, or the watchdog
    // watches the motors that move (a drive that stops by itself needs none).
    void requestEnded();
    // A timed drive that answered at once; stopAfter again, or cancel, replaces it.
    void stopAfter(int milliseconds);
    void cancelTimedStop();
    // The `wait` method: waits `span` on the link's clock by `pause`, with the stops that fall
    // due meanwhile made at their moment.
    void waitThrough(std::chrono::nanoseconds span, const Pause &pause);
    // The server ends: no stop of its own from now on.
    void disarm();
    // The end's stop, when they were set moving.
    void stopIfMoving();

signals:
    // A stop of its own went out, outside any request.
    void stoppedByItself();

private:
    using Time = LinkClock::Time;

    Time now() const;
    bool stepped() const;
    bool reached(std::optional<Time> due) const { return due && now() >= *due; }
    std::optional<Time> nextDue() const;
    void watchdogExpired();
    void timedStop();
    void stopForWatchdog();
    void stopForTimedDrive();

    Motors &m_motors;
    const InStepLink &m_link;
    QTimer m_watchdog;                 // real time only
    QTimer m_timedStop;                // a drive with "wait": false, real time only
    std::optional<Time> m_watchdogDue; // on the link's clock, while the watchdog watches
    std::optional<Time> m_stopDue;     // on the link's clock, set while such a drive runs
    std::chrono::milliseconds m_watchdogTime{DefaultWatchdogMs};
    bool m_busy = false;
};

} // namespace kestrava::cli
