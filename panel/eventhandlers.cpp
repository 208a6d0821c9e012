#include "panel/eventhandlers.h"

#include "panel/actuatorbinding.h"
#include "panel/portselector.h"
#include "panel/readingbinding.h"

namespace kestrava {

EventHandlers::EventHandlers(const ModuleContext &context, const PanelControls &controls, PortSelector &ports)
    : m_context(context)
    , m_controls(controls)
    , m_ports(ports)
    , m_relays(*new RelayButtons(context, controls, &context.panel))
    , m_keypad(*new KeypadButton(context, *controls.TxtLCD03, &context.panel))
{
}

void EventHandlers::ComboCom_LostFocus()
{
    m_ports.ComboCom_LostFocus();
}

void EventHandlers::showSequence(Outcome (*sequence)(TransactionEngine &, const ReadingSink &))
{
    sequence(m_context.engine, showReadings(m_context, m_controls));
}

} // namespace kestrava
