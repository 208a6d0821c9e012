#pragma once

#include "sim/modules/simmodule.h"

#include <QStringList>

#include <memory>

namespace kestrava::sim {

class SimBus;

// "generic", "md23", "sd21", "rly08", "lcd03", "cmps03", "tpa81", "srf02".
QStringList moduleKinds();
// Null for an unknown kind.
std::unique_ptr<SimModule> createModule(const QString &kind);
// Every module of the robot at its usual address.
void addRobot(SimBus &bus);

} // namespace kestrava::sim
