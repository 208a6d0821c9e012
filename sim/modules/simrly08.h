#pragma once

#include "sim/modules/simmodule.h"

namespace kestrava::sim {

// The eight-relay board: register 1 holds the pattern (bit 0 is relay 1). Register 0
// takes the board's own commands: 100 all on, 110 all off, 101..108 and 111..118
// switch one relay on or off; read, it gives the software version.
class SimRly08 : public SimModule
{
public:
    static constexpr quint8 CommandRegister = 0;
    static constexpr quint8 RelayRegister = 1;
    static constexpr quint8 SoftwareVersion = 12;

    QString kind() const override { return QStringLiteral("rly08"); }
    quint8 peek(quint8 reg, SimTime now) const override;
    QStringList describe(SimTime now) const override;
    quint8 pattern() const { return stored(RelayRegister); }

protected:
    void writeRegister(quint8 reg, quint8 value, SimTime now) override;
};

} // namespace kestrava::sim
