#pragma once

#include "eventgate.h"
#include "eventhandlers.h"
#include "portselector.h"
#include "serialline.h"
#include "transactionengine.h"

#include <QWidget>

#include <memory>

namespace kestrava {

class PortCombo;

// The one window. It owns the serial line, the engine and the gate, builds every
// control, lets the device code register its handlers and wires the event table.
class ControlPanel : public QWidget
{
    Q_OBJECT
public:
    // Form_Load runs before the constructor returns; its message goes to
    // showMessage (a modal box unless a test passes its own).
    explicit ControlPanel(PortSelector::ShowMessage showMessage = showMessageBox,
                          QWidget *parent = nullptr);
    ~ControlPanel() override;

    SerialLine &line() { return m_line; }
    TransactionEngine &engine() { return m_engine; }
    EventGate &gate() { return m_gate; }
    const EventHandlers &handlers() const { return m_handlers; }

private:
    SerialLine m_line;
    TransactionEngine m_engine{m_line};
    EventGate m_gate;
    EventHandlers m_handlers;
    PortCombo *m_comboCom = nullptr;
    std::unique_ptr<PortSelector> m_portSelector;
};

} // namespace kestrava
