#pragma once

#include "sim/program/simprogram.h"

namespace kestrava::simview {

// `kestrava-sim --view`: the robot view beside the simulator.
const sim::SimulatorFrontEnd &robotViewFrontEnd();

} // namespace kestrava::simview
