#pragma once

#include "displaymodule.h"
#include "keypaddialogue.h"
#include "modulecontext.h"

#include <QByteArray>
#include <QObject>
#include <QStringView>

namespace kestrava {

inline constexpr qsizetype DisplayTextLimit = 40;

enum DisplayCommand : quint8 {
    ClearScreen = 0x0C,
    CarriageReturn = 0x0D,
    BacklightOn = 0x13,
    BacklightOff = 0x14,
};

// One byte per character, at most 40 characters. A character the display's
// single-byte set cannot hold becomes "?", so the count never differs from the
// number of characters the operator typed.
QByteArray displayBytes(QStringView text);
QByteArray displayTextFrame(QStringView text);
QByteArray displayCommandFrame(quint8 command);

// CmdLCD03_1_Click ... CmdLCD03_6_Click: text, the four commands, and the keypad.
class DisplayPanel : public QObject
{
    Q_OBJECT
public:
    DisplayPanel(const ModuleContext &context, QObject *parent);

    void CmdLCD03_1_Click();
    void sendCommand(DisplayCommand command);
    // Starts the keypad dialogue; pressed again while it runs, it cancels it.
    void CmdLCD03_6_Click();

protected:
    // Closing the window cancels a running dialogue, so that the program can end.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ModuleContext m_context; // a copy: the one passed in lives only during installation
    KeypadDialogue m_keypad;
};

} // namespace kestrava
