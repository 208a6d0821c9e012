#pragma once

#include "modulecontext.h"

#include <QByteArray>
#include <QObject>

namespace kestrava {

// The relay board: register 1 holds the pattern, bit i for relay i + 1.
inline constexpr quint8 RelayBoardAddress = 0x70;
inline constexpr int RelayCount = 8;

quint8 withRelayOn(quint8 pattern, int index);
quint8 withRelayOff(quint8 pattern, int index);
// The whole pattern to the relay states register.
QByteArray relayPatternFrame(quint8 pattern);

// The four relay buttons. The board is never read: RelayState is the pattern last
// written, and the lamps and TxtStatus show it.
class RelayPanel : public QObject
{
    Q_OBJECT
public:
    RelayPanel(const ModuleContext &context, QObject *parent);

    void ReleOn_Click(qint16 index);
    void ReleOff_Click(qint16 index);
    void CmdTodoOn_Click();
    void CmdTodoOff_Click();

    quint8 RelayState() const { return m_relayState; }

private:
    void switchTo(quint8 pattern);
    void ShowRelayStatus();

    ModuleContext m_context; // a copy: the one passed in lives only during installation
    quint8 m_relayState = 0;
};

} // namespace kestrava
