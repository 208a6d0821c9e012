#include "sim/program/latencytimer.h"

namespace kestrava::sim {

void LatencyTimer::hold(const QByteArray &bytes, SimTime now)
{
    if (bytes.isEmpty())
        return;
    if (m_held.isEmpty())
        m_firstHeld = now;
    m_held += bytes;
}

QByteArray LatencyTimer::takeDue(SimTime now)
{
    if (m_held.isEmpty())
        return {};
    if (now >= m_firstHeld + m_timer)
        return std::exchange(m_held, {});
    // Full packets leave at once; the rest starts a fresh wait.
    const qsizetype full = m_held.size() / PacketPayload * PacketPayload;
    if (full == 0)
        return {};
    const QByteArray due = m_held.left(full);
    m_held.remove(0, full);
    if (!m_held.isEmpty())
        m_firstHeld = now;
    return due;
}

std::optional<SimTime> LatencyTimer::nextWake() const
{
    if (m_held.isEmpty())
        return std::nullopt;
    return m_firstHeld + m_timer;
}

} // namespace kestrava::sim
