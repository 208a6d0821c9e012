#include "panel/actuatorbinding.h"

#include "actuators/display.h"
#include "actuators/relays.h"
#include "actuators/servos.h"
#include "panel/eventhandlers.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

namespace kestrava {

namespace {

// ServoScroll_Change: the bars are the only record of what was sent.
void moveServo(const ModuleContext &context, const ServoControls &servos, qint16 index)
{
    const QScrollBar *bar = servos.ServoScroll.at(index);
    QLabel *caption = servos.ServoVal.at(index);
    if (!bar || !caption || index >= sd21::ServoCount)
        return;
    writeServoPosition(context.engine, index, quint16(qBound(0, bar->value(), 0xFFFF)));
    // The bar may have moved while the answers were awaited; the caption follows the bar.
    caption->setText(servoCaption(bar->value()));
}

} // namespace

RelayButtons::RelayButtons(const ModuleContext &context, const RelayControls &controls, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_controls(controls)
{
}

void RelayButtons::switchTo(quint8 pattern)
{
    m_relayState = pattern;
    writeRelays(m_context.engine, m_relayState);
    for (int index = 0; index < rly08::RelayCount; ++index)
        if (QLabel *lamp = m_controls.ImgRele.at(index))
            lamp->setVisible((m_relayState >> index) & 1);
    m_controls.TxtStatus->setText(QString::number(m_relayState));
}

void RelayButtons::change(quint8 (*rule)(quint8, int), qint16 index)
{
    if (index >= 0 && index < rly08::RelayCount)
        switchTo(rule(m_relayState, index));
}

KeypadButton::KeypadButton(const ModuleContext &context, QLineEdit &codeBox, QObject *parent)
    : QObject(parent)
    , m_codeBox(codeBox)
    , m_keypad(context.engine, context.gate, &QApplication::beep)
{
    context.panel.installEventFilter(this);
}

void KeypadButton::press()
{
    if (m_keypad.isRunning())
        m_keypad.cancel();
    else
        m_keypad.run([this](const QString &code) { m_codeBox.setText(code); });
}

bool KeypadButton::eventFilter(QObject *, QEvent *event)
{
    if (event->type() == QEvent::Close)
        m_keypad.cancel();
    return false;
}

void EventHandlers::ServoScroll_Change(qint16 index)
{
    moveServo(m_context, m_controls, index);
}

void EventHandlers::VeloScroll_Change()
{
    writeServoSpeeds(m_context.engine, [this] { return quint8(qBound(0, m_controls.VeloScroll->value(), 0xFF)); });
}

void EventHandlers::ReleOn_Click(qint16 index) { m_relays.change(withRelayOn, index); }
void EventHandlers::ReleOff_Click(qint16 index) { m_relays.change(withRelayOff, index); }
void EventHandlers::CmdTodoOn_Click() { m_relays.switchTo(0xFF); }
void EventHandlers::CmdTodoOff_Click() { m_relays.switchTo(0x00); }

void EventHandlers::CmdLCD03_1_Click() { writeDisplayText(m_context.engine, m_controls.TxtLCD03->text()); }
void EventHandlers::CmdLCD03_2_Click() { writeDisplayCommand(m_context.engine, ClearScreen); }
void EventHandlers::CmdLCD03_3_Click() { writeDisplayCommand(m_context.engine, CarriageReturn); }
void EventHandlers::CmdLCD03_4_Click() { writeDisplayCommand(m_context.engine, BacklightOn); }
void EventHandlers::CmdLCD03_5_Click() { writeDisplayCommand(m_context.engine, BacklightOff); }
void EventHandlers::CmdLCD03_6_Click() { m_keypad.press(); }

} // namespace kestrava
