#pragma once

namespace kestrava {
struct ModuleContext;

// The SD21, RLY08 and LCD03 frames: scroll bars, relay buttons, display and keypad.
void installActuators(const ModuleContext &context);

} // namespace kestrava
