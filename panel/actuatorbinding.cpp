#include "panel/actuatorbinding.h"

#include "actuators/display.h"
#include "actuators/relays.h"
#include "actuators/servos.h"
#include "panel/controlnames.h"
#include "panel/eventhandlers.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

namespace kestrava {

namespace {

// ServoScroll_Change: the bars are the only record of what was sent.
void moveServo(const ModuleContext &context, qint16 index)
{
    if (index < 0 || index >= sd21::ServoCount)
        return;
    const QScrollBar &bar = context.control<QScrollBar>(QLatin1String(controls::ServoScroll), index);
    writeServoPosition(context.engine, index, quint16(qBound(0, bar.value(), 0xFFFF)));
    // The bar may have moved while the answers were awaited; the caption follows the bar.
    context.control<QLabel>(QStringLiteral("ServoVal"), index).setText(servoCaption(bar.value()));
}

} // namespace

RelayPanel::RelayPanel(const ModuleContext &context, QObject *parent)
    : QObject(parent)
    , m_context(context)
{
}

void RelayPanel::switchTo(quint8 pattern)
{
    m_relayState = pattern;
    writeRelays(m_context.engine, m_relayState);
    for (int index = 0; index < rly08::RelayCount; ++index)
        m_context.control<QLabel>(QStringLiteral("ImgRele"), index).setVisible((m_relayState >> index) & 1);
    m_context.control<QLineEdit>(QStringLiteral("TxtStatus")).setText(QString::number(m_relayState));
}

void RelayPanel::change(quint8 (*rule)(quint8, int), qint16 index)
{
    if (index >= 0 && index < rly08::RelayCount)
        switchTo(rule(m_relayState, index));
}

KeypadButton::KeypadButton(const ModuleContext &context, QObject *parent)
    : QObject(parent)
    , m_codeBox(context.control<QLineEdit>(QStringLiteral("TxtLCD03")))
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
    moveServo(m_context, index);
}

void EventHandlers::VeloScroll_Change()
{
    writeServoSpeeds(m_context.engine, [this] { return quint8(qBound(0, m_servoSpeed.value(), 0xFF)); });
}

void EventHandlers::ReleOn_Click(qint16 index) { m_relays.change(withRelayOn, index); }
void EventHandlers::ReleOff_Click(qint16 index) { m_relays.change(withRelayOff, index); }
void EventHandlers::CmdTodoOn_Click() { m_relays.switchTo(0xFF); }
void EventHandlers::CmdTodoOff_Click() { m_relays.switchTo(0x00); }

void EventHandlers::CmdLCD03_1_Click() { writeDisplayText(m_context.engine, m_displayText.text()); }
void EventHandlers::CmdLCD03_2_Click() { writeDisplayCommand(m_context.engine, ClearScreen); }
void EventHandlers::CmdLCD03_3_Click() { writeDisplayCommand(m_context.engine, CarriageReturn); }
void EventHandlers::CmdLCD03_4_Click() { writeDisplayCommand(m_context.engine, BacklightOn); }
void EventHandlers::CmdLCD03_5_Click() { writeDisplayCommand(m_context.engine, BacklightOff); }
void EventHandlers::CmdLCD03_6_Click() { m_keypad.press(); }

} // namespace kestrava
