#include "simsd21.h"

namespace kestrava::sim {

SimSd21::SimSd21()
{
    for (int servo = 0; servo < Servos; ++servo) {
        poke(quint8(3 * servo + 1), 1500 & 0xFF);
        poke(quint8(3 * servo + 2), 1500 >> 8);
    }
}

quint16 SimSd21::position(int servo) const
{
    return quint16(stored(quint8(3 * servo + 1)) | stored(quint8(3 * servo + 2)) << 8);
}

quint8 SimSd21::peek(quint8 reg, SimTime now) const
{
    if (reg == VersionRegister)
        return SoftwareVersion;
    return reg < RegisterCount ? SimModule::peek(reg, now) : 0;
}

void SimSd21::writeRegister(quint8 reg, quint8 value, SimTime now)
{
    if (reg < RegisterCount)
        SimModule::writeRegister(reg, value, now);
}

QStringList SimSd21::describe(SimTime) const
{
    QStringList positions;
    for (int servo = 0; servo < Servos; ++servo)
        positions << QString::number(position(servo));
    return {QStringLiteral("positions %1").arg(positions.join(QLatin1Char(' '))),
            QStringLiteral("speed of servo 1: %1").arg(speed(0))};
}

} // namespace kestrava::sim
