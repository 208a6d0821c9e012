#pragma once

#include "sim/modules/simmodule.h"
#include "sim/world/world.h"

namespace kestrava::sim {

// The compass: version in register 0, the bearing as a byte (0..255 for a full
// turn) in register 1 and as tenths of a degree, high byte first, in registers 2
// and 3. The bearing is the robot's heading in the world. Set by hand, it reads the
// heading plus a fixed error (so it still follows the robot's turns) until released
// or until the robot is placed anew.
class SimCmps03 : public SimModule
{
public:
    static constexpr quint8 SoftwareVersion = 14;

    QString kind() const override { return QStringLiteral("cmps03"); }
    quint8 peek(quint8 reg, SimTime now) const override;
    QStringList describe(SimTime now) const override;

    void setBearing(double degrees, SimTime now);
    void followWorld() { m_hold.release(); }
    bool handSet() const;
    double bearing(SimTime now) const; // 0 <= bearing < 360
    quint16 bearingWord(SimTime now) const;

private:
    double heading() const;

    double m_error = 0; // hand-set bearing minus the heading then
    HandHold m_hold;
};

} // namespace kestrava::sim
