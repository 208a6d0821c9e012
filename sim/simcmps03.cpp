#include "simcmps03.h"

#include "simbus.h"
#include "simmd23.h"

#include <cmath>

namespace kestrava::sim {

void SimCmps03::setBearing(double degrees, SimTime now)
{
    m_bearing = degrees;
    m_turnAtSetting = turnOfRobot(now);
}

double SimCmps03::turnOfRobot(SimTime now) const
{
    const auto *motors = bus() ? dynamic_cast<const SimMd23 *>(bus()->firstOfKind(QStringLiteral("md23"))) : nullptr;
    return motors ? motors->headingDegrees(now) : 0.0;
}

double SimCmps03::bearing(SimTime now) const
{
    const double degrees = std::fmod(m_bearing + turnOfRobot(now) - m_turnAtSetting, 360.0);
    return degrees < 0 ? degrees + 360.0 : degrees;
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
    return {QStringLiteral("bearing %1 degrees").arg(bearingWord(now) / 10.0, 0, 'f', 1)};
}

} // namespace kestrava::sim
