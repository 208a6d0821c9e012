#pragma once

#include "sim/modules/simmodule.h"
#include "sim/world/world.h"

#include <chrono>

namespace kestrava::sim {

// An ultrasonic ranger. A command in register 0 (0x50 inches, 0x51 centimetres,
// 0x52 microseconds) starts a measurement: along its beam in the world when it has a
// place on the robot, or of the distance set by hand (which holds until released or
// until the robot is placed anew). The result
// appears in registers 2 (high) and 3 (low) once the ranging time has passed; until
// then every register reads 255, as on a real ranger. The sequence A0, AA, A5, new address
// written to register 0 moves the ranger to the new address (even, E0..FE).
class SimSrf02 : public SimModule
{
public:
    static constexpr quint8 SoftwareVersion = 6;
    static constexpr std::chrono::milliseconds RangingTime{65};

    explicit SimSrf02(quint16 distanceCm = 100, std::optional<RangerMount> mount = std::nullopt);
    QString kind() const override { return QStringLiteral("srf02"); }
    quint8 peek(quint8 reg, SimTime now) const override;
    QStringList describe(SimTime now) const override;

    // Hand-set: measures this distance until followWorld() or a placement of the robot.
    void setDistance(quint16 centimetres);
    void followWorld() { m_hold.release(); }
    bool handSet() const;
    // What a measurement would give in centimetres now (0: nothing echoes).
    quint16 distance() const;
    std::optional<RangerMount> mount() const { return m_mount; }
    void setMount(std::optional<RangerMount> mount) { m_mount = mount; }
    std::optional<RangerBeam> beam(quint8 address, SimTime now) const;
    quint16 result(SimTime now) const;
    bool measuring(SimTime now) const;

protected:
    void writeRegister(quint8 reg, quint8 value, SimTime now) override;

private:
    struct Measurement
    {
        quint16 result = 0; // in the unit of its command
        quint16 cm = 0;
    };
    Measurement current(SimTime now) const;
    // Where the beam starts and where it looks, in the arena; needs a mount and a world.
    geometry::Pose beamPose(const World &world) const;
    bool takeAddressChangeStep(quint8 value);
    quint16 measure(quint8 command) const;

    quint16 m_distanceCm;
    HandHold m_hold;
    std::optional<RangerMount> m_mount;
    Measurement m_previous;
    Measurement m_measuring;
    SimTime m_readyAt{};
    bool m_pending = false;
    int m_addressStep = 0; // how much of A0, AA, A5 has arrived
};

} // namespace kestrava::sim
