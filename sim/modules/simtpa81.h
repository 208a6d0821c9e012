#pragma once

#include "sim/modules/simmodule.h"
#include "sim/world/world.h"

#include <QRandomGenerator>

namespace kestrava::sim {

// The thermal array: version in register 0, ambient temperature in register 1 and
// eight pixel temperatures in registers 2..9, in degrees. It looks ahead of the robot
// and sees the world's warm object in the pixel of its angle (pixel 1 leftmost).
// Temperatures set by hand hold until released or until the robot is placed anew.
// By default every read of a temperature wanders by up to one degree, as a live
// sensor does.
class SimTpa81 : public SimModule
{
public:
    static constexpr quint8 SoftwareVersion = 6;
    static constexpr int Pixels = 8;

    SimTpa81();
    QString kind() const override { return QStringLiteral("tpa81"); }
    quint8 peek(quint8 reg, SimTime now) const override;
    QStringList describe(SimTime now) const override;

    // Hand-set values (the pixels not set keep what they read now).
    void setAmbient(quint8 degrees);
    void setPixel(int pixel, quint8 degrees); // pixel 0..7
    void followWorld() { m_hold.release(); }
    bool handSet() const;
    // Without the wandering: register 1 the ambient, 2..9 the pixels.
    quint8 temperature(quint8 reg) const;
    void setNoise(bool on) { m_noise = on; }
    bool noise() const { return m_noise; }

protected:
    quint8 readRegister(quint8 reg, SimTime now) override;

private:
    void hold();

    bool m_noise = true;
    // Its own source, the same at every start: the same reads wander the same way, so that a
    // stepped trial repeats bit for bit.
    QRandomGenerator m_wander{0x7e4a81u};
    HandHold m_hold;
};

} // namespace kestrava::sim
