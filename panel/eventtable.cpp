#include "panel/eventtable.h"

#include "link/eventgate.h"
#include "panel/padimage.h"
#include "panel/portcombo.h"

#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

namespace kestrava {

namespace {

using E = ControlEvent;
using H = EventHandlers;
using C = PanelControls;

constexpr EventRow EventTable[] = {
    {&C::ComboCom, E::LostFocus, &H::ComboCom_LostFocus},
    {&C::CmdDireccion, E::Click, &H::CmdDireccion_Click},
    // MD23
    {&C::Command2, E::Click, &H::Command2_Click},
    {&C::Command3, E::Click, &H::Command3_Click},
    {&C::CmdStopOff, E::Click, &H::CmdStopOff_Click},
    {&C::CmdStopOn, E::Click, &H::CmdStopOn_Click},
    {&C::CmdAcel10, E::Click, &H::CmdAcel10_Click},
    {&C::CmdAcel5, E::Click, &H::CmdAcel5_Click},
    {&C::CmdAcel1, E::Click, &H::CmdAcel1_Click},
    {&C::CmdModo2, E::Click, &H::CmdModo2_Click},
    {&C::CmdModo0, E::Click, &H::CmdModo0_Click},
    {&C::CmdAutoOn, E::Click, &H::CmdAutoOn_Click},
    {&C::CmdAutoOff, E::Click, &H::CmdAutoOff_Click},
    {&C::CmdResetCounter, E::Click, &H::CmdResetCounter_Click},
    {&C::CmdAdelante1, E::Click, &H::CmdAdelante1_Click},
    {&C::CmdGiro, E::Click, &H::CmdGiro_Click},
    {&C::CmdLeerDatos, E::Click, &H::CmdLeerDatos_Click},
    {&C::Image1, E::MouseDown, &H::Image1_MouseDown},
    {&C::Image1, E::MouseMove, &H::Image1_MouseMove, true},
    {&C::Image1, E::MouseUp, &H::Image1_MouseUp},
    // SD21, RLY08, LCD03
    {&C::ServoScroll, E::Change, &H::ServoScroll_Change},
    {&C::VeloScroll, E::Change, &H::VeloScroll_Change},
    {&C::ReleOn, E::Click, &H::ReleOn_Click},
    {&C::ReleOff, E::Click, &H::ReleOff_Click},
    {&C::CmdTodoOn, E::Click, &H::CmdTodoOn_Click},
    {&C::CmdTodoOff, E::Click, &H::CmdTodoOff_Click},
    {&C::CmdLCD03_1, E::Click, &H::CmdLCD03_1_Click},
    {&C::CmdLCD03_2, E::Click, &H::CmdLCD03_2_Click},
    {&C::CmdLCD03_3, E::Click, &H::CmdLCD03_3_Click},
    {&C::CmdLCD03_4, E::Click, &H::CmdLCD03_4_Click},
    {&C::CmdLCD03_5, E::Click, &H::CmdLCD03_5_Click},
    {&C::CmdLCD03_6, E::Click, &H::CmdLCD03_6_Click},
    // Sensors
    {&C::CmdBrujula, E::Click, &H::CmdBrujula_Click},
    {&C::CmdTPA81, E::Click, &H::CmdTPA81_Click},
    {&C::CmdDistancia, E::Click, &H::CmdDistancia_Click},
};

template <class... Kinds>
constexpr bool isOneOf(const EventRow::Source &control)
{
    return (std::holds_alternative<Kinds>(control) || ...);
}

// The event each kind of control raises.
constexpr bool eventFits(const EventRow &row)
{
    switch (row.event) {
    case E::Click: return isOneOf<EventRow::Button, EventRow::Buttons>(row.control);
    case E::Change: return isOneOf<EventRow::Bar, EventRow::Bars>(row.control);
    case E::LostFocus: return isOneOf<EventRow::Combo>(row.control);
    case E::MouseDown:
    case E::MouseMove:
    case E::MouseUp: return isOneOf<EventRow::Pad>(row.control);
    }
    return false;
}

constexpr bool handlerFits(const EventRow &row)
{
    if (isOneOf<EventRow::Pad>(row.control))
        return std::holds_alternative<EventRow::Mouse>(row.handler);
    if (isOneOf<EventRow::Buttons, EventRow::Bars>(row.control))
        return std::holds_alternative<EventRow::Indexed>(row.handler);
    return std::holds_alternative<EventRow::Plain>(row.handler);
}

static_assert(std::ranges::all_of(EventTable, eventFits), "each row's event is one its control raises");
static_assert(std::ranges::all_of(EventTable, handlerFits),
              "an array's handler takes the element's index, the pad's the mouse arguments, any other none");

// Runs the row's handler as its control's event does: through the gate, so that it
// waits its turn behind a running operation.
void fire(EventHandlers &handlers, EventGate &gate, const EventRow &row, qint16 index, const MouseArgs &mouse)
{
    EventGate::Operation operation;
    if (const auto *plain = std::get_if<EventRow::Plain>(&row.handler))
        operation = [&handlers, call = *plain] { (handlers.*call)(); };
    else if (const auto *indexed = std::get_if<EventRow::Indexed>(&row.handler))
        operation = [&handlers, call = *indexed, index] { (handlers.*call)(index); };
    else
        operation = [&handlers, call = std::get<EventRow::Mouse>(row.handler), mouse] { (handlers.*call)(mouse); };
    if (row.mergesDeferred)
        gate.runMerging(QStringLiteral("row %1").arg(&row - std::begin(EventTable)), std::move(operation));
    else
        gate.run(std::move(operation));
}

using Fire = std::function<void(const MouseArgs &)>;

void connectEvent(QPushButton &button, ControlEvent, const Fire &fire)
{
    QObject::connect(&button, &QPushButton::clicked, &button, [fire] { fire({}); });
}

void connectEvent(QScrollBar &bar, ControlEvent, const Fire &fire)
{
    QObject::connect(&bar, &QScrollBar::valueChanged, &bar, [fire] { fire({}); });
}

void connectEvent(PortCombo &combo, ControlEvent, const Fire &fire)
{
    QObject::connect(&combo, &PortCombo::lostFocus, &combo, [fire] { fire({}); });
}

void connectEvent(PadImage &pad, ControlEvent event, const Fire &fire)
{
    const auto signal = event == ControlEvent::MouseDown ? &PadImage::mouseDown
        : event == ControlEvent::MouseMove               ? &PadImage::mouseMove
                                                         : &PadImage::mouseUp;
    QObject::connect(&pad, signal, &pad, fire);
}

struct Wiring
{
    EventHandlers &handlers;
    EventGate &gate;
    const EventRow &row;

    Fire fireFor(qint16 index) const
    {
        return [&handlers = handlers, &gate = gate, &row = row, index](const MouseArgs &mouse) {
            kestrava::fire(handlers, gate, row, index, mouse);
        };
    }
    template <class T>
    void connect(const Control<T> &control) const
    {
        connectEvent(*control, row.event, fireFor(-1));
    }
    template <class T>
    void connect(const ControlArray<T> &array) const
    {
        for (qint16 index = 0; index < array.size(); ++index)
            if (T *element = array.at(index))
                connectEvent(*element, row.event, fireFor(index));
    }
};

} // namespace

void wireEventTable(const PanelControls &controls, EventHandlers &handlers, EventGate &gate)
{
    for (const EventRow &row : EventTable) {
        const Wiring wiring{handlers, gate, row};
        std::visit([&](auto member) { wiring.connect(controls.*member); }, row.control);
    }
}

} // namespace kestrava
