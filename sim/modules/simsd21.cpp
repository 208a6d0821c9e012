#include "sim/modules/simsd21.h"

#include "sim/world/geometry.h"

#include <algorithm>

namespace kestrava::sim {

namespace {
constexpr quint16 CentrePulse = 1500;
} // namespace

SimSd21::SimSd21()
{
    for (int servo = 0; servo < Servos; ++servo) {
        poke(quint8(3 * servo + 1), CentrePulse & 0xFF);
        poke(quint8(3 * servo + 2), CentrePulse >> 8);
    }
    m_pulses.fill(CentrePulse);
}

quint16 SimSd21::position(int servo) const
{
    return quint16(stored(quint8(3 * servo + 1)) | stored(quint8(3 * servo + 2)) << 8);
}

double SimSd21::pulseAt(int servo, SimTime now) const
{
    const std::size_t index = std::size_t(servo);
    const double elapsed = std::chrono::duration<double>(std::max(now - m_since[index], SimTime{})).count();
    return geometry::pulseAfter(m_pulses[index], position(servo), speed(servo), elapsed);
}

double SimSd21::hornDegrees(int servo, SimTime now) const
{
    return geometry::hornDegrees(pulseAt(servo, now));
}

bool SimSd21::moving(SimTime now) const
{
    for (int servo = 0; servo < Servos; ++servo) {
        if (pulseAt(servo, now) != position(servo))
            return true;
    }
    return false;
}

quint8 SimSd21::peek(quint8 reg, SimTime now) const
{
    if (reg == VersionRegister)
        return SoftwareVersion;
    return reg < RegisterCount ? SimModule::peek(reg, now) : 0;
}

void SimSd21::writeRegister(quint8 reg, quint8 value, SimTime now)
{
    if (reg >= RegisterCount)
        return;
    // The pulse goes on from where it has got to, towards the new target or at the new speed.
    const int servo = reg / 3;
    m_pulses[std::size_t(servo)] = pulseAt(servo, now);
    m_since[std::size_t(servo)] = now;
    SimModule::writeRegister(reg, value, now);
}

QStringList SimSd21::describe(SimTime now) const
{
    QStringList positions;
    QStringList horns;
    for (int servo = 0; servo < Servos; ++servo) {
        positions << QString::number(position(servo));
        horns << QString::number(hornDegrees(servo, now), 'f', 0);
    }
    return {QStringLiteral("positions %1").arg(positions.join(QLatin1Char(' '))),
            QStringLiteral("horns at %1 degrees").arg(horns.join(QLatin1Char(' '))),
            QStringLiteral("speed of servo 1: %1").arg(speed(0))};
}

} // namespace kestrava::sim
