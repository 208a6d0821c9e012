#include "sim/program/modulekinds.h"

#include "sim/program/simbus.h"
#include "sim/modules/simcmps03.h"
#include "sim/modules/simlcd03.h"
#include "sim/modules/simmd23.h"
#include "sim/modules/simrly08.h"
#include "sim/modules/simsd21.h"
#include "sim/modules/simsrf02.h"
#include "sim/modules/simtpa81.h"

#include <functional>

namespace kestrava::sim {

namespace {

struct Kind
{
    const char *name;
    std::function<std::unique_ptr<SimModule>()> make;
};

const Kind kinds[] = {
    {"generic", [] { return std::make_unique<GenericModule>(); }},
    {"md23", [] { return std::make_unique<SimMd23>(); }},
    {"sd21", [] { return std::make_unique<SimSd21>(); }},
    {"rly08", [] { return std::make_unique<SimRly08>(); }},
    {"lcd03", [] { return std::make_unique<SimLcd03>(); }},
    {"cmps03", [] { return std::make_unique<SimCmps03>(); }},
    {"tpa81", [] { return std::make_unique<SimTpa81>(); }},
    {"srf02", [] { return std::make_unique<SimSrf02>(); }},
};

} // namespace

QStringList moduleKinds()
{
    QStringList names;
    for (const Kind &kind : kinds)
        names << QLatin1String(kind.name);
    return names;
}

std::unique_ptr<SimModule> createModule(const QString &name)
{
    for (const Kind &kind : kinds) {
        if (name == QLatin1String(kind.name))
            return kind.make();
    }
    return nullptr;
}

void addRobot(SimBus &bus)
{
    bus.add(0xB0, std::make_unique<SimMd23>());
    bus.add(0xC2, std::make_unique<SimSd21>());
    bus.add(0x70, std::make_unique<SimRly08>());
    bus.add(0xC6, std::make_unique<SimLcd03>());
    bus.add(0xC0, std::make_unique<SimCmps03>());
    bus.add(0xD0, std::make_unique<SimTpa81>());
    // Each ranger has its place on the robot and measures the arena along its beam.
    for (quint8 address = 0xE0; address <= 0xE8; address += 2)
        bus.add(address, std::make_unique<SimSrf02>(100, mountForAddress(address)));
}

} // namespace kestrava::sim
