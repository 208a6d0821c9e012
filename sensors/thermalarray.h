#pragma once

#include "modulecontext.h"

#include <QObject>

namespace kestrava {

// CmdTPA81: the TPA81's version, ambient temperature and eight pixel temperatures,
// each register read on its own and shown as it arrives.
class ThermalArray : public QObject
{
    Q_OBJECT
public:
    static constexpr quint8 Address = 0xD0;
    static constexpr int RegisterCount = 10; // version, ambient, pixels 1 to 8

    explicit ThermalArray(const ModuleContext &context);
    void CmdTPA81_Click();

private:
    ModuleContext m_context;
};

} // namespace kestrava
