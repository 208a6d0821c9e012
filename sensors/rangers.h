#pragma once

#include "link/reading.h"

namespace kestrava {

// Ranger i (0 to 4) sits at bus address 0xE0 + 2i.
quint8 rangerAddress(int index);
// Registers 2 (high) and 3 (low) hold the last range.
quint16 rangeFromBytes(quint8 high, quint8 low);

// CmdDistancia: the five SRF02s measure one after another, each range handed
// over once read (module "srf02", field range, index 0 to 4, in cm).
Outcome readRanges(TransactionEngine &engine, const ReadingSink &sink);
// The same over a link kept in step: a ranger whose command went unanswered is
// not read, and the line must stay quiet while it measures.
Outcome readRangesInStep(InStepLink &link, const ReadingSink &sink);
// The five fired one after another, then read once the measuring time has passed:
// about a quarter of the time, but rangers that hear each other's ping (facing the
// same way, close together) can take another's echo for their own.
Outcome readRangesTogether(InStepLink &link, const ReadingSink &sink);

} // namespace kestrava
