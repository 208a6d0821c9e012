#pragma once

#include "link/reading.h"

namespace kestrava {
struct ModuleContext;

// The sink through which the window shows the sequences' readings: each in its
// caption (the bearing also as the needle on Picture1) at the moment it is
// complete, then passed on to the context's onShown with that caption in `shown`.
// Every caption it needs must exist.
ReadingSink showReadings(const ModuleContext &context);

} // namespace kestrava
