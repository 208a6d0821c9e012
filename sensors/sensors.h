#pragma once

namespace kestrava {
struct ModuleContext;

// Creates the CMPS03, TPA81 and SRF02 code and registers its handlers.
void installSensors(const ModuleContext &context);
} // namespace kestrava
