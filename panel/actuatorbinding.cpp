#include "panel/actuatorbinding.h"

#include "actuators/display.h"
#include "actuators/keypaddialogue.h"
#include "panel/modulecontext.h"
#include "actuators/relays.h"
#include "actuators/servos.h"

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
    const QScrollBar &bar = context.control<QScrollBar>(QStringLiteral("ServoScroll"), index);
    writeServoPosition(context.engine, index, quint16(qBound(0, bar.value(), 0xFFFF)));
    // The bar may have moved while the answers were awaited; the caption follows the bar.
    context.control<QLabel>(QStringLiteral("ServoVal"), index).setText(servoCaption(bar.value()));
}

void installServos(const ModuleContext &context)
{
    context.handlers.add(QStringLiteral("ServoScroll_Change"),
                         EventHandlers::Indexed([context](qint16 index) { moveServo(context, index); }));
    const QScrollBar &speedBar = context.control<QScrollBar>(QStringLiteral("VeloScroll"));
    TransactionEngine &engine = context.engine;
    context.handlers.add(QStringLiteral("VeloScroll_Change"), EventHandlers::Plain([&engine, &speedBar] {
                             writeServoSpeeds(engine, [&speedBar] { return quint8(qBound(0, speedBar.value(), 0xFF)); });
                         }));
}

// The four relay buttons. RelayState is the pattern last written, recorded before
// sending so that it holds whether or not the board answers; the lamps and
// TxtStatus show it.
class RelayPanel : public QObject
{
public:
    RelayPanel(const ModuleContext &context, QObject *parent)
        : QObject(parent)
        , m_context(context)
    {
    }
    void switchTo(quint8 pattern)
    {
        m_relayState = pattern;
        writeRelays(m_context.engine, m_relayState);
        for (int index = 0; index < rly08::RelayCount; ++index)
            m_context.control<QLabel>(QStringLiteral("ImgRele"), index).setVisible((m_relayState >> index) & 1);
        m_context.control<QLineEdit>(QStringLiteral("TxtStatus")).setText(QString::number(m_relayState));
    }
    quint8 relayState() const { return m_relayState; }

private:
    ModuleContext m_context; // a copy: the one passed in lives only during installation
    quint8 m_relayState = 0;
};

void installRelays(const ModuleContext &context)
{
    auto *relays = new RelayPanel(context, &context.panel);
    const auto relayHandler = [relays](quint8 (*change)(quint8, int)) {
        return EventHandlers::Indexed([relays, change](qint16 index) {
            if (index >= 0 && index < rly08::RelayCount)
                relays->switchTo(change(relays->relayState(), index));
        });
    };
    context.handlers.add(QStringLiteral("ReleOn_Click"), relayHandler(withRelayOn));
    context.handlers.add(QStringLiteral("ReleOff_Click"), relayHandler(withRelayOff));
    context.handlers.add(QStringLiteral("CmdTodoOn_Click"), EventHandlers::Plain([relays] { relays->switchTo(0xFF); }));
    context.handlers.add(QStringLiteral("CmdTodoOff_Click"), EventHandlers::Plain([relays] { relays->switchTo(0x00); }));
}

// CmdLCD03_6: starts the keypad dialogue, or cancels it when pressed again while
// it runs; closing the window cancels it too, so that the program can end.
class KeypadButton : public QObject
{
public:
    KeypadButton(const ModuleContext &context, QObject *parent)
        : QObject(parent)
        , m_codeBox(context.control<QLineEdit>(QStringLiteral("TxtLCD03")))
        , m_keypad(context.engine, context.gate, &QApplication::beep)
    {
        context.panel.installEventFilter(this);
    }
    void press()
    {
        if (m_keypad.isRunning())
            m_keypad.cancel();
        else
            m_keypad.run([this](const QString &code) { m_codeBox.setText(code); });
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            m_keypad.cancel();
        return false;
    }

private:
    QLineEdit &m_codeBox;
    KeypadDialogue m_keypad;
};

void installDisplay(const ModuleContext &context)
{
    TransactionEngine &engine = context.engine;
    const QLineEdit &textBox = context.control<QLineEdit>(QStringLiteral("TxtLCD03"));
    context.handlers.add(QStringLiteral("CmdLCD03_1_Click"),
                         EventHandlers::Plain([&engine, &textBox] { writeDisplayText(engine, textBox.text()); }));
    const auto command = [&context, &engine](const char *name, DisplayCommand code) {
        context.handlers.add(QString::fromLatin1(name),
                             EventHandlers::Plain([&engine, code] { writeDisplayCommand(engine, code); }));
    };
    command("CmdLCD03_2_Click", ClearScreen);
    command("CmdLCD03_3_Click", CarriageReturn);
    command("CmdLCD03_4_Click", BacklightOn);
    command("CmdLCD03_5_Click", BacklightOff);
    auto *keypad = new KeypadButton(context, &context.panel);
    context.handlers.add(QStringLiteral("CmdLCD03_6_Click"), EventHandlers::Plain([keypad] { keypad->press(); }));
}

} // namespace

void installActuators(const ModuleContext &context)
{
    installServos(context);
    installRelays(context);
    installDisplay(context);
}

} // namespace kestrava
