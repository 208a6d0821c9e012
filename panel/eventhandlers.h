#pragma once

#include "panel/modulecontext.h"
#include "panel/panelcontrols.h"

#include <QtGlobal>

namespace kestrava {

class KeypadButton;
class PortSelector;
class RelayButtons;

// What a drive-pad handler receives: the button mask (1 left, 2 right, 4 middle),
// the shift-key mask, and the pointer in twips from the control's top-left corner.
struct MouseArgs
{
    qint16 button = 0;
    qint16 shift = 0;
    float x = 0.0f;
    float y = 0.0f;
};

// Every handler of the window, under the name its event-table row gives it. The rows
// name these members, so a handler that is missing or takes the wrong arguments
// fails the build. Each module's binding file defines its own handlers.
class EventHandlers
{
public:
    EventHandlers(const ModuleContext &context, const PanelControls &controls, PortSelector &ports);

    void ComboCom_LostFocus();
    void CmdDireccion_Click();

    // MD23: settings written once, timed moves, telemetry, the drive pad.
    void Command2_Click();
    void Command3_Click();
    void CmdStopOff_Click();
    void CmdStopOn_Click();
    void CmdAcel10_Click();
    void CmdAcel5_Click();
    void CmdAcel1_Click();
    void CmdModo2_Click();
    void CmdModo0_Click();
    void CmdAutoOn_Click();
    void CmdAutoOff_Click();
    void CmdResetCounter_Click();
    void CmdAdelante1_Click(qint16 index);
    void CmdGiro_Click(qint16 index);
    void CmdLeerDatos_Click();
    // Image1_MouseUp may run at any time, also for a drag that ended without a
    // release reaching the pad (window closed, grab lost): it always sends both stops.
    void Image1_MouseDown(const MouseArgs &mouse);
    void Image1_MouseMove(const MouseArgs &mouse);
    void Image1_MouseUp(const MouseArgs &mouse);

    // SD21, RLY08, LCD03.
    void ServoScroll_Change(qint16 index);
    void VeloScroll_Change();
    void ReleOn_Click(qint16 index);
    void ReleOff_Click(qint16 index);
    void CmdTodoOn_Click();
    void CmdTodoOff_Click();
    void CmdLCD03_1_Click();
    void CmdLCD03_2_Click();
    void CmdLCD03_3_Click();
    void CmdLCD03_4_Click();
    void CmdLCD03_5_Click();
    void CmdLCD03_6_Click();

    // Sensors.
    void CmdBrujula_Click();
    void CmdTPA81_Click();
    void CmdDistancia_Click();

private:
    void showSequence(Outcome (*sequence)(TransactionEngine &, const ReadingSink &));

    ModuleContext m_context;
    const PanelControls &m_controls;
    PortSelector &m_ports;
    RelayButtons &m_relays;
    KeypadButton &m_keypad;
};

} // namespace kestrava
