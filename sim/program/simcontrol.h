#pragma once

#include "sim/program/controlcommand.h"
#include "sim/world/simclock.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kestrava::sim {

class SimBus;

// The line-based control interface of the simulator. Each command line gives back
// the lines to print, the last of which starts with "ok" or "error: ".
class SimControl
{
public:
    // `seed` picks the candle's place in an arena loaded by the `arena` command.
    SimControl(SimBus &bus, SimClock &clock, LineActions actions, std::optional<quint32> seed = std::nullopt);

    QStringList execute(const QString &line, SimTime now);
    // Now, on the simulator's clock.
    QStringList execute(const QString &line) { return execute(line, m_clock.now()); }

    static QString commandHelp();

private:
    QStringList carryOut(const ControlCommand &command, const QStringList &words, SimTime now);

    SimBus &m_bus;
    SimClock &m_clock;
    LineActions m_actions;
    std::optional<quint32> m_seed;
};

} // namespace kestrava::sim
