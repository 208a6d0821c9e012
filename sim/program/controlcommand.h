#pragma once

#include "sim/program/controlanswer.h"
#include "sim/program/controlwords.h"
#include "sim/world/simtime.h"

#include <QList>
#include <QStringList>

#include <functional>
#include <optional>

namespace kestrava::sim {

class SimBus;
class SimClock;
class SimModule;

// What the control commands can do to the line itself and to the program.
struct LineActions
{
    std::function<bool()> drop;                         // false when already dropped
    std::function<bool(QString &pathOrError)> restore;  // a fresh line, or why not
    std::function<void()> quit;
};

// One command line being carried out: what it acts on, and its words after the name.
struct ControlCall
{
    SimBus &bus;
    const LineActions &actions;
    std::optional<quint32> seed; // picks the candle's place in an arena the command loads
    SimClock &clock; // the time `now` was read from
    SimTime now;
    ControlWords words;

    SimModule &moduleAt(); // the module at the address that comes next
};

// One line of `help`: how the command is written, and what it does. A meaning of
// several lines has them apart with '\n'.
struct Usage
{
    const char *synopsis;
    const char *meaning;
};

// What a command does to the simulator, and so who may use it.
enum class Reach {
    Changes,      // changes the simulator's state
    Looks,        // shows state and changes nothing
    LooksInTrial, // shows state, and a judged trial's program may use it too
};

// A row of the control commands: its name, what carries it out, how it is written, its reach.
// A new command is one row in the table of its subject; its function makes the answer
// once, as prose (lines, result) and typed (values), and SimControl renders it as asked.
struct ControlCommand
{
    const char *name;
    ControlAnswer (*carryOut)(ControlCall &call); // its answer, or throws CommandError
    QList<Usage> usage;
    Reach reach = Reach::Changes;
};
using ControlCommands = QList<ControlCommand>;

// The commands by subject, each in the order `help` shows them.
const ControlCommands &registerCommands(); // the modules on the bus and their registers
const ControlCommands &faultCommands();    // faults of the modules and of the line; the end
const ControlCommands &sensorCommands();   // the display, the keypad and sensors set by hand
const ControlCommands &worldCommands();    // the world, the arena, the run and the clock

} // namespace kestrava::sim
