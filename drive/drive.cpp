#include "drive.h"

#include "commandbuttons.h"
#include "drivepad.h"
#include "telemetry.h"

namespace kestrava {

void installDrive(const ModuleContext &context)
{
    installCommandButtons(context);
    installTelemetry(context);
    installDrivePad(context);
}

} // namespace kestrava
