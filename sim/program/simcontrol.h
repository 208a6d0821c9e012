#pragma once

#include "sim/world/simtime.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace kestrava::sim {

class SimBus;
class SimModule;

// What the control interface can do to the line itself.
struct LineActions
{
    std::function<bool()> drop;                         // false when already dropped
    std::function<bool(QString &pathOrError)> restore;  // a fresh line, or why not
    std::function<void()> quit;
};

// The line-based control interface of the simulator. Each command line gives back
// the lines to print, the last of which starts with "ok" or "error: ".
class SimControl
{
public:
    // `seed` picks the candle's place in an arena loaded by the `arena` command.
    SimControl(SimBus &bus, LineActions actions, std::optional<quint32> seed = std::nullopt);

    QStringList execute(const QString &line, SimTime now);

    static QString commandHelp();

private:
    using Args = QStringList;
    using Handler = QStringList (SimControl::*)(Args &args, SimTime now);
    struct Command
    {
        const char *name;
        Handler handler;
        bool onlyLooks = false; // shows state and changes nothing
    };
    static const Command commands[];

    QStringList help(Args &, SimTime);
    QStringList list(Args &, SimTime);
    QStringList add(Args &, SimTime);
    QStringList remove(Args &, SimTime);
    QStringList set(Args &, SimTime);
    QStringList write(Args &, SimTime);
    QStringList get(Args &, SimTime);
    QStringList silence(Args &, SimTime);
    QStringList delay(Args &, SimTime);
    QStringList garbage(Args &, SimTime);
    QStringList extra(Args &, SimTime);
    QStringList drop(Args &, SimTime);
    QStringList restore(Args &, SimTime);
    QStringList quit(Args &, SimTime);
    QStringList screen(Args &, SimTime);
    QStringList press(Args &, SimTime);
    QStringList release(Args &, SimTime);
    QStringList type(Args &, SimTime);
    QStringList bearing(Args &, SimTime);
    QStringList temp(Args &, SimTime);
    QStringList noise(Args &, SimTime);
    QStringList range(Args &, SimTime);
    QStringList pose(Args &, SimTime);
    QStringList start(Args &, SimTime);
    QStringList candle(Args &, SimTime);
    QStringList obstacle(Args &, SimTime);
    QStringList world(Args &, SimTime);
    QStringList arena(Args &, SimTime);
    QStringList run(Args &, SimTime);
    QStringList end(Args &, SimTime);
    QStringList path(Args &, SimTime);

    SimModule &moduleAt(Args &args);
    template<typename Kind>
    Kind &moduleOfKind(Args &args);

    SimBus &m_bus;
    LineActions m_actions;
    std::optional<quint32> m_seed;
};

} // namespace kestrava::sim
