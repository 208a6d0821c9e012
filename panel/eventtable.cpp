#include "panel/eventtable.h"

#include "link/eventgate.h"
#include "panel/controlnames.h"
#include "panel/padimage.h"
#include "panel/portcombo.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>

#include <algorithm>

namespace kestrava {

namespace {

using E = ControlEvent;
using H = EventHandlers;

constexpr EventRow EventTable[] = {
    {controls::ComboCom, E::LostFocus, &H::ComboCom_LostFocus},
    {controls::CmdDireccion, E::Click, &H::CmdDireccion_Click},
    // MD23
    {controls::Command2, E::Click, &H::Command2_Click},
    {controls::Command3, E::Click, &H::Command3_Click},
    {controls::CmdStopOff, E::Click, &H::CmdStopOff_Click},
    {controls::CmdStopOn, E::Click, &H::CmdStopOn_Click},
    {controls::CmdAcel10, E::Click, &H::CmdAcel10_Click},
    {controls::CmdAcel5, E::Click, &H::CmdAcel5_Click},
    {controls::CmdAcel1, E::Click, &H::CmdAcel1_Click},
    {controls::CmdModo2, E::Click, &H::CmdModo2_Click},
    {controls::CmdModo0, E::Click, &H::CmdModo0_Click},
    {controls::CmdAutoOn, E::Click, &H::CmdAutoOn_Click},
    {controls::CmdAutoOff, E::Click, &H::CmdAutoOff_Click},
    {controls::CmdResetCounter, E::Click, &H::CmdResetCounter_Click},
    {controls::CmdAdelante1, E::Click, &H::CmdAdelante1_Click},
    {controls::CmdGiro, E::Click, &H::CmdGiro_Click},
    {controls::CmdLeerDatos, E::Click, &H::CmdLeerDatos_Click},
    {controls::Image1, E::MouseDown, &H::Image1_MouseDown},
    {controls::Image1, E::MouseMove, &H::Image1_MouseMove, true},
    {controls::Image1, E::MouseUp, &H::Image1_MouseUp},
    // SD21, RLY08, LCD03
    {controls::ServoScroll, E::Change, &H::ServoScroll_Change},
    {controls::VeloScroll, E::Change, &H::VeloScroll_Change},
    {controls::ReleOn, E::Click, &H::ReleOn_Click},
    {controls::ReleOff, E::Click, &H::ReleOff_Click},
    {controls::CmdTodoOn, E::Click, &H::CmdTodoOn_Click},
    {controls::CmdTodoOff, E::Click, &H::CmdTodoOff_Click},
    {controls::CmdLCD03_1, E::Click, &H::CmdLCD03_1_Click},
    {controls::CmdLCD03_2, E::Click, &H::CmdLCD03_2_Click},
    {controls::CmdLCD03_3, E::Click, &H::CmdLCD03_3_Click},
    {controls::CmdLCD03_4, E::Click, &H::CmdLCD03_4_Click},
    {controls::CmdLCD03_5, E::Click, &H::CmdLCD03_5_Click},
    {controls::CmdLCD03_6, E::Click, &H::CmdLCD03_6_Click},
    // Sensors
    {controls::CmdBrujula, E::Click, &H::CmdBrujula_Click},
    {controls::CmdTPA81, E::Click, &H::CmdTPA81_Click},
    {controls::CmdDistancia, E::Click, &H::CmdDistancia_Click},
};

constexpr bool takesMouse(const EventRow &row)
{
    const bool mouseEvent = row.event == E::MouseDown || row.event == E::MouseMove || row.event == E::MouseUp;
    return mouseEvent == std::holds_alternative<EventRow::Mouse>(row.handler);
}
static_assert(std::ranges::all_of(EventTable, takesMouse),
              "a mouse event takes a handler of the mouse arguments, and only a mouse event does");

struct Element
{
    QWidget *widget;
    qint16 index; // -1 for a control that is not in an array
};

std::vector<Element> elementsNamed(QWidget &window, const QString &name)
{
    static const QRegularExpression arrayName(QStringLiteral(R"(^(.+)\((\d+)\)$)"));
    std::vector<Element> found;
    for (QWidget *widget : window.findChildren<QWidget *>()) {
        const QString objectName = widget->objectName();
        if (objectName == name) {
            found.push_back({widget, -1});
            continue;
        }
        const QRegularExpressionMatch match = arrayName.match(objectName);
        if (match.hasMatch() && match.captured(1) == name)
            found.push_back({widget, qint16(match.captured(2).toInt())});
    }
    return found;
}

// Whether the row's handler takes what this element's event delivers.
bool fits(const EventRow &row, qint16 index)
{
    if (std::holds_alternative<EventRow::Mouse>(row.handler))
        return true; // the table holds mouse handlers to mouse events
    return std::holds_alternative<EventRow::Indexed>(row.handler) == (index >= 0);
}

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
        gate.runMerging(QLatin1String(row.control) + QLatin1Char('.') + QString::number(int(row.event)),
                        std::move(operation));
    else
        gate.run(std::move(operation));
}

using Fire = std::function<void(const MouseArgs &)>;

bool connectEvent(QWidget *widget, ControlEvent event, const Fire &fire)
{
    const auto plain = [fire] { fire({}); };
    switch (event) {
    case ControlEvent::Click:
        if (auto *button = qobject_cast<QPushButton *>(widget))
            return bool(QObject::connect(button, &QPushButton::clicked, button, plain));
        break;
    case ControlEvent::Change:
        if (auto *bar = qobject_cast<QScrollBar *>(widget))
            return bool(QObject::connect(bar, &QScrollBar::valueChanged, bar, plain));
        break;
    case ControlEvent::LostFocus:
        if (auto *combo = qobject_cast<PortCombo *>(widget))
            return bool(QObject::connect(combo, &PortCombo::lostFocus, combo, plain));
        break;
    case ControlEvent::MouseDown:
    case ControlEvent::MouseMove:
    case ControlEvent::MouseUp:
        if (auto *pad = qobject_cast<PadImage *>(widget)) {
            const auto signal = event == ControlEvent::MouseDown ? &PadImage::mouseDown
                : event == ControlEvent::MouseMove               ? &PadImage::mouseMove
                                                                 : &PadImage::mouseUp;
            return bool(QObject::connect(pad, signal, pad, fire));
        }
        break;
    }
    return false;
}

} // namespace

QStringList wireEventTable(QWidget &window, EventHandlers &handlers, EventGate &gate)
{
    QStringList unwired;
    for (const EventRow &row : EventTable) {
        const std::vector<Element> elements = elementsNamed(window, QLatin1String(row.control));
        if (elements.empty())
            unwired.append(QStringLiteral("no control %1").arg(QLatin1String(row.control)));
        for (const Element &element : elements) {
            const QString name = element.widget->objectName();
            if (!fits(row, element.index)) {
                unwired.append(QStringLiteral("%1 is %2 array").arg(name, element.index < 0 ? "not an" : "an"));
                continue;
            }
            const Fire fire = [&handlers, &gate, &row, index = element.index](const MouseArgs &mouse) {
                kestrava::fire(handlers, gate, row, index, mouse);
            };
            if (!connectEvent(element.widget, row.event, fire))
                unwired.append(QStringLiteral("%1 has no such event").arg(name));
        }
    }
    return unwired;
}

} // namespace kestrava
