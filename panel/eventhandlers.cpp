#include "panel/eventhandlers.h"

namespace kestrava {
namespace {

EventGate::Operation bind(const EventHandlers::Handler &handler, qint16 index, const MouseArgs &mouse)
{
    if (const auto *plain = std::get_if<EventHandlers::Plain>(&handler))
        return *plain;
    if (const auto *indexed = std::get_if<EventHandlers::Indexed>(&handler))
        return [call = *indexed, index] { call(index); };
    return [call = std::get<EventHandlers::Mouse>(handler), mouse] { call(mouse); };
}

} // namespace

bool EventHandlers::fire(EventGate &gate, const QString &name, qint16 index, const MouseArgs &mouse) const
{
    const Entry *entry = find(name);
    if (!entry)
        return false;
    EventGate::Operation operation = bind(entry->handler, index, mouse);
    if (entry->deferral == Deferral::MergeWithLatest)
        gate.runMerging(name, std::move(operation)); // deferred events merge by handler name
    else
        gate.run(std::move(operation));
    return true;
}

} // namespace kestrava
