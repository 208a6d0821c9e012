#pragma once

#include "simmodule.h"

namespace kestrava::sim {

// The compass: version in register 0, the bearing as a byte (0..255 for a full
// turn) in register 1 and as tenths of a degree, high byte first, in registers 2
// and 3. The bearing is set by command and follows the motor controller's turn.
class SimCmps03 : public SimModule
{
public:
    static constexpr quint8 SoftwareVersion = 14;

    QString kind() const override { return QStringLiteral("cmps03"); }
    quint8 peek(quint8 reg, SimTime now) const override;
    QStringList describe(SimTime now) const override;

    void setBearing(double degrees, SimTime now);
    double bearing(SimTime now) const; // 0 <= bearing < 360
    quint16 bearingWord(SimTime now) const;

private:
    double turnOfRobot(SimTime now) const;

    double m_bearing = 0;
    double m_turnAtSetting = 0;
};

} // namespace kestrava::sim
