#include "drive.h"

#include "modulecontext.h"

namespace kestrava {

void installDrive(const ModuleContext &)
{
}

} // namespace kestrava
