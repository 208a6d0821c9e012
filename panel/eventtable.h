#pragma once

#include "panel/eventhandlers.h"

#include <QStringList>

#include <variant>

class QWidget;

namespace kestrava {

class EventGate;

enum class ControlEvent { Click, Change, MouseDown, MouseMove, MouseUp, LostFocus };

// One row of the event table: which event of which control (or of every element
// of a control array) runs which handler. A mouse event takes a handler of the
// mouse arguments, an array's event one of the element's index.
struct EventRow
{
    using Plain = void (EventHandlers::*)();
    using Indexed = void (EventHandlers::*)(qint16 index);
    using Mouse = void (EventHandlers::*)(const MouseArgs &mouse);
    using Handler = std::variant<Plain, Indexed, Mouse>;

    const char *control;
    ControlEvent event;
    Handler handler;
    // An event deferred behind a running operation replaces the latest deferred
    // event of its row instead of queueing (drive-pad moves).
    bool mergesDeferred = false;
};

// Connects every row to its handler through the gate. Returns what could not be
// wired (a control missing from the layout, or an array row on a single control
// and the other way round): such a control stays dead, and the window says so.
QStringList wireEventTable(QWidget &window, EventHandlers &handlers, EventGate &gate);

} // namespace kestrava
