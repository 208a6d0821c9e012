#pragma once

#include "launcher/controlclient.h"
#include "link/linkclock.h"

#include <memory>

namespace kestrava::launcher {

// A stepped simulator's clock, read and moved on through its control socket (`clock`,
// `wait`): the link's clock when the simulator behind the device runs stepped.
class SimulatorClock : public LinkClock
{
public:
    // The clock of the simulator whose control socket is at `socketPath` when it is stepped;
    // none when it runs in real time or does not answer.
    static std::unique_ptr<SimulatorClock> ifStepped(const QString &socketPath);

    bool stepped() const override { return true; }
    // Its time; the last known when it cannot be asked (the simulator has gone).
    Time now() const override;
    bool advance(Time span) override;

private:
    SimulatorClock(const QString &socketPath, Time time);

    mutable ControlConnection m_connection;
    mutable Time m_known;
};

} // namespace kestrava::launcher
