#include "sim/modules/simrly08.h"

namespace kestrava::sim {

quint8 SimRly08::peek(quint8 reg, SimTime now) const
{
    return reg == CommandRegister ? SoftwareVersion : SimModule::peek(reg, now);
}

void SimRly08::writeRegister(quint8 reg, quint8 value, SimTime now)
{
    if (reg != CommandRegister) {
        SimModule::writeRegister(reg, value, now);
        return;
    }
    if (value == 100)
        poke(RelayRegister, 0xFF);
    else if (value == 110)
        poke(RelayRegister, 0x00);
    else if (value >= 101 && value <= 108)
        poke(RelayRegister, pattern() | quint8(1 << (value - 101)));
    else if (value >= 111 && value <= 118)
        poke(RelayRegister, pattern() & ~quint8(1 << (value - 111)));
}

QStringList SimRly08::describe(SimTime) const
{
    QString lamps;
    for (int relay = 0; relay < 8; ++relay)
        lamps += (pattern() >> relay) & 1 ? QLatin1Char('1') : QLatin1Char('0');
    return {QStringLiteral("relays 1-8: %1").arg(lamps)};
}

} // namespace kestrava::sim
