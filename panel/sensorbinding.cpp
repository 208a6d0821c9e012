#include "panel/sensorbinding.h"

#include "sensors/compass.h"
#include "panel/modulecontext.h"
#include "sensors/rangers.h"
#include "panel/readingbinding.h"
#include "sensors/thermalarray.h"

namespace kestrava {

void installSensors(const ModuleContext &context)
{
    addReadingHandler(context, QStringLiteral("CmdBrujula_Click"), readCompass);
    addReadingHandler(context, QStringLiteral("CmdTPA81_Click"), readThermal);
    addReadingHandler(context, QStringLiteral("CmdDistancia_Click"), readRanges);
}

} // namespace kestrava
