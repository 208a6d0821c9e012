#pragma once

#include "sim/world/arena.h"
#include "sim/world/geometry.h"
#include "sim/world/simtime.h"

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

// A timed attempt at the task: from the first motor command after the robot is put
// at its start until the candle goes out, counting each time the robot touches a
// wall or a box.
struct Run
{
    enum class Phase {
        Ready,    // at the start: the clock starts with the first motor command
        Untimed,  // the robot was put somewhere else: no run until it is back at its start
        Running,
        Finished, // the candle went out
    };
    Phase phase = Phase::Ready;
    SimTime startedAt{}, endedAt{};
    int contacts = 0;
    bool operator==(const Run &) const = default;
};

// A point of the robot's path during a run: seconds since the run started, where the robot
// was, whether the fan's relay was on, and whether a contact began since the point before.
struct PathPoint
{
    double seconds = 0;
    geometry::Pose pose;
    bool fanOn = false;
    bool contact = false;
};

// The robot's surroundings and where the robot is in them: an arena (a rectangle
// with its origin at the south-west corner, x east and y north, in centimetres,
// walls and boxes inside), a candle and the run at putting it out.
// The world moves with injected time: advanceTo() runs the motor controllers' ramps
// and automatic stop in 25 ms ticks, drives the robot by its wheels and lets the
// fan blow.
class World
{
public:
    // Physical constants of the model (see docs/simulator.md).
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
    static constexpr qsizetype MaxObstacles = Arena::MaxBoxes;
    // The run's path: a point this often, and at each contact and fan switch. A longer run
    // keeps every other point and goes on at half the rate, so the path stays whole.
    static constexpr SimTime PathEvery = std::chrono::milliseconds(100);
    static constexpr qsizetype PathLength = 2000;
    // The fan blows from the robot's front; the flame goes out once it has blown at it
    // this long in all, within this reach and angle.
    static constexpr double FanReachCm = 30;
    static constexpr double FanHalfAngleDegrees = 20;
    static constexpr SimTime FanTimeToPutOut = std::chrono::seconds(1);

    // In the "open" arena.
    World();

    // ---- The arena ----
    // Puts the robot at the arena's start and a lit candle at the place the seed picks
    // (see candlePlace()), and readies a run.
    void setArena(const Arena &arena, std::optional<quint32> seed = std::nullopt);
    const Arena &arena() const { return m_arena; }
    double width() const { return m_arena.width; }
    double height() const { return m_arena.height; }
    const std::vector<geometry::Box> &obstacles() const { return m_obstacles; }
    // The arena's edges, its walls and every obstacle's edges, for the rays.
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
    // Back at the start with the candle lit again: a new run is ready. False, and
    // nothing changes, when an obstacle now stands on the start.
    bool returnToStart();
    // Where the robot has been, oldest first, bounded to TrailLength points.
    const std::deque<geometry::Point> &trail() const { return m_trail; }
    // Counts placements: a hand-set value holds while this stays what it was when set.
    quint64 placements() const { return m_placements; }

    // ---- The warm object (a candle) and the fan ----
    geometry::Point warmObject() const { return m_warmObject; }
    // A new, lit candle; false outside the arena.
    bool setWarmObject(geometry::Point where);
    bool candleLit() const { return m_candleLit; }
    // Whether the fan, when it runs, blows at the lit candle.
    bool fanReachesFlame() const;

    // ---- The run ----
    const Run &run() const { return m_run; }
    // A frame wrote to the motor controller: a ready run starts.
    void noteMotorCommand(SimTime now);
    // A ready run starts now, motors or not: a judged trial's run starts with its program.
    // False when no run is ready.
    bool beginRun(SimTime now);
    // Ends the run now, for whoever judges it: its clock stops, and until the robot is put
    // back at its start nothing moves, the fan blows no more and nothing counts.
    void endRun(SimTime now);
    std::optional<SimTime> runEndedAt() const { return m_endedAt; }
    // A judged run over by itself (its limit, the candle out) that its judge has not ended yet.
    bool overForTheJudge() const { return m_runDeadline && m_endedAt && !m_judgeEnded; }
    // A judged run: it ends by itself when the world reaches `deadline`, as endRun would end it
    // then (the trial's limit, which no wait of its program jumps past), or when the candle goes
    // out, so that nothing after counts however late the judge looks.
    void endRunAt(SimTime deadline);
    // The run's path, from its first motor command to the candle going out or its end.
    const std::vector<PathPoint> &path() const { return m_path; }

    // ---- Time ----
    SimTime time() const { return m_time; }
    // Runs the world up to `now` (earlier times change nothing). The first motor
    // controller drives the robot; every one ramps, stops and counts. `fanOn`: the
    // fan's relay is on.
    void advanceTo(SimTime now, const std::vector<SimMd23 *> &motors, bool fanOn = false);
    // Moves in whole steps of `step` only (0: up to any time asked for, the default): the
    // world at a time between steps is the world at the step before, so that how the time
    // is cut into advances (by frames, commands, a view's looks) changes nothing in it.
    // Stepped time's repeatable worlds rest on this.
    void setFixedStep(SimTime step) { m_fixedStep = step; }
    static constexpr SimTime SteppedWorldStep = std::chrono::milliseconds(1);
    // Anything moving or about to change by itself (the fan blowing at the flame), so
    // that a view keeps advancing the world while it shows it.
    bool moving(const std::vector<SimMd23 *> &motors, bool fanOn = false) const;

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
    void blowFor(SimTime span, bool fanOn);
    SimTime nextStep() const;
    SimTime restUntil() const;
    void moveTo(SimTime now, const std::vector<SimMd23 *> &motors, bool fanOn);
    void closeRun(SimTime now);
    void touch(bool blocked);
    void extendTrail();
    void followPath(const Run &before, bool fanOn);
    void addPathPoint(bool fanOn, bool contact);
    void thinPath();
    bool collides(geometry::Point centre) const;
    geometry::Point closestFreeAlong(const geometry::Pose &towards) const;
    bool inside(geometry::Point p) const;

    Arena m_arena;
    std::vector<geometry::Box> m_obstacles;
    std::vector<geometry::Segment> m_segments;
    geometry::Pose m_start;
    geometry::Pose m_pose;
    std::deque<geometry::Point> m_trail;
    geometry::Point m_warmObject;
    bool m_candleLit = true;
    SimTime m_fanBlown{}; // how long the fan has blown at the flame
    Run m_run;
    bool m_touching = false; // the robot's last move was stopped by a wall or a box
    quint64 m_placements = 0;
    std::optional<SimTime> m_endedAt;
    std::optional<SimTime> m_runDeadline;
    bool m_judgeEnded = false;
    std::vector<PathPoint> m_path;
    SimTime m_pathEvery = PathEvery;
    SimTime m_nextPathPoint{};
    bool m_pathFan = false;
    quint64 m_revision = 0;
    SimTime m_time{};
    SimTime m_fixedStep{};
    std::function<void()> m_listener;
};

} // namespace kestrava::sim
