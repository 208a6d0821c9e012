#pragma once

namespace kestrava {
struct ModuleContext;

// Registers CmdDireccion_Click for the boxes TxtActDir and TxtNueDir.
void installAddressChange(const ModuleContext &context);

} // namespace kestrava
