#include "cli/safety.h"

#include "cli/framing.h"

#include "drive/motion.h"

namespace kestrava::cli {

MotorSafety::MotorSafety(Motors &motors)
    : m_motors(motors)
{
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, &MotorSafety::watchdogExpired);
    m_timedStop.setSingleShot(true);
    connect(&m_timedStop, &QTimer::timeout, this, &MotorSafety::timedStop);
}

void MotorSafety::requestBegins()
{
    m_watchdog.stop();
    m_busy = true;
}

void MotorSafety::requestEnded()
{
    m_busy = false;
    if (m_stopDue && m_stopDue->hasExpired())
        timedStop();
    else if (m_motors.moving() && !m_stopDue && m_watchdogTime.count() > 0)
        m_watchdog.start(m_watchdogTime);
}

void MotorSafety::stopAfter(int milliseconds)
{
    m_stopDue = QDeadlineTimer(milliseconds);
    m_timedStop.start(milliseconds);
}

void MotorSafety::cancelTimedStop()
{
    m_timedStop.stop();
    m_stopDue.reset();
}

// The end of a drive that answered at once; while a request is carried out it waits
// for its end, so that the engine is never entered twice.
void MotorSafety::timedStop()
{
    if (m_busy || !m_stopDue)
        return;
    cancelTimedStop();
    if (m_motors.stop() != Outcome::Taken)
        logLine(QStringLiteral("the stop at the end of a timed drive went unanswered"));
    emit stoppedByItself();
}

void MotorSafety::watchdogExpired()
{
    if (m_busy || !m_motors.moving())
        return;
    const bool stopped = m_motors.stop() == Outcome::Taken;
    logLine(QStringLiteral("no request for %1 ms while the motors moved: %2")
                .arg(m_watchdogTime.count())
                .arg(stopped ? QStringLiteral("stopped them") : QStringLiteral("their stop went unanswered")));
    emit stoppedByItself();
}

void MotorSafety::disarm()
{
    m_watchdog.stop();
    cancelTimedStop();
}

void MotorSafety::stopIfMoving()
{
    if (m_motors.moving() && m_motors.stop() != Outcome::Taken)
        logLine(QStringLiteral("the motors' stop went unanswered"));
}

} // namespace kestrava::cli
