#pragma once

#include "geometry.h"
#include "simtime.h"

#include <QtGlobal>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace kestrava::sim {

class SimMd23;
class World;

// Where a ranger sits on the robot and where it looks: right of and ahead of the
// robot's centre, and its beam's angle from the robot's heading (clockwise).
struct RangerMount
{
    double rightCm = 0, forwardCm = 0, angleDegrees = 0;
};

// The mount of the robot's ranger that answers at an address at power-up: E0 right
// side, E2 front-right, E4 front, E6 front-left, E8 left side; none for others.
std::optional<RangerMount> mountForAddress(quint8 address);

// A value set by hand on a sensor: it holds until released, or until the robot is
// placed anew (a `pose` or a return to the start), so that a fault set for a test
// stays while the robot drives, and a view's drag always shows the arena again.
class HandHold
{
public:
    void hold(const World *world);
    void release() { m_atPlacement.reset(); }
    bool holds(const World *world) const;

private:
    std::optional<quint64> m_atPlacement;
};

// A ranger's beam in the arena, as the view draws it.
struct RangerBeam
{
    quint8 address = 0;
    geometry::Point origin;
    double headingDegrees = 0;
    quint16 lastCm = 0;   // the last result in centimetres (0: nothing echoed)
    bool handSet = false; // measuring a distance set by command, not the arena
};

// The robot's surroundings and where the robot is in them. The arena is a rectangle
// with its origin at the south-west corner, x east and y north, in centimetres.
// The world moves with injected time: advanceTo() runs the motor controllers' ramps
// and automatic stop in 25 ms ticks and drives the robot by its wheels.
class World
{
public:
    // Physical constants of the model (see docs/simulator.md).
    static constexpr double ArenaWidthCm = 600;
    static constexpr double ArenaHeightCm = 400;
    static constexpr double RobotRadiusCm = 15;      // the body, for collisions
    static constexpr double WheelTrackCm = 13.7;     // between the wheels: the panel's "90" turns 90 degrees
    static constexpr double CountsPerTurn = 360;     // encoder counts per wheel turn
    static constexpr double WheelDiameterCm = 10;
    static constexpr double CmPerCount = 3.14159265358979 * WheelDiameterCm / CountsPerTurn;
    static constexpr double RangerReachCm = 600;     // beyond it nothing echoes: 0
    static constexpr double ThermalFieldDegrees = 41;
    static constexpr double AmbientCelsius = 22;
    static constexpr SimTime Tick = std::chrono::milliseconds(25);
    static constexpr qsizetype TrailLength = 2000;   // points kept, oldest dropped
    static constexpr double TrailSpacingCm = 2;      // a new point once the robot moved this far
    static constexpr qsizetype MaxObstacles = 64;

    World();

    // ---- The arena ----
    double width() const { return ArenaWidthCm; }
    double height() const { return ArenaHeightCm; }
    const std::vector<geometry::Box> &obstacles() const { return m_obstacles; }
    // The arena's walls and every obstacle's edges, for the rays.
    const std::vector<geometry::Segment> &segments() const { return m_segments; }
    // False when the box is empty, outside the arena, would hold the robot, or the
    // arena already holds MaxObstacles.
    bool addObstacle(const geometry::Box &box);
    bool removeObstacle(qsizetype index);
    void clearObstacles();

    // ---- The robot ----
    geometry::Pose pose() const { return m_pose; }
    geometry::Pose startPose() const { return m_start; }
    // Puts the robot at a pose (false, and nothing changes, when it would not fit
    // there). A placement releases every hand-set sensor value (see placements()).
    bool place(const geometry::Pose &pose);
    void returnToStart() { place(m_start); }
    // Where the robot has been, oldest first, bounded to TrailLength points.
    const std::deque<geometry::Point> &trail() const { return m_trail; }
    // Counts placements: a hand-set value holds while this stays what it was when set.
    quint64 placements() const { return m_placements; }

    // ---- The warm object (a candle) ----
    geometry::Point warmObject() const { return m_warmObject; }
    bool setWarmObject(geometry::Point where); // false outside the arena

    // ---- Time ----
    SimTime time() const { return m_time; }
    // Runs the world up to `now` (earlier times change nothing). The first motor
    // controller drives the robot; every one ramps, stops and counts.
    void advanceTo(SimTime now, const std::vector<SimMd23 *> &motors);
    // Anything moving, so that a view keeps advancing the world while it shows it.
    bool moving(const std::vector<SimMd23 *> &motors) const;

    // ---- Being told of changes ----
    // Grows by one for every change anyone might show; a view repaints when it moved.
    quint64 revision() const { return m_revision; }
    // Called after each change, synchronously and from inside the bus's work: keep
    // it cheap (schedule a repaint) and never call back into the bus from it.
    void setChangeListener(std::function<void()> listener) { m_listener = std::move(listener); }
    void markChanged();

private:
    void rebuildSegments();
    void runFor(SimTime span, const std::vector<SimMd23 *> &motors);
    void extendTrail();

    std::vector<geometry::Box> m_obstacles;
    std::vector<geometry::Segment> m_segments;
    geometry::Pose m_start;
    geometry::Pose m_pose;
    std::deque<geometry::Point> m_trail;
    geometry::Point m_warmObject;
    quint64 m_placements = 0;
    quint64 m_revision = 0;
    SimTime m_time{};
    std::function<void()> m_listener;
};

} // namespace kestrava::sim
