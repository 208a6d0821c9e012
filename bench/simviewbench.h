#pragma once

namespace kestrava::bench {

// The robot view's cost: the wire timing of kestrava-sim with and without its view
// while the robot drives and a servo swings, and the simulator's CPU share then and
// with nothing happening. Prints the headless and the view figures side by side.
void measureRobotView();

} // namespace kestrava::bench
