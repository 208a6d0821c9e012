#include "simtpa81.h"

#include <QRandomGenerator>

#include <algorithm>

namespace kestrava::sim {

SimTpa81::SimTpa81()
{
    setAmbient(22);
    for (int pixel = 0; pixel < Pixels; ++pixel)
        setPixel(pixel, quint8(21 + pixel % 4));
}

quint8 SimTpa81::peek(quint8 reg, SimTime now) const
{
    return reg == 0 ? SoftwareVersion : SimModule::peek(reg, now);
}

quint8 SimTpa81::readRegister(quint8 reg, SimTime now)
{
    const quint8 value = peek(reg, now);
    if (!m_noise || reg < 1 || reg > 1 + Pixels)
        return value;
    const int wander = QRandomGenerator::global()->bounded(-1, 2);
    return quint8(std::clamp(value + wander, 0, 255));
}

QStringList SimTpa81::describe(SimTime) const
{
    QStringList pixels;
    for (int pixel = 0; pixel < Pixels; ++pixel)
        pixels << QString::number(stored(quint8(2 + pixel)));
    return {QStringLiteral("ambient %1, pixels %2, noise %3")
                .arg(stored(1)).arg(pixels.join(QLatin1Char(' ')), m_noise ? "on" : "off")};
}

} // namespace kestrava::sim
