#include "sensors.h"

#include "compass.h"
#include "modulecontext.h"
#include "rangers.h"
#include "thermalarray.h"

namespace kestrava {

void installSensors(const ModuleContext &context)
{
    // Parented to the window, so they live as long as it does.
    auto *compass = new Compass(context);
    auto *thermalArray = new ThermalArray(context);
    auto *rangers = new Rangers(context);
    context.handlers.add(QStringLiteral("CmdBrujula_Click"),
                         EventHandlers::Plain([compass] { compass->CmdBrujula_Click(); }));
    context.handlers.add(QStringLiteral("CmdTPA81_Click"),
                         EventHandlers::Plain([thermalArray] { thermalArray->CmdTPA81_Click(); }));
    context.handlers.add(QStringLiteral("CmdDistancia_Click"),
                         EventHandlers::Plain([rangers] { rangers->CmdDistancia_Click(); }));
}

} // namespace kestrava
