#pragma once

#include <memory>

namespace kestrava {
class ControlPanel;
}

namespace kestrava::bench {

// Figures of the whole window, built in this process on the offscreen platform.
// Each opens its own panel on COM1, which the caller has pointed at a simulator.

// A shown window with its port (COM1) open; none, with a line saying so, when it cannot open.
std::unique_ptr<ControlPanel> openPanel();

// Wire-time emulation on: a drag of 1000 moves at 1 kHz over the drive pad.
void measureDrivePad();
// Wire-time emulation on: the keypad dialogue polling a keypad with no key held
// for 30 s, then cancelled by a second click.
void measureKeypadPolling();
// Resident memory after a warm-up and after 10,000 more mixed operations.
void measureMemory();
// CPU share of the idle window with its port open and Timer1 ticking.
void measureIdle();

} // namespace kestrava::bench
