// Faults of a module and of the line, set by hand for a test; and the end of the simulator.
#include "sim/program/controlcommand.h"

#include "sim/modules/simmodule.h"

namespace kestrava::sim {

namespace {

constexpr int MaxDelayMs = 60'000;

ControlAnswer silence(ControlCall &call)
{
    SimModule &module = call.moduleAt();
    module.faults.silent = call.words.onOff(true);
    call.words.noMore();
    return ok();
}

ControlAnswer delay(ControlCall &call)
{
    SimModule &module = call.moduleAt();
    module.faults.delay = std::chrono::milliseconds(call.words.number("delay", MaxDelayMs));
    call.words.noMore();
    return ok();
}

ControlAnswer garbage(ControlCall &call)
{
    SimModule &module = call.moduleAt();
    module.faults.garbageBeforeNext = call.words.bytes();
    return ok();
}

ControlAnswer extra(ControlCall &call)
{
    SimModule &module = call.moduleAt();
    module.faults.extraAfterNext = call.words.bytes();
    return ok();
}

ControlAnswer drop(ControlCall &call)
{
    call.words.noMore();
    if (!call.actions.drop || !call.actions.drop())
        refuse(QStringLiteral("the line is already dropped"));
    return ok();
}

ControlAnswer restore(ControlCall &call)
{
    call.words.noMore();
    QString pathOrError = QStringLiteral("no line to restore");
    if (!call.actions.restore || !call.actions.restore(pathOrError))
        refuse(pathOrError);
    return ok(pathOrError, {{"device", pathOrError}});
}

ControlAnswer quit(ControlCall &call)
{
    call.words.noMore();
    if (call.actions.quit)
        call.actions.quit();
    return ok();
}

} // namespace

const ControlCommands &faultCommands()
{
    static const ControlCommands commands{
        {"silence", silence, {{"silence ADDR [on|off]", "the module answers nothing (on by default)"}}},
        {"delay", delay, {{"delay ADDR MS", "every answer of the module comes MS ms late (0 ends)"}}},
        {"garbage", garbage, {{"garbage ADDR BYTE...", "send these bytes before the module's next answer"}}},
        {"extra", extra, {{"extra ADDR BYTE...", "send these bytes after the module's next answer"}}},
        {"drop", drop, {{"drop", "unplug the adapter: the device disappears"}}},
        {"restore", restore, {{"restore", "plug a fresh adapter in: ok <new device path>"}}},
        {"quit", quit, {{"quit", "end the simulator"}}},
    };
    return commands;
}

} // namespace kestrava::sim
