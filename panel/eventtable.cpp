#include "panel/eventtable.h"

#include "panel/padimage.h"
#include "link/eventgate.h"
#include "panel/eventhandlers.h"
#include "panel/portcombo.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>

namespace kestrava {

const std::vector<EventRow> &eventTable()
{
    using E = ControlEvent;
    static const std::vector<EventRow> table{
        {"ComboCom", E::LostFocus, "ComboCom_LostFocus"},
        {"CmdDireccion", E::Click, "CmdDireccion_Click"},
        // MD23
        {"Command2", E::Click, "Command2_Click"},
        {"Command3", E::Click, "Command3_Click"},
        {"CmdStopOff", E::Click, "CmdStopOff_Click"},
        {"CmdStopOn", E::Click, "CmdStopOn_Click"},
        {"CmdAcel10", E::Click, "CmdAcel10_Click"},
        {"CmdAcel5", E::Click, "CmdAcel5_Click"},
        {"CmdAcel1", E::Click, "CmdAcel1_Click"},
        {"CmdModo2", E::Click, "CmdModo2_Click"},
        {"CmdModo0", E::Click, "CmdModo0_Click"},
        {"CmdAutoOn", E::Click, "CmdAutoOn_Click"},
        {"CmdAutoOff", E::Click, "CmdAutoOff_Click"},
        {"CmdResetCounter", E::Click, "CmdResetCounter_Click"},
        {"CmdAdelante1", E::Click, "CmdAdelante1_Click"},
        {"CmdGiro", E::Click, "CmdGiro_Click"},
        {"CmdLeerDatos", E::Click, "CmdLeerDatos_Click"},
        {"Image1", E::MouseDown, "Image1_MouseDown"},
        {"Image1", E::MouseMove, "Image1_MouseMove"},
        {"Image1", E::MouseUp, "Image1_MouseUp"},
        // SD21, RLY08, LCD03
        {"ServoScroll", E::Change, "ServoScroll_Change"},
        {"VeloScroll", E::Change, "VeloScroll_Change"},
        {"ReleOn", E::Click, "ReleOn_Click"},
        {"ReleOff", E::Click, "ReleOff_Click"},
        {"CmdTodoOn", E::Click, "CmdTodoOn_Click"},
        {"CmdTodoOff", E::Click, "CmdTodoOff_Click"},
        {"CmdLCD03_1", E::Click, "CmdLCD03_1_Click"},
        {"CmdLCD03_2", E::Click, "CmdLCD03_2_Click"},
        {"CmdLCD03_3", E::Click, "CmdLCD03_3_Click"},
        {"CmdLCD03_4", E::Click, "CmdLCD03_4_Click"},
        {"CmdLCD03_5", E::Click, "CmdLCD03_5_Click"},
        {"CmdLCD03_6", E::Click, "CmdLCD03_6_Click"},
        // Sensors
        {"CmdBrujula", E::Click, "CmdBrujula_Click"},
        {"CmdTPA81", E::Click, "CmdTPA81_Click"},
        {"CmdDistancia", E::Click, "CmdDistancia_Click"},
    };
    return table;
}

namespace {

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

bool isMouseEvent(ControlEvent event)
{
    return event == ControlEvent::MouseDown || event == ControlEvent::MouseMove
        || event == ControlEvent::MouseUp;
}

// Whether the registered handler takes what this event delivers.
bool fits(const EventHandlers::Handler &handler, ControlEvent event, qint16 index)
{
    if (isMouseEvent(event))
        return std::holds_alternative<EventHandlers::Mouse>(handler);
    if (index >= 0)
        return std::holds_alternative<EventHandlers::Indexed>(handler);
    return std::holds_alternative<EventHandlers::Plain>(handler);
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

// A row that cannot be wired would leave a dead control: the program stops at
// start-up, where the fault is found at once, instead.
QStringList wireEventTable(QWidget &window, const EventHandlers &handlers, EventGate &gate)
{
    QStringList wired;
    for (const EventRow &entry : eventTable()) {
        const EventHandlers::Entry *registered = handlers.find(entry.handler);
        if (!registered)
            qFatal("kestrava: no handler %s", qPrintable(entry.handler));
        const std::vector<Element> elements = elementsNamed(window, entry.control);
        if (elements.empty())
            qFatal("kestrava: no control %s for %s", qPrintable(entry.control), qPrintable(entry.handler));
        for (const Element &element : elements) {
            if (!fits(registered->handler, entry.event, element.index))
                qFatal("kestrava: handler %s does not take the arguments of %s", qPrintable(entry.handler),
                       qPrintable(element.widget->objectName()));
            const Fire fire = [&handlers, &gate, name = entry.handler,
                               index = element.index](const MouseArgs &args) {
                handlers.fire(gate, name, index, args);
            };
            if (!connectEvent(element.widget, entry.event, fire))
                qFatal("kestrava: %s has no such event", qPrintable(element.widget->objectName()));
            wired.append(entry.handler);
        }
    }
    return wired;
}

} // namespace kestrava
