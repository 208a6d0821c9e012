#include "panel/eventhandlers.h"

#include "panel/actuatorbinding.h"
#include "panel/controlnames.h"
#include "panel/portselector.h"
#include "panel/readingbinding.h"

#include <QLineEdit>
#include <QScrollBar>

namespace kestrava {

EventHandlers::EventHandlers(const ModuleContext &context, PortSelector &ports)
    : m_context(context)
    , m_ports(ports)
    , m_currentAddress(context.control<QLineEdit>(QStringLiteral("TxtActDir")))
    , m_newAddress(context.control<QLineEdit>(QStringLiteral("TxtNueDir")))
    , m_servoSpeed(context.control<QScrollBar>(QLatin1String(controls::VeloScroll)))
    , m_displayText(context.control<QLineEdit>(QStringLiteral("TxtLCD03")))
    , m_relays(*new RelayPanel(context, &context.panel))
    , m_keypad(*new KeypadButton(context, &context.panel))
{
}

void EventHandlers::ComboCom_LostFocus()
{
    m_ports.ComboCom_LostFocus();
}

void EventHandlers::showSequence(Outcome (*sequence)(TransactionEngine &, const ReadingSink &))
{
    sequence(m_context.engine, showReadings(m_context));
}

} // namespace kestrava
