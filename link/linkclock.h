#pragma once

#include <chrono>

namespace kestrava {

// The time the robot's modules live in, as the command line and the server reckon it: the
// steady clock for a robot (and a simulator in real time), or a simulator's stepped clock,
// which stands still until the program lets it go on. Every wait between frames that is a
// module's own time (a ranger's measuring, a timed drive, a period) goes through it, so that
// on a stepped link nothing of the robot's time passes in real time while the program thinks.
class LinkClock
{
public:
    using Time = std::chrono::nanoseconds;

    virtual ~LinkClock() = default;

    virtual bool stepped() const { return false; }
    virtual Time now() const
    {
        return std::chrono::duration_cast<Time>(std::chrono::steady_clock::now().time_since_epoch());
    }
    // A stepped clock moves on by `span` at once, the simulator's world with it; false when
    // that clock could not be reached. A real clock is waited on in real time by whoever
    // waits, each in its own way (watching the line, or the event loop): false here.
    virtual bool advance(Time) { return false; }
};

// The clock of a link that is not a stepped simulator's.
LinkClock &realClock();

} // namespace kestrava
