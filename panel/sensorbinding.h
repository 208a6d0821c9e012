#pragma once

namespace kestrava {
struct ModuleContext;

// CmdBrujula, CmdTPA81 and CmdDistancia: the sensors' sequences shown in the window.
void installSensors(const ModuleContext &context);

} // namespace kestrava
