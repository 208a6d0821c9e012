#pragma once

#include "link/reading.h"

namespace kestrava {
struct ModuleContext;

// The sink through which the window shows the sequences' readings: each in its
// caption (or the needle on Picture1) at the moment it is complete, then passed
// on to the context's onShown. Every caption it needs must exist.
ReadingSink showReadings(const ModuleContext &context);

} // namespace kestrava
