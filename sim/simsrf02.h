#pragma once

#include "simmodule.h"

#include <chrono>

namespace kestrava::sim {

// An ultrasonic ranger. A command in register 0 (0x50 inches, 0x51 centimetres,
// 0x52 microseconds) starts a measurement of the distance set for it; the result
// appears in registers 2 (high) and 3 (low) once the ranging time has passed; until
// then every register reads 255, as on a real ranger. The sequence A0, AA, A5, new address
// written to register 0 moves the ranger to the new address (even, E0..FE).
class SimSrf02 : public SimModule
{
public:
    static constexpr quint8 SoftwareVersion = 6;
    static constexpr std::chrono::milliseconds RangingTime{65};

    explicit SimSrf02(quint16 distanceCm = 100);
    QString kind() const override { return QStringLiteral("srf02"); }
    quint8 peek(quint8 reg, SimTime now) const override;
    QStringList describe(SimTime now) const override;

    void setDistance(quint16 centimetres) { m_distanceCm = centimetres; }
    quint16 distance() const { return m_distanceCm; }
    quint16 result(SimTime now) const;
    bool measuring(SimTime now) const;

protected:
    void writeRegister(quint8 reg, quint8 value, SimTime now) override;

private:
    bool takeAddressChangeStep(quint8 value);
    quint16 measure(quint8 command) const;

    quint16 m_distanceCm;
    quint16 m_previous = 0;
    quint16 m_measuring = 0;
    SimTime m_readyAt{};
    bool m_pending = false;
    int m_addressStep = 0; // how much of A0, AA, A5 has arrived
};

} // namespace kestrava::sim
