#include "panel/eventtable.h"

#include "link/eventgate.h"
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
    {"ComboCom", E::LostFocus, &H::ComboCom_LostFocus},
    {"CmdDireccion", E::Click, &H::CmdDireccion_Click},
    // MD23
    {"Command2", E::Click, &H::Command2_Click},
    {"Command3", E::Click, &H::Command3_Click},
    {"CmdStopOff", E::Click, &H::CmdStopOff_Click},
    {"CmdStopOn", E::Click, &H::CmdStopOn_Click},
    {"CmdAcel10", E::Click, &H::CmdAcel10_Click},
    {"CmdAcel5", E::Click, &H::CmdAcel5_Click},
    {"CmdAcel1", E::Click, &H::CmdAcel1_Click},
    {"CmdModo2", E::Click, &H::CmdModo2_Click},
    {"CmdModo0", E::Click, &H::CmdModo0_Click},
    {"CmdAutoOn", E::Click, &H::CmdAutoOn_Click},
    {"CmdAutoOff", E::Click, &H::CmdAutoOff_Click},
    {"CmdResetCounter", E::Click, &H::CmdResetCounter_Click},
    {"CmdAdelante1", E::Click, &H::CmdAdelante1_Click},
    {"CmdGiro", E::Click, &H::CmdGiro_Click},
    {"CmdLeerDatos", E::Click, &H::CmdLeerDatos_Click},
    {"Image1", E::MouseDown, &H::Image1_MouseDown},
    {"Image1", E::MouseMove, &H::Image1_MouseMove, true},
    {"Image1", E::MouseUp, &H::Image1_MouseUp},
    // SD21, RLY08, LCD03
    {"ServoScroll", E::Change, &H::ServoScroll_Change},
    {"VeloScroll", E::Change, &H::VeloScroll_Change},
    {"ReleOn", E::Click, &H::ReleOn_Click},
    {"ReleOff", E::Click, &H::ReleOff_Click},
    {"CmdTodoOn", E::Click, &H::CmdTodoOn_Click},
    {"CmdTodoOff", E::Click, &H::CmdTodoOff_Click},
    {"CmdLCD03_1", E::Click, &H::CmdLCD03_1_Click},
    {"CmdLCD03_2", E::Click, &H::CmdLCD03_2_Click},
    {"CmdLCD03_3", E::Click, &H::CmdLCD03_3_Click},
    {"CmdLCD03_4", E::Click, &H::CmdLCD03_4_Click},
    {"CmdLCD03_5", E::Click, &H::CmdLCD03_5_Click},
    {"CmdLCD03_6", E::Click, &H::CmdLCD03_6_Click},
    // Sensors
    {"CmdBrujula", E::Click, &H::CmdBrujula_Click},
    {"CmdTPA81", E::Click, &H::CmdTPA81_Click},
    {"CmdDistancia", E::Click, &H::CmdDistancia_Click},
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
