#pragma once

#include "link/reading.h"

namespace kestrava {
struct ModuleContext;
struct PanelControls;

// The sink through which the window shows the sequences' readings: each in its
// caption (the bearing also as the needle on Picture1) at the moment it is
// complete, then passed on to the context's onShown with that caption in `shown`.
ReadingSink showReadings(const ModuleContext &context, const PanelControls &controls);

} // namespace kestrava
