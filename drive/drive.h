#pragma once

namespace kestrava {
struct ModuleContext;

// Creates the MD23 code (command buttons, timed moves, telemetry, drive pad) and
// registers its handlers.
void installDrive(const ModuleContext &context);
} // namespace kestrava
