#include "actuators/relays.h"

#include "link/frames.h"

namespace kestrava {

namespace {
bool isRelayIndex(int index)
{
    return index >= 0 && index < rly08::RelayCount;
}
} // namespace

quint8 withRelayOn(quint8 pattern, int index)
{
    return isRelayIndex(index) ? quint8(pattern | (1u << index)) : pattern;
}

quint8 withRelayOff(quint8 pattern, int index)
{
    return isRelayIndex(index) ? quint8(pattern & ~(1u << index)) : pattern;
}

QByteArray relayPatternFrame(quint8 pattern)
{
    return registerWriteFrame(rly08::Address, rly08::States, pattern);
}

Outcome writeRelays(TransactionEngine &engine, quint8 pattern)
{
    return engine.transact(relayPatternFrame(pattern), 1);
}

} // namespace kestrava
