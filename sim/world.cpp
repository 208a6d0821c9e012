#include "world.h"

#include "simmd23.h"

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
const Box InitialObstacles[] = {{180, 40, 40, 80}, {380, 250, 80, 60}};
constexpr Pose InitialStart{100, 80, 0};
constexpr Point InitialWarmObject{140, 300};

double wheelCmPerSecond(int steps)
{
    return steps * SimMd23::CountsPerSecondPerStep * World::CmPerCount;
}

bool inArena(Point p)
{
    return p.x >= 0 && p.y >= 0 && p.x <= World::ArenaWidthCm && p.y <= World::ArenaHeightCm;
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
    : m_obstacles(std::begin(InitialObstacles), std::end(InitialObstacles))
    , m_start(InitialStart)
    , m_pose(InitialStart)
    , m_trail{{InitialStart.x, InitialStart.y}}
    , m_warmObject(InitialWarmObject)
{
    rebuildSegments();
}

bool World::addObstacle(const Box &box)
{
    if (qsizetype(m_obstacles.size()) >= MaxObstacles || box.width <= 0 || box.height <= 0
        || !inArena({box.x, box.y}) || !inArena({box.x + box.width, box.y + box.height}))
        return false;
    if (collides({m_pose.x, m_pose.y}, RobotRadiusCm, ArenaWidthCm, ArenaHeightCm, std::span(&box, 1)))
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
    if (collides({pose.x, pose.y}, RobotRadiusCm, ArenaWidthCm, ArenaHeightCm, m_obstacles))
        return false;
    m_pose = {pose.x, pose.y, normalizedDegrees(pose.heading)};
    m_trail = {{pose.x, pose.y}}; // a jump is no path the robot took
    ++m_placements;
    markChanged();
    return true;
}

bool World::setWarmObject(Point where)
{
    if (!inArena(where))
        return false;
    m_warmObject = where;
    markChanged();
    return true;
}

void World::advanceTo(SimTime now, const std::vector<SimMd23 *> &motors)
{
    while (m_time < now) {
        if (!moving(motors)) { // nothing changes between ticks of a world at rest
            m_time = now;
            return;
        }
        const SimTime nextTick = (m_time / Tick + 1) * Tick;
        const SimTime end = std::min(nextTick, now);
        runFor(end - m_time, motors);
        m_time = end;
        if (end == nextTick) {
            for (SimMd23 *motor : motors)
                motor->tick(end);
        }
    }
}

bool World::moving(const std::vector<SimMd23 *> &motors) const
{
    return std::any_of(motors.begin(), motors.end(), [](const SimMd23 *motor) { return !motor->atRest(); });
}

void World::markChanged()
{
    ++m_revision;
    if (m_listener)
        m_listener();
}

void World::rebuildSegments()
{
    m_segments = wallsAndObstacles(ArenaWidthCm, ArenaHeightCm, m_obstacles);
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
    // Against a wall or an obstacle the wheels slip: the robot only turns where it is.
    if (collides({next.x, next.y}, RobotRadiusCm, ArenaWidthCm, ArenaHeightCm, m_obstacles))
        m_pose.heading = next.heading;
    else
        m_pose = next;
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
