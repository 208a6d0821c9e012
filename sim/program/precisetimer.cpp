#include "sim/program/precisetimer.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cmath>

#ifdef Q_OS_LINUX
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace kestrava::sim {

PreciseTimer::PreciseTimer(QObject *parent)
    : QObject(parent)
{
#ifdef Q_OS_LINUX
    // The steady clock is CLOCK_MONOTONIC on Linux, so deadlines can be passed as they are.
    m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
#endif
    if (m_fd >= 0) {
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &PreciseTimer::fire);
        return;
    }
    m_fallback = new QTimer(this);
    m_fallback->setSingleShot(true);
    m_fallback->setTimerType(Qt::PreciseTimer);
    connect(m_fallback, &QTimer::timeout, this, &PreciseTimer::timeout);
}

PreciseTimer::~PreciseTimer()
{
    m_notifier.reset();
#ifdef Q_OS_LINUX
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

void PreciseTimer::startAt(SimTime deadline)
{
    if (m_fallback) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(deadline - simNow());
        m_fallback->start(std::max(wait, std::chrono::milliseconds(0)));
        return;
    }
#ifdef Q_OS_LINUX
    // A deadline already passed (or zero, which would disarm) fires at the next nanosecond.
    const qint64 ns = std::max<qint64>(deadline.count(), 1);
    itimerspec when{};
    when.it_value.tv_sec = time_t(ns / 1'000'000'000);
    when.it_value.tv_nsec = long(ns % 1'000'000'000);
    ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &when, nullptr);
#endif
}

void PreciseTimer::stop()
{
    if (m_fallback) {
        m_fallback->stop();
        return;
    }
#ifdef Q_OS_LINUX
    itimerspec never{};
    ::timerfd_settime(m_fd, 0, &never, nullptr);
#endif
}

void PreciseTimer::fire()
{
#ifdef Q_OS_LINUX
    quint64 expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) != sizeof expirations)
        return; // disarmed or re-armed in the meantime
#endif
    emit timeout();
}

} // namespace kestrava::sim
