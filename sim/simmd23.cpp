#include "simmd23.h"

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

int SimMd23::wheelSpeed1() const
{
    const bool signedValues = stored(Mode) & 1;
    const int a = signedValues ? qint8(stored(Speed1)) : stored(Speed1) - 128;
    const int b = signedValues ? qint8(stored(Speed2Turn)) : stored(Speed2Turn) - 128;
    return (stored(Mode) & 2) ? std::clamp(a + b, -128, 127) : a;
}

int SimMd23::wheelSpeed2() const
{
    const bool signedValues = stored(Mode) & 1;
    const int a = signedValues ? qint8(stored(Speed1)) : stored(Speed1) - 128;
    const int b = signedValues ? qint8(stored(Speed2Turn)) : stored(Speed2Turn) - 128;
    return (stored(Mode) & 2) ? std::clamp(a - b, -128, 127) : b;
}

SimMd23::Motion SimMd23::motionAt(SimTime now) const
{
    Motion motion = m_motion;
    if (!m_started || now <= m_motionSince)
        return motion;
    const double span = seconds(now - m_motionSince);
    const int v1 = wheelSpeed1(), v2 = wheelSpeed2();
    motion.encoder1 += v1 * CountsPerSecondPerStep * span;
    motion.encoder2 += v2 * CountsPerSecondPerStep * span;
    motion.heading += (v1 - v2) * DegreesPerSecondPerStep * span;
    return motion;
}

void SimMd23::settle(SimTime now)
{
    m_motion = motionAt(now);
    m_motionSince = std::max(now, m_motionSince);
    m_started = true;
}

quint8 SimMd23::peek(quint8 reg, SimTime now) const
{
    const int load = std::abs(wheelSpeed1()) + std::abs(wheelSpeed2());
    switch (reg) {
    case Encoder1: case Encoder1 + 1: case Encoder1 + 2: case Encoder1 + 3:
        return countByte(quint32(encoder1(now)), reg - Encoder1);
    case Encoder2: case Encoder2 + 1: case Encoder2 + 2: case Encoder2 + 3:
        return countByte(quint32(encoder2(now)), reg - Encoder2);
    case Battery:
        return quint8(IdleBattery - std::lround(6.0 * load / 256));
    case Current1:
        return quint8(std::lround(std::abs(wheelSpeed1()) * 20.0 / 128));
    case Current2:
        return quint8(std::lround(std::abs(wheelSpeed2()) * 20.0 / 128));
    case Version:
        return SoftwareVersion;
    default:
        return SimModule::peek(reg, now);
    }
}

quint8 SimMd23::readRegister(quint8 reg, SimTime now)
{
    if (reg == Encoder1)
        m_latched1 = quint32(encoder1(now));
    if (reg == Encoder2)
        m_latched2 = quint32(encoder2(now));
    if (reg >= Encoder1 && reg < Encoder1 + 4)
        return countByte(m_latched1, reg - Encoder1);
    if (reg >= Encoder2 && reg < Encoder2 + 4)
        return countByte(m_latched2, reg - Encoder2);
    return peek(reg, now);
}

void SimMd23::writeRegister(quint8 reg, quint8 value, SimTime now)
{
    switch (reg) {
    case Speed1: case Speed2Turn: case Mode:
        settle(now); // the old speeds hold until this moment
        SimModule::writeRegister(reg, value, now);
        return;
    case Acceleration:
        SimModule::writeRegister(reg, value, now);
        return;
    case Command:
        SimModule::writeRegister(reg, value, now);
        runCommand(value, now);
        return;
    default:
        return; // read-only registers keep what the controller puts there
    }
}

void SimMd23::runCommand(quint8 command, SimTime now)
{
    switch (command) {
    case 0x20:
        settle(now);
        m_motion.encoder1 = m_motion.encoder2 = 0;
        break;
    case 0x30: m_regulation = false; break;
    case 0x31: m_regulation = true; break;
    case 0x32: m_autoStop = false; break;
    case 0x33: m_autoStop = true; break;
    default: break;
    }
}

QStringList SimMd23::describe(SimTime now) const
{
    return {QStringLiteral("mode %1, acceleration %2, regulation %3, auto-stop %4")
                .arg(stored(Mode)).arg(stored(Acceleration))
                .arg(m_regulation ? "on" : "off", m_autoStop ? "on" : "off"),
            QStringLiteral("wheel speeds %1 %2, encoders %3 %4, heading %5 degrees")
                .arg(wheelSpeed1()).arg(wheelSpeed2()).arg(encoder1(now)).arg(encoder2(now))
                .arg(headingDegrees(now), 0, 'f', 1)};
}

} // namespace kestrava::sim
