#include "cli/safety.h"

#include "cli/framing.h"

#include "drive/motion.h"
#include "link/instep.h"

namespace kestrava::cli {

MotorSafety::MotorSafety(Motors &motors, const InStepLink &link)
    : m_motors(motors)
    , m_link(link)
{
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, &MotorSafety::watchdogExpired);
    m_timedStop.setSingleShot(true);
    connect(&m_timedStop, &QTimer::timeout, this, &MotorSafety::timedStop);
}

MotorSafety::Time MotorSafety::now() const
{
    return m_link.clock().now();
}

bool MotorSafety::stepped() const
{
    return m_link.clock().stepped();
}

void MotorSafety::requestBegins()
{
    m_watchdog.stop();
    m_busy = true;
}

void MotorSafety::requestEnded()
{
    m_busy = false;
    m_watchdogDue.reset();
    if (reached(m_stopDue))
        timedStop();
    else if (m_motors.moving() && !m_stopDue && m_watchdogTime.count() > 0) {
        m_watchdogDue = now() + m_watchdogTime;
        if (!stepped())
            m_watchdog.start(m_watchdogTime);
    }
}

void MotorSafety::stopAfter(int milliseconds)
{
    m_stopDue = now() + std::chrono::milliseconds(milliseconds);
    if (!stepped())
        m_timedStop.start(milliseconds);
}

void MotorSafety::cancelTimedStop()
{
    m_timedStop.stop();
    m_stopDue.reset();
}

std::optional<MotorSafety::Time> MotorSafety::nextDue() const
{
    if (m_stopDue)
        return m_stopDue;
    return m_motors.moving() ? m_watchdogDue : std::nullopt;
}

void MotorSafety::waitThrough(std::chrono::nanoseconds span, const Pause &pause)
{
    const Time end = now() + span;
    for (;;) {
        const std::optional<Time> due = nextDue();
        const Time until = due ? std::min(*due, end) : end;
        if (const Time left = until - now(); left > Time{0})
            pause(left);
        if (now() < until || !due || *due > end)
            return; // over, or cut short (a termination signal, the device lost)
        if (m_stopDue)
            stopForTimedDrive();
        else
            stopForWatchdog();
    }
}

// The end of a drive that answered at once; while a request is carried out it waits
// for its end, so that the engine is never entered twice.
void MotorSafety::timedStop()
{
    if (!m_busy && m_stopDue)
        stopForTimedDrive();
}

void MotorSafety::stopForTimedDrive()
{
    cancelTimedStop();
    if (m_motors.stop() != Outcome::Taken)
        logLine(QStringLiteral("the stop at the end of a timed drive went unanswered"));
    emit stoppedByItself();
}

void MotorSafety::watchdogExpired()
{
    if (!m_busy && m_motors.moving())
        stopForWatchdog();
}

void MotorSafety::stopForWatchdog()
{
    m_watchdogDue.reset();
    const bool stopped = m_motors.stop() == Outcome::Taken;
    logLine(QStringLiteral("no request for %1 ms while the motors moved: %2")
                .arg(m_watchdogTime.count())
                .arg(stopped ? QStringLiteral("stopped them") : QStringLiteral("their stop went unanswered")));
    emit stoppedByItself();
}

void MotorSafety::disarm()
{
    m_watchdog.stop();
    m_watchdogDue.reset();
    cancelTimedStop();
}

void MotorSafety::stopIfMoving()
{
    if (m_motors.moving() && m_motors.stop() != Outcome::Taken)
        logLine(QStringLiteral("the motors' stop went unanswered"));
}

} // namespace kestrava::cli
