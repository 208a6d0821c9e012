#include "actuators.h"

#include "modulecontext.h"

namespace kestrava {

void installActuators(const ModuleContext &)
{
}

} // namespace kestrava
