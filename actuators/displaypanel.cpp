#include "displaypanel.h"

#include "frames.h"

#include <QApplication>
#include <QEvent>
#include <QLineEdit>

namespace kestrava {

namespace {
constexpr char Unrepresentable = '?';
} // namespace

QByteArray displayBytes(QStringView text)
{
    // Counted in characters, not UTF-16 units: a character outside the basic
    // plane is one character on screen and so one byte on the wire.
    const QList<uint> characters = text.toUcs4();
    const qsizetype count = qMin(characters.size(), DisplayTextLimit);
    QByteArray bytes;
    bytes.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        bytes.append(characters[i] <= 0xFF ? char(characters[i]) : Unrepresentable);
    return bytes;
}

QByteArray displayTextFrame(QStringView text)
{
    return registerWriteFrame(DisplayAddress, DisplayCommandRegister, displayBytes(text));
}

QByteArray displayCommandFrame(quint8 command)
{
    return registerWriteFrame(DisplayAddress, DisplayCommandRegister, command);
}

DisplayPanel::DisplayPanel(const ModuleContext &context, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_keypad(context.engine, context.gate, &QApplication::beep)
{
    context.panel.installEventFilter(this);
}

void DisplayPanel::CmdLCD03_1_Click()
{
    const QString text = m_context.control<QLineEdit>(QStringLiteral("TxtLCD03")).text();
    m_context.engine.transact(displayTextFrame(text), 1);
}

void DisplayPanel::sendCommand(DisplayCommand command)
{
    m_context.engine.transact(displayCommandFrame(command), 1);
}

void DisplayPanel::CmdLCD03_6_Click()
{
    if (m_keypad.isRunning())
        m_keypad.cancel();
    else
        m_keypad.run(m_context.control<QLineEdit>(QStringLiteral("TxtLCD03")));
}

bool DisplayPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_context.panel && event->type() == QEvent::Close)
        m_keypad.cancel();
    return false;
}

} // namespace kestrava
