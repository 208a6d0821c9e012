#pragma once

#include "sim/modules/simmodule.h"

#include <array>

namespace kestrava::sim {

// The 21-channel servo controller: three registers per servo (speed, position low,
// position high), 63 in all. Positions start at 1500 µs. The pulse put out moves to
// a new position by the speed register's microseconds every 20 ms (0: at once).
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

    quint16 position(int servo) const; // the target, servo 0..20
    quint8 speed(int servo) const { return stored(quint8(3 * servo)); }
    // The pulse put out now, on its way to the target at the servo's speed, and the
    // angle of the horn it holds (0 to 180 degrees).
    double pulseAt(int servo, SimTime now) const;
    double hornDegrees(int servo, SimTime now) const;
    bool moving(SimTime now) const;

protected:
    void writeRegister(quint8 reg, quint8 value, SimTime now) override;

private:
    std::array<double, Servos> m_pulses{};  // the pulse put out at m_since
    std::array<SimTime, Servos> m_since{};
};

} // namespace kestrava::sim
