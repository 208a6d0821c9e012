#pragma once

namespace kestrava::sim {

// kestrava-sim: a simulated USB-to-I2C adapter with the robot's modules behind it,
// on a pseudo-terminal, controlled by commands on standard input. Returns the exit code.
int runSimulator(int argc, char *argv[]);

} // namespace kestrava::sim
