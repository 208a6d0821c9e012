#include "sim/modules/simcmps03.h"

#include <cmath>

namespace kestrava::sim {

double SimCmps03::heading() const
{
    const World *arena = world();
    return arena ? arena->pose().heading : 0.0;
}

void SimCmps03::setBearing(double degrees, SimTime)
{
    m_error = degrees - heading();
    m_hold.hold(world());
}

bool SimCmps03::handSet() const
{
    return m_hold.holds(world());
}

double SimCmps03::bearing(SimTime) const
{
    return geometry::normalizedDegrees(heading() + (handSet() ? m_error : 0.0));
}

quint16 SimCmps03::bearingWord(SimTime now) const
{
    return quint16(std::lround(bearing(now) * 10) % 3600);
}

quint8 SimCmps03::peek(quint8 reg, SimTime now) const
{
    switch (reg) {
    case 0: return SoftwareVersion;
    case 1: return quint8(std::lround(bearing(now) * 256 / 360) % 256);
    case 2: return quint8(bearingWord(now) >> 8);
    case 3: return quint8(bearingWord(now) & 0xFF);
    default: return SimModule::peek(reg, now);
    }
}

QStringList SimCmps03::describe(SimTime now) const
{
    return {QStringLiteral("bearing %1 degrees%2")
                .arg(bearingWord(now) / 10.0, 0, 'f', 1)
                .arg(handSet() ? QStringLiteral(" (set by hand)") : QString())};
}

} // namespace kestrava::sim
