#include "sim/modules/simsrf02.h"

#include <cmath>

namespace kestrava::sim {

namespace {
constexpr quint8 AddressSequence[] = {0xA0, 0xAA, 0xA5};
constexpr quint8 LowestAddress = 0xE0;
} // namespace

SimSrf02::SimSrf02(quint16 distanceCm, std::optional<RangerMount> mount)
    : m_distanceCm(distanceCm)
    , m_mount(mount)
{
}

void SimSrf02::setDistance(quint16 centimetres)
{
    m_distanceCm = centimetres;
    m_hold.hold(world());
}

bool SimSrf02::handSet() const
{
    return m_hold.holds(world());
}

quint16 SimSrf02::distance() const
{
    const World *arena = world();
    if (!m_mount || !arena || handSet())
        return m_distanceCm;
    const geometry::Pose beam = beamPose(*arena);
    const std::optional<double> echo = geometry::castRay({beam.x, beam.y}, beam.heading, arena->segments());
    return echo && *echo <= World::RangerReachCm ? quint16(std::lround(*echo)) : 0;
}

geometry::Pose SimSrf02::beamPose(const World &world) const
{
    const geometry::Pose robot = world.pose();
    const geometry::Point origin = geometry::onRobot(robot, m_mount->rightCm, m_mount->forwardCm);
    return {origin.x, origin.y, geometry::normalizedDegrees(robot.heading + m_mount->angleDegrees)};
}

std::optional<RangerBeam> SimSrf02::beam(quint8 address, SimTime now) const
{
    const World *arena = world();
    if (!m_mount || !arena)
        return std::nullopt;
    const geometry::Pose beam = beamPose(*arena);
    return RangerBeam{address, {beam.x, beam.y}, beam.heading, current(now).cm, handSet()};
}

SimSrf02::Measurement SimSrf02::current(SimTime now) const
{
    return m_pending && now >= m_readyAt ? m_measuring : m_previous;
}

quint16 SimSrf02::result(SimTime now) const
{
    return current(now).result;
}

bool SimSrf02::measuring(SimTime now) const
{
    return m_pending && now < m_readyAt;
}

quint8 SimSrf02::peek(quint8 reg, SimTime now) const
{
    if (measuring(now))
        return 0xFF; // a ranger busy measuring answers nothing but 255
    switch (reg) {
    case 0: return SoftwareVersion;
    case 1: return 0x80;
    case 2: return quint8(result(now) >> 8);
    case 3: return quint8(result(now) & 0xFF);
    default: return SimModule::peek(reg, now);
    }
}

void SimSrf02::writeRegister(quint8 reg, quint8 value, SimTime now)
{
    if (reg != 0)
        return;
    if (takeAddressChangeStep(value))
        return;
    if (value < 0x50 || value > 0x52)
        return;
    m_previous = current(now);
    m_measuring = {measure(value), distance()};
    m_readyAt = now + RangingTime;
    m_pending = true;
}

bool SimSrf02::takeAddressChangeStep(quint8 value)
{
    if (m_addressStep == 3) {
        m_addressStep = 0;
        if (value >= LowestAddress && !(value & 1))
            requestAddress(value);
        return true;
    }
    if (value == AddressSequence[m_addressStep]) {
        ++m_addressStep;
        return true;
    }
    m_addressStep = value == AddressSequence[0] ? 1 : 0;
    return m_addressStep == 1;
}

quint16 SimSrf02::measure(quint8 command) const
{
    const quint16 cm = distance();
    switch (command) {
    case 0x50: return quint16(std::lround(cm / 2.54));
    case 0x52: return quint16(std::min<long>(std::lround(cm * 58.0), 0xFFFF));
    default: return cm;
    }
}

QStringList SimSrf02::describe(SimTime now) const
{
    return {QStringLiteral("distance %1 cm%2, last result %3%4")
                .arg(distance())
                .arg(handSet() ? QStringLiteral(" (set by hand)") : QString())
                .arg(result(now))
                .arg(measuring(now) ? QStringLiteral(", measuring") : QString())};
}

} // namespace kestrava::sim
