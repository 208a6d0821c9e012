#include "sensors.h"

#include "modulecontext.h"

namespace kestrava {

void installSensors(const ModuleContext &)
{
}

} // namespace kestrava
