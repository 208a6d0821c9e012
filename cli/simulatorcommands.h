#pragma once

#include "cli/executor.h"
#include "cli/output.h"

#include <QTextStream>

namespace kestrava::launcher {
class SimulatedBus;
}

namespace kestrava::cli {

// The simulator behind the device: the one this program started, else the one whose
// control socket sits beside the device; none on an adapter.
Executor::SimulatorCommands simulatorAt(launcher::SimulatedBus *started, const QString &device);

// kestrava-cli sim: passes one control command on and prints the simulator's answer as it
// came, its prose, or with --json its one JSON line. Returns the exit status.
int passControlCommand(const Executor::SimulatorCommands &commands, const QString &device, const QString &line,
                       Format format, QTextStream &out, QTextStream &err);

} // namespace kestrava::cli
