#include "panel/eventhandlers.h"

#include "panel/readingbinding.h"
#include "sensors/compass.h"
#include "sensors/rangers.h"
#include "sensors/thermalarray.h"

namespace kestrava {

void EventHandlers::CmdBrujula_Click()
{
    showSequence(readCompass);
}

void EventHandlers::CmdTPA81_Click()
{
    showSequence(readThermal);
}

void EventHandlers::CmdDistancia_Click()
{
    showSequence(readRanges);
}

} // namespace kestrava
