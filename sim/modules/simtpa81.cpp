#include "sim/modules/simtpa81.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace kestrava::sim {

namespace {
constexpr quint8 AmbientRegister = 1;
constexpr quint8 FirstPixel = 2;
constexpr double SensorForwardCm = 12; // at the robot's front, looking ahead
} // namespace

SimTpa81::SimTpa81()
{
    // What a sensor on a bench without a world reads.
    poke(AmbientRegister, 22);
    for (int pixel = 0; pixel < Pixels; ++pixel)
        poke(quint8(FirstPixel + pixel), quint8(21 + pixel % 4));
}

void SimTpa81::hold()
{
    if (!handSet()) { // what is not set by hand keeps what it reads now
        for (quint8 reg = AmbientRegister; reg < FirstPixel + Pixels; ++reg)
            poke(reg, temperature(reg));
    }
    m_hold.hold(world());
}

void SimTpa81::setAmbient(quint8 degrees)
{
    hold();
    poke(AmbientRegister, degrees);
}

void SimTpa81::setPixel(int pixel, quint8 degrees)
{
    hold();
    poke(quint8(FirstPixel + pixel), degrees);
}

bool SimTpa81::handSet() const
{
    return m_hold.holds(world());
}

quint8 SimTpa81::temperature(quint8 reg) const
{
    const World *arena = world();
    if (!arena || handSet())
        return stored(reg);
    if (reg == AmbientRegister || !arena->candleLit()) // a candle put out is as warm as the room
        return quint8(World::AmbientCelsius);
    const geometry::Pose robot = arena->pose();
    const geometry::Point eye = geometry::onRobot(robot, 0, SensorForwardCm);
    const auto pixels = geometry::thermalPixels({eye.x, eye.y, robot.heading}, arena->warmObject(),
                                                World::AmbientCelsius, World::ThermalFieldDegrees,
                                                arena->segments());
    return quint8(std::clamp(std::lround(pixels[std::size_t(reg - FirstPixel)]), 0L, 255L));
}

quint8 SimTpa81::peek(quint8 reg, SimTime now) const
{
    if (reg == 0)
        return SoftwareVersion;
    if (reg >= AmbientRegister && reg < FirstPixel + Pixels)
        return temperature(reg);
    return SimModule::peek(reg, now);
}

quint8 SimTpa81::readRegister(quint8 reg, SimTime now)
{
    const quint8 value = peek(reg, now);
    if (!m_noise || reg < AmbientRegister || reg >= FirstPixel + Pixels)
        return value;
    const int wander = m_wander.bounded(-1, 2);
    return quint8(std::clamp(value + wander, 0, 255));
}

QStringList SimTpa81::describe(SimTime) const
{
    QStringList pixels;
    for (int pixel = 0; pixel < Pixels; ++pixel)
        pixels << QString::number(temperature(quint8(FirstPixel + pixel)));
    return {QStringLiteral("ambient %1, pixels %2, noise %3%4")
                .arg(temperature(AmbientRegister))
                .arg(pixels.join(QLatin1Char(' ')), m_noise ? "on" : "off",
                     handSet() ? QStringLiteral(", set by hand") : QString())};
}

} // namespace kestrava::sim
