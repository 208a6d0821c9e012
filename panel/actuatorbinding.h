#pragma once

#include "actuators/keypaddialogue.h"
#include "panel/modulecontext.h"
#include "panel/panelcontrols.h"

#include <QObject>

class QLineEdit;

namespace kestrava {

// The four relay buttons. The relay state is the pattern last written, recorded
// before sending so that it holds whether or not the board answers; the lamps and
// TxtStatus show it.
class RelayButtons : public QObject
{
public:
    RelayButtons(const ModuleContext &context, const RelayControls &controls, QObject *parent);
    void switchTo(quint8 pattern);
    // ReleOn and ReleOff: one relay of the recorded pattern changed.
    void change(quint8 (*rule)(quint8, int), qint16 index);

private:
    ModuleContext m_context;
    const RelayControls &m_controls;
    quint8 m_relayState = 0;
};

// CmdLCD03_6: starts the keypad dialogue, or cancels it when pressed again while
// it runs; closing the window cancels it too, so that the program can end.
class KeypadButton : public QObject
{
public:
    KeypadButton(const ModuleContext &context, QLineEdit &codeBox, QObject *parent);
    void press();

protected:
    bool eventFilter(QObject *, QEvent *event) override;

private:
    QLineEdit &m_codeBox;
    KeypadDialogue m_keypad;
};

} // namespace kestrava
