#pragma once

#include "link/reading.h"

namespace kestrava {

// CmdTPA81: the TPA81's version, ambient temperature and eight pixel temperatures,
// each register read on its own and handed over as it arrives (module "tpa81";
// fields version, ambient, and pixel with index 0 to 7).
Outcome readThermal(TransactionEngine &engine, const ReadingSink &sink);
// The same fields from one read of registers 0 to 9.
Outcome readThermalAtOnce(InStepLink &link, const ReadingSink &sink);

} // namespace kestrava
