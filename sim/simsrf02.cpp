#include "simsrf02.h"

#include <cmath>

namespace kestrava::sim {

namespace {
constexpr quint8 AddressSequence[] = {0xA0, 0xAA, 0xA5};
constexpr quint8 LowestAddress = 0xE0;
} // namespace

SimSrf02::SimSrf02(quint16 distanceCm)
    : m_distanceCm(distanceCm)
{
}

quint16 SimSrf02::result(SimTime now) const
{
    return m_pending && now >= m_readyAt ? m_measuring : m_previous;
}

bool SimSrf02::measuring(SimTime now) const
{
    return m_pending && now < m_readyAt;
}

quint8 SimSrf02::peek(quint8 reg, SimTime now) const
{
    if (measuring(now))
        return 0xFF; // a ranger busy measuring answers nothing but 255
    switch (reg) {
    case 0: return SoftwareVersion;
    case 1: return 0x80;
    case 2: return quint8(result(now) >> 8);
    case 3: return quint8(result(now) & 0xFF);
    default: return SimModule::peek(reg, now);
    }
}

void SimSrf02::writeRegister(quint8 reg, quint8 value, SimTime now)
{
    if (reg != 0)
        return;
    if (takeAddressChangeStep(value))
        return;
    if (value < 0x50 || value > 0x52)
        return;
    m_previous = result(now);
    m_measuring = measure(value);
    m_readyAt = now + RangingTime;
    m_pending = true;
}

bool SimSrf02::takeAddressChangeStep(quint8 value)
{
    if (m_addressStep == 3) {
        m_addressStep = 0;
        if (value >= LowestAddress && !(value & 1))
            requestAddress(value);
        return true;
    }
    if (value == AddressSequence[m_addressStep]) {
        ++m_addressStep;
        return true;
    }
    m_addressStep = value == AddressSequence[0] ? 1 : 0;
    return m_addressStep == 1;
}

quint16 SimSrf02::measure(quint8 command) const
{
    switch (command) {
    case 0x50: return quint16(std::lround(m_distanceCm / 2.54));
    case 0x52: return quint16(std::min<long>(std::lround(m_distanceCm * 58.0), 0xFFFF));
    default: return m_distanceCm;
    }
}

QStringList SimSrf02::describe(SimTime now) const
{
    return {QStringLiteral("distance %1 cm, last result %2%3")
                .arg(m_distanceCm)
                .arg(result(now))
                .arg(measuring(now) ? QStringLiteral(", measuring") : QString())};
}

} // namespace kestrava::sim
