#pragma once

#include "simmodule.h"

namespace kestrava::sim {

// The thermal array: version in register 0, ambient temperature in register 1 and
// eight pixel temperatures in registers 2..9, in degrees. By default every read of
// a temperature wanders by up to one degree, as a live sensor does.
class SimTpa81 : public SimModule
{
public:
    static constexpr quint8 SoftwareVersion = 6;
    static constexpr int Pixels = 8;

    SimTpa81();
    QString kind() const override { return QStringLiteral("tpa81"); }
    quint8 peek(quint8 reg, SimTime now) const override;
    QStringList describe(SimTime now) const override;

    void setAmbient(quint8 degrees) { poke(1, degrees); }
    void setPixel(int pixel, quint8 degrees) { poke(quint8(2 + pixel), degrees); } // pixel 0..7
    void setNoise(bool on) { m_noise = on; }
    bool noise() const { return m_noise; }

protected:
    quint8 readRegister(quint8 reg, SimTime now) override;

private:
    bool m_noise = true;
};

} // namespace kestrava::sim
