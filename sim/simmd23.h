#pragma once

#include "simmodule.h"

namespace kestrava::sim {

// The dual-motor controller. Its speeds drive two wheel encoders that count with
// time, and the difference between the wheels turns the robot (which the compass
// follows). Battery and currents follow the load.
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
    static constexpr double DegreesPerSecondPerStep = 2.9; // per step of difference between the wheels

    SimMd23();
    QString kind() const override { return QStringLiteral("md23"); }
    quint8 peek(quint8 reg, SimTime now) const override;
    QStringList describe(SimTime now) const override;

    // Signed wheel speeds in steps away from stop, as the mode reads the registers.
    int wheelSpeed1() const;
    int wheelSpeed2() const;
    qint32 encoder1(SimTime now) const { return qint32(qint64(motionAt(now).encoder1)); }
    qint32 encoder2(SimTime now) const { return qint32(qint64(motionAt(now).encoder2)); }
    // How far the robot has turned since power-on, clockwise in degrees.
    double headingDegrees(SimTime now) const { return motionAt(now).heading; }
    bool regulation() const { return m_regulation; }
    bool autoStop() const { return m_autoStop; }

protected:
    void writeRegister(quint8 reg, quint8 value, SimTime now) override;
    quint8 readRegister(quint8 reg, SimTime now) override;

private:
    struct Motion
    {
        double encoder1 = 0, encoder2 = 0, heading = 0;
    };
    Motion motionAt(SimTime now) const;
    void settle(SimTime now);
    void runCommand(quint8 command, SimTime now);

    Motion m_motion;
    SimTime m_motionSince{};
    bool m_started = false;
    // Reading the top byte of a count latches it, so the four bytes of one count agree.
    quint32 m_latched1 = 0, m_latched2 = 0;
    bool m_regulation = true;
    bool m_autoStop = true;
};

} // namespace kestrava::sim
