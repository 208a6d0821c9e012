#include "sim/modules/simmd23.h"

#include "sim/world/geometry.h"

#include <algorithm>
#include <cmath>

namespace kestrava::sim {

namespace {

quint8 countByte(quint32 count, int index) // index 0 is the most significant
{
    return quint8(count >> (8 * (3 - index)));
}

double seconds(SimTime span)
{
    return std::chrono::duration<double>(span).count();
}

} // namespace

SimMd23::SimMd23()
{
    poke(Speed1, 128);
    poke(Speed2Turn, 128);
    poke(Acceleration, 5);
}

std::array<int, 2> SimMd23::targetSpeeds() const
{
    return geometry::wheelTargets(stored(Mode), stored(Speed1), stored(Speed2Turn));
}

quint8 SimMd23::batteryTenths() const
{
    const int load = std::abs(m_wheels[0]) + std::abs(m_wheels[1]);
    return quint8(IdleBattery - std::lround(6.0 * load / 256));
}

quint8 SimMd23::currentTenths(int wheel) const
{
    return quint8(std::lround(std::abs(m_wheels[std::size_t(wheel)]) * 20.0 / 128));
}

void SimMd23::run(SimTime span)
{
    for (std::size_t wheel = 0; wheel < 2; ++wheel)
        m_travel[wheel] += m_wheels[wheel] * span.count();
}

qint32 SimMd23::count(std::size_t wheel) const
{
    constexpr qint64 StepNanosecondsPerCount = qint64(1e9 / CountsPerSecondPerStep);
    return qint32(m_travel[wheel] / StepNanosecondsPerCount); // wraps as the controller's 32-bit count does
}

void SimMd23::tick(SimTime at)
{
    if (geometry::autoStopDue(m_autoStop, seconds(at - m_lastAccess), AutoStopSeconds)) {
        poke(Speed1, quint8(geometry::stopValue(mode())));
        poke(Speed2Turn, quint8(geometry::stopValue(mode())));
    }
    const std::array<int, 2> targets = targetSpeeds();
    for (std::size_t wheel = 0; wheel < 2; ++wheel)
        m_wheels[wheel] = geometry::rampToward(m_wheels[wheel], targets[wheel], acceleration());
}

bool SimMd23::atRest() const
{
    return m_wheels == std::array<int, 2>{} && targetSpeeds() == std::array<int, 2>{};
}

bool SimMd23::speedsAtStop() const
{
    const quint8 stop = quint8(geometry::stopValue(mode()));
    return stored(Speed1) == stop && stored(Speed2Turn) == stop;
}

quint8 SimMd23::peek(quint8 reg, SimTime now) const
{
    switch (reg) {
    case Encoder1: case Encoder1 + 1: case Encoder1 + 2: case Encoder1 + 3:
        return countByte(quint32(encoder1()), reg - Encoder1);
    case Encoder2: case Encoder2 + 1: case Encoder2 + 2: case Encoder2 + 3:
        return countByte(quint32(encoder2()), reg - Encoder2);
    case Battery:
        return batteryTenths();
    case Current1:
        return currentTenths(0);
    case Current2:
        return currentTenths(1);
    case Version:
        return SoftwareVersion;
    default:
        return SimModule::peek(reg, now);
    }
}

quint8 SimMd23::readRegister(quint8 reg, SimTime now)
{
    if (reg == Encoder1)
        m_latched1 = quint32(encoder1());
    if (reg == Encoder2)
        m_latched2 = quint32(encoder2());
    if (reg >= Encoder1 && reg < Encoder1 + 4)
        return countByte(m_latched1, reg - Encoder1);
    if (reg >= Encoder2 && reg < Encoder2 + 4)
        return countByte(m_latched2, reg - Encoder2);
    return peek(reg, now);
}

void SimMd23::writeRegister(quint8 reg, quint8 value, SimTime now)
{
    switch (reg) {
    case Speed1: case Speed2Turn: case Acceleration: case Mode:
        SimModule::writeRegister(reg, value, now);
        return;
    case Command:
        SimModule::writeRegister(reg, value, now);
        runCommand(value);
        return;
    default:
        return; // read-only registers keep what the controller puts there
    }
}

void SimMd23::runCommand(quint8 command)
{
    switch (command) {
    case 0x20: m_travel = {}; break;
    case 0x30: m_regulation = false; break;
    case 0x31: m_regulation = true; break;
    case 0x32: m_autoStop = false; break;
    case 0x33: m_autoStop = true; break;
    default: break;
    }
}

QStringList SimMd23::describe(SimTime) const
{
    const std::array<int, 2> targets = targetSpeeds();
    return {QStringLiteral("mode %1, acceleration %2, regulation %3, auto-stop %4")
                .arg(mode()).arg(acceleration())
                .arg(m_regulation ? "on" : "off", m_autoStop ? "on" : "off"),
            QStringLiteral("wheel speeds %1 %2 (aiming at %3 %4), encoders %5 %6")
                .arg(m_wheels[0]).arg(m_wheels[1]).arg(targets[0]).arg(targets[1])
                .arg(encoder1()).arg(encoder2())};
}

} // namespace kestrava::sim
