#pragma once

#include "sim/modules/simmodule.h"

#include <array>

namespace kestrava::sim {

// The dual-motor controller. Its speed registers set targets that each wheel ramps
// towards by the acceleration register's steps every 25 ms tick; the wheels count
// their travel on the encoders and, through the world, move the robot. With the
// automatic stop on (as at power-up) the motors stop 2 s after the last bus access.
// Battery and currents follow the load.
class SimMd23 : public SimModule
{
public:
    enum Register : quint8 {
        Speed1 = 0, Speed2Turn = 1, Encoder1 = 2, Encoder2 = 6, Battery = 10,
        Current1 = 11, Current2 = 12, Version = 13, Acceleration = 14, Mode = 15, Command = 16,
    };
    static constexpr quint8 SoftwareVersion = 9;
    static constexpr quint8 IdleBattery = 121;        // 12.1 V
    static constexpr double CountsPerSecondPerStep = 8.0;  // 127 steps: about 1000 counts a second
    static constexpr double AutoStopSeconds = 2.0;

    SimMd23();
    QString kind() const override { return QStringLiteral("md23"); }
    quint8 peek(quint8 reg, SimTime now) const override;
    QStringList describe(SimTime now) const override;
    void noteBusAccess(SimTime now) override { m_lastAccess = now; }

    // Signed steps away from stop: what the registers ask for, and what the wheels
    // (1 left, 2 right) run at now.
    std::array<int, 2> targetSpeeds() const;
    std::array<int, 2> wheelSpeeds() const { return m_wheels; }
    int mode() const { return stored(Mode); }
    int acceleration() const { return stored(Acceleration); }
    qint32 encoder1() const { return count(0); }
    qint32 encoder2() const { return count(1); }
    quint8 batteryTenths() const;          // tenths of a volt
    quint8 currentTenths(int wheel) const; // wheel 0 or 1, tenths of an ampere
    bool regulation() const { return m_regulation; }
    bool autoStop() const { return m_autoStop; }

    // The world's side: count the wheels' travel over an interval at their present
    // speeds, then take one 25 ms tick of the ramp and the automatic stop.
    void run(SimTime span);
    void tick(SimTime at);
    bool atRest() const;
    // Both speed registers hold the stop of the mode the controller is in.
    bool speedsAtStop() const;

protected:
    void writeRegister(quint8 reg, quint8 value, SimTime now) override;
    quint8 readRegister(quint8 reg, SimTime now) override;

private:
    void runCommand(quint8 command);
    qint32 count(std::size_t wheel) const;

    std::array<int, 2> m_wheels{};
    // Each wheel's travel in steps times nanoseconds: whole numbers, so that counts
    // come out the same however the time was cut into pieces.
    std::array<qint64, 2> m_travel{};
    SimTime m_lastAccess{};
    // Reading the top byte of a count latches it, so the four bytes of one count agree.
    quint32 m_latched1 = 0, m_latched2 = 0;
    bool m_regulation = true;
    bool m_autoStop = true;
};

} // namespace kestrava::sim
