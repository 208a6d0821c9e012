#include "relaypanel.h"

#include "frames.h"

#include <QLabel>
#include <QLineEdit>

namespace kestrava {

namespace {
constexpr quint8 RelayStatesRegister = 1;

bool isRelayIndex(int index)
{
    return index >= 0 && index < RelayCount;
}
} // namespace

quint8 withRelayOn(quint8 pattern, int index)
{
    return isRelayIndex(index) ? quint8(pattern | (1u << index)) : pattern;
}

quint8 withRelayOff(quint8 pattern, int index)
{
    return isRelayIndex(index) ? quint8(pattern & ~(1u << index)) : pattern;
}

QByteArray relayPatternFrame(quint8 pattern)
{
    return registerWriteFrame(RelayBoardAddress, RelayStatesRegister, pattern);
}

RelayPanel::RelayPanel(const ModuleContext &context, QObject *parent)
    : QObject(parent)
    , m_context(context)
{
}

void RelayPanel::ReleOn_Click(qint16 index)
{
    if (isRelayIndex(index))
        switchTo(withRelayOn(m_relayState, index));
}

void RelayPanel::ReleOff_Click(qint16 index)
{
    if (isRelayIndex(index))
        switchTo(withRelayOff(m_relayState, index));
}

void RelayPanel::CmdTodoOn_Click()
{
    switchTo(0xFF);
}

void RelayPanel::CmdTodoOff_Click()
{
    switchTo(0x00);
}

void RelayPanel::switchTo(quint8 pattern)
{
    // Recorded before sending, so the record holds whether or not the board answers.
    m_relayState = pattern;
    m_context.engine.transact(relayPatternFrame(m_relayState), 1);
    ShowRelayStatus();
}

void RelayPanel::ShowRelayStatus()
{
    for (int index = 0; index < RelayCount; ++index) {
        const bool on = (m_relayState & (1u << index)) != 0;
        m_context.control<QLabel>(QStringLiteral("ImgRele"), index).setVisible(on);
    }
    m_context.control<QLineEdit>(QStringLiteral("TxtStatus")).setText(QString::number(m_relayState));
}

} // namespace kestrava
