#pragma once

namespace kestrava {
struct ModuleContext;

// The MD23 frame: setting buttons, timed moves, telemetry and the drive pad.
// Image1_MouseUp may be run at any time, also for a drag that ended without a
// release reaching the pad (window closed, grab lost): it always sends both stops.
void installDrive(const ModuleContext &context);

} // namespace kestrava
