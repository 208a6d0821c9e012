#pragma once

#include "link/eventgate.h"
#include "panel/eventhandlers.h"
#include "panel/panelcontrols.h"
#include "panel/portselector.h"
#include "link/reading.h"
#include "link/serialline.h"
#include "link/transactionengine.h"

#include <QWidget>

class QScrollArea;

#include <functional>
#include <memory>

namespace kestrava {

// The one window. It owns the serial line, the engine and the gate, builds every
// control and wires the event table to its handlers.
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

    // The banner says plainly when the bus is the simulator, not hardware, and
    // when no port is open.
    void setSimulatedBus(bool simulated);

signals:
    // A reading has just been shown in its caption.
    void readingShown(const kestrava::Reading &reading);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;

private:
    void closeWhenIdle();
    void showPortState(PortState state);
    void showBanner();
    void fitScreen();

    SerialLine m_line;
    TransactionEngine m_engine{m_line};
    EventGate m_gate;
    std::unique_ptr<PanelControls> m_controls;
    std::unique_ptr<EventHandlers> m_handlers;
    std::unique_ptr<PortSelector> m_portSelector;
    bool m_closeWhenIdle = false;
    bool m_simulatedBus = false;
    QScrollArea *m_scrollArea = nullptr;
};

} // namespace kestrava
