#pragma once

#include "simmodule.h"

namespace kestrava::sim {

// The 21-channel servo controller: three registers per servo (speed, position low,
// position high), 63 in all. Positions start at 1500 µs.
class SimSd21 : public SimModule
{
public:
    static constexpr int Servos = 21;
    static constexpr int RegisterCount = 3 * Servos;
    static constexpr quint8 VersionRegister = 64;
    static constexpr quint8 SoftwareVersion = 8;

    SimSd21();
    QString kind() const override { return QStringLiteral("sd21"); }
    quint8 peek(quint8 reg, SimTime now) const override;
    QStringList describe(SimTime now) const override;

    quint16 position(int servo) const; // servo 0..20
    quint8 speed(int servo) const { return stored(quint8(3 * servo)); }

protected:
    void writeRegister(quint8 reg, quint8 value, SimTime now) override;
};

} // namespace kestrava::sim
