#pragma once

#include "modulecontext.h"

#include <QObject>

namespace kestrava {

// Ranger i (0 to 4) sits at bus address 0xE0 + 2i.
quint8 rangerAddress(int index);
// Registers 2 (high) and 3 (low) hold the last range.
quint16 rangeFromBytes(quint8 high, quint8 low);

// CmdDistancia: the five SRF02s measure one after another and show their ranges.
class Rangers : public QObject
{
    Q_OBJECT
public:
    static constexpr int Count = 5;

    explicit Rangers(const ModuleContext &context);
    void CmdDistancia_Click();

private:
    bool measure(int index); // false when the port is closed

    ModuleContext m_context;
};

} // namespace kestrava
