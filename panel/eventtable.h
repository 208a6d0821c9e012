#pragma once

#include "panel/eventhandlers.h"
#include "panel/panelcontrols.h"

#include <variant>

namespace kestrava {

class EventGate;

enum class ControlEvent { Click, Change, MouseDown, MouseMove, MouseUp, LostFocus };

// One row of the event table: which event of which control (or of every element
// of a control array) runs which handler. The control is a member of the
// layout's PanelControls and the handler one of EventHandlers, so that a row
// naming either wrongly fails the build; so does a row whose event the control
// does not raise, or whose handler does not take what the event delivers (an
// array's event the element's index, a mouse event the mouse arguments).
struct EventRow
{
    using Plain = void (EventHandlers::*)();
    using Indexed = void (EventHandlers::*)(qint16 index);
    using Mouse = void (EventHandlers::*)(const MouseArgs &mouse);
    using Handler = std::variant<Plain, Indexed, Mouse>;

    using Button = Control<QPushButton> PanelControls::*;
    using Buttons = ControlArray<QPushButton> PanelControls::*;
    using Bar = Control<QScrollBar> PanelControls::*;
    using Bars = ControlArray<QScrollBar> PanelControls::*;
    using Combo = Control<PortCombo> PanelControls::*;
    using Pad = Control<PadImage> PanelControls::*;
    using Source = std::variant<Button, Buttons, Bar, Bars, Combo, Pad>;

    Source control;
    ControlEvent event;
    Handler handler;
    // An event deferred behind a running operation replaces the latest deferred
    // event of its row instead of queueing (drive-pad moves).
    bool mergesDeferred = false;
};

// Connects every row to its handler through the gate.
void wireEventTable(const PanelControls &controls, EventHandlers &handlers, EventGate &gate);

} // namespace kestrava
