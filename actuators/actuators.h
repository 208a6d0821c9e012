#pragma once

namespace kestrava {
struct ModuleContext;

// Creates the SD21, RLY08 and LCD03 code and registers its handlers.
void installActuators(const ModuleContext &context);
} // namespace kestrava
