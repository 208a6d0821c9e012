#include "sim/program/buslog.h"

#include <algorithm>

namespace kestrava::sim {

namespace {

constexpr SimTime OneSecond = std::chrono::seconds(1);
// Enough for a second of the fastest line the simulator serves, so that memory stays
// bounded even without wire-time emulation.
constexpr qsizetype MostCountedFrames = 100'000;

} // namespace

QString hexAddress(quint8 address)
{
    return QStringLiteral("%1").arg(address, 2, 16, QLatin1Char('0')).toUpper();
}

void BusLog::record(BusLogEntry entry)
{
    const SimTime at = entry.at;
    m_entries.push_back(std::move(entry));
    if (qsizetype(m_entries.size()) > Kept)
        m_entries.pop_front();
    m_lastSecond.push_back(at);
    while (!m_lastSecond.empty() && (m_lastSecond.front() <= at - OneSecond
                                     || qsizetype(m_lastSecond.size()) > MostCountedFrames))
        m_lastSecond.pop_front();
    ++m_total;
}

int BusLog::framesPerSecond(SimTime now) const
{
    return int(std::count_if(m_lastSecond.begin(), m_lastSecond.end(),
                             [&](SimTime at) { return at > now - OneSecond && at <= now; }));
}

} // namespace kestrava::sim
