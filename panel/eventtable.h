#pragma once

#include <QString>

#include <vector>

class QWidget;

namespace kestrava {

class EventGate;
class EventHandlers;

enum class ControlEvent { Click, Change, MouseDown, MouseMove, MouseUp, LostFocus };

// One row of the event table: which event of which control (or of every element
// of a control array) runs the handler of which name.
struct EventRow
{
    QString control;
    ControlEvent event;
    QString handler;
};

const std::vector<EventRow> &eventTable();

// Connects every row to the handler registered under its name, through the gate.
// A row with no control, no handler or a handler of the wrong kind ends the
// program at once. Returns the handler names wired (once per control element).
QStringList wireEventTable(QWidget &window, const EventHandlers &handlers, EventGate &gate);

} // namespace kestrava
