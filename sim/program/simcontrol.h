#pragma once

#include "sim/program/controlcommand.h"
#include "sim/world/simclock.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kestrava::sim {

class SimBus;

// Who sends a command line: a judged trial's program may use only the rows that say so.
enum class Caller { Anyone, JudgedProgram };

// The line-based control interface of the simulator. Each command line gives back
// the lines to print: in prose, the last of which starts with "ok" or "error: "; after
// the word "json", one line with a JSON object (sim/program/controlanswer.h).
class SimControl
{
public:
    // `seed` picks the candle's place in an arena loaded by the `arena` command.
    SimControl(SimBus &bus, SimClock &clock, LineActions actions, std::optional<quint32> seed = std::nullopt);

    QStringList execute(const QString &line, SimTime now, Caller caller = Caller::Anyone);
    // Now, on the simulator's clock.
    QStringList execute(const QString &line, Caller caller = Caller::Anyone)
    {
        return execute(line, m_clock.now(), caller);
    }

    static QString commandHelp();

private:
    QStringList carryOut(const ControlCommand &command, const QStringList &words, SimTime now, AnswerForm form);

    SimBus &m_bus;
    SimClock &m_clock;
    LineActions m_actions;
    std::optional<quint32> m_seed;
};

} // namespace kestrava::sim
