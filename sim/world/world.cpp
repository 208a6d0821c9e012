#include "sim/world/world.h"

#include "sim/modules/simmd23.h"
#include "sim/world/candleplaces.h"

#include <algorithm>

namespace kestrava::sim {

using namespace geometry;

namespace {

double seconds(SimTime span)
{
    return std::chrono::duration<double>(span).count();
}

// The arena at power-up: a crate to the east of the start and a table in the
// north-east, the candle ahead and a little to the right of the robot.
const Arena &openArena()
{
    static const Arena open = [] {
        const ArenaLoad load = loadArena(QStringLiteral("open"));
        if (!load.arena)
            qFatal("the bundled arena is missing from the program: %s", qPrintable(load.error));
        return *load.arena;
    }();
    return open;
}

double wheelCmPerSecond(int steps)
{
    return steps * SimMd23::CountsPerSecondPerStep * World::CmPerCount;
}

} // namespace

std::optional<RangerMount> mountForAddress(quint8 address)
{
    switch (address) {
    case 0xE0: return RangerMount{12, 0, 90};
    case 0xE2: return RangerMount{9, 9, 45};
    case 0xE4: return RangerMount{0, 12, 0};
    case 0xE6: return RangerMount{-9, 9, -45};
    case 0xE8: return RangerMount{-12, 0, -90};
    default: return std::nullopt;
    }
}

void HandHold::hold(const World *world)
{
    m_atPlacement = world ? world->placements() : 0;
}

bool HandHold::holds(const World *world) const
{
    return m_atPlacement && *m_atPlacement == (world ? world->placements() : 0);
}

World::World()
{
    setArena(openArena());
}

void World::setArena(const Arena &arena, std::optional<quint32> seed)
{
    m_arena = arena;
    m_obstacles = arena.boxes;
    m_start = arena.start;
    m_warmObject = candlePlace(arena, seed);
    rebuildSegments();
    returnToStart();
}

bool World::inside(Point p) const
{
    return p.x >= 0 && p.y >= 0 && p.x <= width() && p.y <= height();
}

bool World::collides(Point centre) const
{
    return geometry::collides(centre, RobotRadiusCm, width(), height(), m_obstacles, m_arena.walls);
}

bool World::addObstacle(const Box &box)
{
    if (qsizetype(m_obstacles.size()) >= MaxObstacles || box.width <= 0 || box.height <= 0
        || !inside({box.x, box.y}) || !inside({box.x + box.width, box.y + box.height}))
        return false;
    if (geometry::collides({m_pose.x, m_pose.y}, RobotRadiusCm, width(), height(), std::span(&box, 1)))
        return false;
    m_obstacles.push_back(box);
    rebuildSegments();
    markChanged();
    return true;
}

bool World::removeObstacle(qsizetype index)
{
    if (index < 0 || index >= qsizetype(m_obstacles.size()))
        return false;
    m_obstacles.erase(m_obstacles.begin() + index);
    rebuildSegments();
    markChanged();
    return true;
}

void World::clearObstacles()
{
    m_obstacles.clear();
    rebuildSegments();
    markChanged();
}

bool World::place(const Pose &pose)
{
    if (collides({pose.x, pose.y}))
        return false;
    m_pose = {pose.x, pose.y, normalizedDegrees(pose.heading)};
    m_trail = {{pose.x, pose.y}}; // a jump is no path the robot took
    m_touching = false;
    ++m_placements;
    // Carried elsewhere, the robot is off the task until it is back at its start.
    if (m_run.phase != Run::Phase::Finished)
        m_run = {Run::Phase::Untimed};
    markChanged();
    return true;
}

bool World::returnToStart()
{
    if (!place(m_start))
        return false;
    m_run = {};
    m_endedAt.reset();
    m_runDeadline.reset();
    m_judgeEnded = false;
    m_path.clear();
    m_candleLit = true;
    m_fanBlown = {};
    markChanged();
    return true;
}

bool World::setWarmObject(Point where)
{
    if (!inside(where))
        return false;
    m_warmObject = where;
    m_candleLit = true;
    m_fanBlown = {};
    markChanged();
    return true;
}

bool World::fanReachesFlame() const
{
    const Point front = onRobot(m_pose, 0, RobotRadiusCm);
    return m_candleLit && fanReaches(front, m_pose.heading, m_warmObject, FanReachCm, FanHalfAngleDegrees, m_segments);
}

void World::noteMotorCommand(SimTime now)
{
    beginRun(now);
}

bool World::beginRun(SimTime now)
{
    if (m_run.phase != Run::Phase::Ready || !m_candleLit || m_endedAt) // blown out before the run: nothing to time
        return false;
    m_run.phase = Run::Phase::Running;
    m_run.startedAt = now; // the frame or command that wrote tells of the change
    m_path.clear();
    m_pathEvery = PathEvery;
    addPathPoint(false, false);
    return true;
}

void World::endRun(SimTime now)
{
    m_judgeEnded = true;
    closeRun(now);
}

void World::closeRun(SimTime now)
{
    if (m_endedAt)
        return;
    m_endedAt = std::max(now, m_run.startedAt);
    if (m_run.phase == Run::Phase::Running && (m_path.empty() || m_path.back().seconds < seconds(m_time - m_run.startedAt)))
        addPathPoint(m_pathFan, false);
    markChanged();
}

void World::advanceTo(SimTime now, const std::vector<SimMd23 *> &motors, bool fanOn)
{
    if (m_runDeadline && now >= *m_runDeadline && !m_endedAt) {
        const SimTime deadline = *m_runDeadline;
        moveTo(deadline, motors, fanOn);
        closeRun(deadline);
    }
    moveTo(now, motors, fanOn);
}

void World::endRunAt(SimTime deadline)
{
    m_runDeadline = deadline;
}

void World::moveTo(SimTime now, const std::vector<SimMd23 *> &motors, bool fanOn)
{
    if (m_fixedStep > SimTime{})
        now -= now % m_fixedStep;
    while (m_time < now) {
        if (m_endedAt) { // the run was ended: the world stands still
            m_time = now;
            return;
        }
        // The relay switched when the world last stood here: the bus advances it before every frame.
        if (m_run.phase == Run::Phase::Running && fanOn != m_pathFan)
            addPathPoint(fanOn, false);
        const Run before = m_run;
        // Nothing changes between ticks of a world at rest but the flame.
        const bool atRest = !moving(motors);
        const SimTime nextTick = (m_time / Tick + 1) * Tick;
        const SimTime end = atRest ? std::min(now, restUntil()) : std::min({nextTick, now, nextStep()});
        blowFor(end - m_time, fanOn);
        if (!atRest)
            runFor(end - m_time, motors);
        m_time = end;
        if (!atRest && end == nextTick) {
            for (SimMd23 *motor : motors)
                motor->tick(end);
        }
        followPath(before, fanOn);
        // A judged run is over when the candle goes out: nothing after counts, however late the judge looks.
        if (m_runDeadline && m_run.phase == Run::Phase::Finished)
            m_endedAt = m_run.endedAt;
    }
}

// How far a world at rest may jump: a stepped world stops at its run's next path point, so that the
// path's times do not depend on how the time was cut.
SimTime World::restUntil() const
{
    if (m_fixedStep == SimTime{} || m_run.phase != Run::Phase::Running || m_nextPathPoint <= m_time)
        return SimTime::max();
    return (m_nextPathPoint + m_fixedStep - SimTime{1}) / m_fixedStep * m_fixedStep; // the step it falls in
}

// The end of a moving slice: the next whole step, or no bound when the world is not stepped.
SimTime World::nextStep() const
{
    return m_fixedStep > SimTime{} ? (m_time / m_fixedStep + 1) * m_fixedStep : SimTime::max();
}

void World::followPath(const Run &before, bool fanOn)
{
    const bool finished = before.phase == Run::Phase::Running && m_run.phase == Run::Phase::Finished;
    if (m_run.phase != Run::Phase::Running && !finished)
        return;
    const bool contact = m_run.contacts != before.contacts;
    if (finished || contact || m_time >= m_nextPathPoint)
        addPathPoint(fanOn, contact);
}

void World::addPathPoint(bool fanOn, bool contact)
{
    m_path.push_back({seconds(m_time - m_run.startedAt), m_pose, fanOn, contact});
    m_pathFan = fanOn;
    if (qsizetype(m_path.size()) > PathLength)
        thinPath();
    // After the interval the thinning left, so that the points after it keep the same pace.
    m_nextPathPoint = m_time + m_pathEvery;
}

void World::thinPath()
{
    // Every other point goes; a contact on one that goes stays marked on the one before.
    std::vector<PathPoint> kept;
    for (std::size_t i = 0; i < m_path.size(); ++i) {
        if (i % 2 == 0 || i + 1 == m_path.size())
            kept.push_back(m_path[i]);
        else
            kept.back().contact = kept.back().contact || m_path[i].contact;
    }
    m_path = std::move(kept);
    m_pathEvery *= 2;
}

bool World::moving(const std::vector<SimMd23 *> &motors, bool fanOn) const
{
    if (m_endedAt)
        return false;
    return (fanOn && fanReachesFlame())
        || std::any_of(motors.begin(), motors.end(), [](const SimMd23 *motor) { return !motor->atRest(); });
}

void World::markChanged()
{
    ++m_revision;
    if (m_listener)
        m_listener();
}

void World::rebuildSegments()
{
    m_segments = wallsAndObstacles(width(), height(), m_obstacles, m_arena.walls);
}

// The flame goes out at the moment the fan's time at it adds up, within the span.
void World::blowFor(SimTime span, bool fanOn)
{
    if (!fanOn || !fanReachesFlame())
        return;
    m_fanBlown += span;
    if (m_fanBlown < FanTimeToPutOut)
        return;
    m_candleLit = false;
    if (m_run.phase == Run::Phase::Running) {
        m_run.phase = Run::Phase::Finished;
        m_run.endedAt = m_time + span - (m_fanBlown - FanTimeToPutOut);
    }
    markChanged();
}

// The point nearest `towards` on the straight way there that the robot fits at.
Point World::closestFreeAlong(const Pose &towards) const
{
    double free = 0, blocked = 1;
    for (int halving = 0; halving < 16; ++halving) {
        const double middle = (free + blocked) / 2;
        const Point at{m_pose.x + (towards.x - m_pose.x) * middle, m_pose.y + (towards.y - m_pose.y) * middle};
        (collides(at) ? blocked : free) = middle;
    }
    return {m_pose.x + (towards.x - m_pose.x) * free, m_pose.y + (towards.y - m_pose.y) * free};
}

// A contact is each time the robot comes up against something, not each step it stays
// there: it ends only once the robot is clear of everything by a margin, so that moves
// cut finer than a tick, creeping up to a wall, count once.
void World::touch(bool blocked)
{
    constexpr double ClearCm = 1;
    if (blocked && !m_touching && m_run.phase == Run::Phase::Running)
        ++m_run.contacts;
    m_touching = blocked
        || (m_touching
            && geometry::collides({m_pose.x, m_pose.y}, RobotRadiusCm + ClearCm, width(), height(), m_obstacles,
                                  m_arena.walls));
}

void World::runFor(SimTime span, const std::vector<SimMd23 *> &motors)
{
    for (SimMd23 *motor : motors)
        motor->run(span);
    if (motors.empty())
        return;
    const auto wheels = motors.front()->wheelSpeeds();
    const Pose next = drive(m_pose, wheelCmPerSecond(wheels[0]), wheelCmPerSecond(wheels[1]), WheelTrackCm,
                            seconds(span));
    // Against a wall or an obstacle the wheels slip: the robot goes up to it and only turns there.
    const bool blocked = collides({next.x, next.y});
    const Point reached = blocked ? closestFreeAlong(next) : Point{next.x, next.y};
    m_pose = {reached.x, reached.y, next.heading};
    touch(blocked);
    extendTrail();
}

void World::extendTrail()
{
    const Point here{m_pose.x, m_pose.y};
    if (!m_trail.empty() && distanceBetween(m_trail.back(), here) < TrailSpacingCm)
        return;
    m_trail.push_back(here);
    if (qsizetype(m_trail.size()) > TrailLength)
        m_trail.pop_front();
}

} // namespace kestrava::sim
