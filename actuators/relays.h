#pragma once

#include "actuators/rly08.h"
#include "link/transactionengine.h"

#include <QByteArray>

namespace kestrava {

quint8 withRelayOn(quint8 pattern, int index);
quint8 withRelayOff(quint8 pattern, int index);
// The whole pattern to the relay states register.
QByteArray relayPatternFrame(quint8 pattern);
Outcome writeRelays(TransactionEngine &engine, quint8 pattern);

} // namespace kestrava
