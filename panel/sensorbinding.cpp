#include "sensorbinding.h"

#include "compass.h"
#include "modulecontext.h"
#include "rangers.h"
#include "readingbinding.h"
#include "thermalarray.h"

namespace kestrava {

void installSensors(const ModuleContext &context)
{
    addReadingHandler(context, QStringLiteral("CmdBrujula_Click"), readCompass);
    addReadingHandler(context, QStringLiteral("CmdTPA81_Click"), readThermal);
    addReadingHandler(context, QStringLiteral("CmdDistancia_Click"), readRanges);
}

} // namespace kestrava
