#pragma once

#include "link/reading.h"

namespace kestrava {

// CmdBrujula: the compass's version and its bearing in tenths of a degree, one
// register at a time (module "cmps03"; fields version, bearing).
Outcome readCompass(TransactionEngine &engine, const ReadingSink &sink);
// The same from one read of registers 0 to 3.
Outcome readCompassAtOnce(InStepLink &link, const ReadingSink &sink);

} // namespace kestrava
