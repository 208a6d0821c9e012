// The world the robot is in: its pose, the candle, the obstacles, the arena, and the run.
#include "sim/program/controlcommand.h"

#include "sim/program/simbus.h"
#include "sim/world/arena.h"
#include "sim/world/simclock.h"
#include "sim/world/world.h"

namespace kestrava::sim {

namespace {

geometry::Point point(ControlCall &call)
{
    const World &world = call.bus.world();
    const double x = call.words.decimal("x", 0, world.width());
    return {x, call.words.decimal("y", 0, world.height())};
}

// A day: longer than any trial, short enough that the clock's nanoseconds never overflow.
constexpr double MaxWaitSeconds = 86'400;

QString centimetres(double value)
{
    return QString::number(value, 'f', 1);
}

QString seconds(SimTime span)
{
    return QString::number(std::chrono::duration<double>(span).count(), 'f', 1);
}

QStringList pose(ControlCall &call)
{
    const geometry::Point where = point(call);
    const double heading = call.words.decimal("heading", 0, 359.9);
    call.words.noMore();
    if (!call.bus.world().place({where.x, where.y, heading}))
        refuse(QStringLiteral("the robot does not fit at %1 %2 (a wall or an obstacle is in the way)")
                   .arg(centimetres(where.x), centimetres(where.y)));
    return ok();
}

QStringList start(ControlCall &call)
{
    call.words.noMore();
    if (!call.bus.world().returnToStart())
        refuse(QStringLiteral("an obstacle stands on the start (obstacle remove or clear)"));
    return ok();
}

QStringList candle(ControlCall &call)
{
    const geometry::Point where = point(call);
    call.words.noMore();
    call.bus.world().setWarmObject(where);
    return ok();
}

QStringList addObstacle(ControlCall &call)
{
    World &world = call.bus.world();
    const geometry::Point corner = point(call);
    const double width = call.words.decimal("width", 1, world.width());
    const double height = call.words.decimal("height", 1, world.height());
    call.words.noMore();
    if (!world.addObstacle({corner.x, corner.y, width, height}))
        refuse(QStringLiteral("the obstacle must lie inside the arena and clear of the robot (at most %1 obstacles)")
                   .arg(World::MaxObstacles));
    return ok();
}

QStringList obstacle(ControlCall &call)
{
    const QString action = call.words.take("add, remove or clear").toLower();
    World &world = call.bus.world();
    if (action == QLatin1String("add"))
        return addObstacle(call);
    if (action == QLatin1String("clear")) {
        call.words.noMore();
        world.clearObstacles();
        return ok();
    }
    if (action != QLatin1String("remove"))
        refuse(QStringLiteral("expected add, remove or clear, not \"%1\"").arg(action));
    const uint number = call.words.number("obstacle number", 1000);
    call.words.noMore();
    if (!world.removeObstacle(qsizetype(number) - 1))
        refuse(QStringLiteral("no obstacle %1").arg(number));
    return ok();
}

QStringList world(ControlCall &call)
{
    call.words.noMore();
    const World &world = call.bus.world();
    const geometry::Pose robot = world.pose();
    QStringList lines{
        QStringLiteral("arena %1, %2 x %3 cm, fan on relay %4")
            .arg(world.arena().name).arg(world.width()).arg(world.height()).arg(world.arena().fanRelay),
        QStringLiteral("robot at %1 %2 heading %3").arg(centimetres(robot.x), centimetres(robot.y),
                                                        centimetres(robot.heading)),
        QStringLiteral("candle at %1 %2, %3").arg(centimetres(world.warmObject().x), centimetres(world.warmObject().y),
                                                 world.candleLit() ? QStringLiteral("lit") : QStringLiteral("out"))};
    int number = 0;
    for (const geometry::Segment &wall : world.arena().walls)
        lines << QStringLiteral("wall %1 from %2 %3 to %4 %5")
                     .arg(++number).arg(wall.a.x).arg(wall.a.y).arg(wall.b.x).arg(wall.b.y);
    number = 0;
    for (const geometry::Box &box : world.obstacles())
        lines << QStringLiteral("obstacle %1 at %2 %3 size %4 x %5")
                     .arg(++number).arg(box.x).arg(box.y).arg(box.width).arg(box.height);
    return lines + ok();
}

QStringList arena(ControlCall &call)
{
    // The rest of the line: a file's path may hold blanks.
    if (call.words.isEmpty())
        refuse(QStringLiteral("missing arena name or file"));
    const ArenaLoad load = loadArena(call.words.rest());
    if (!load.arena)
        refuse(load.error);
    call.bus.world().setArena(*load.arena, call.seed);
    return ok();
}

QStringList run(ControlCall &call)
{
    call.words.noMore();
    const Run &run = call.bus.world().run();
    switch (run.phase) {
    case Run::Phase::Running:
        if (const std::optional<SimTime> ended = call.bus.world().runEndedAt())
            return ok(QStringLiteral("ended time %1 contacts %2").arg(seconds(*ended - run.startedAt)).arg(run.contacts));
        return ok(QStringLiteral("running time %1 contacts %2").arg(seconds(call.now - run.startedAt)).arg(run.contacts));
    case Run::Phase::Finished:
        return ok(QStringLiteral("time %1 contacts %2 candle out").arg(seconds(run.endedAt - run.startedAt)).arg(run.contacts));
    default: return ok(QStringLiteral("not started"));
    }
}

QStringList end(ControlCall &call)
{
    call.bus.world().endRun(call.now);
    return run(call);
}

QStringList path(ControlCall &call)
{
    call.words.noMore();
    QStringList lines;
    for (const PathPoint &point : call.bus.world().path())
        lines << QStringLiteral("t %1 x %2 y %3 heading %4%5%6")
                     .arg(point.seconds, 0, 'f', 2)
                     .arg(centimetres(point.pose.x), centimetres(point.pose.y), centimetres(point.pose.heading))
                     .arg(point.fanOn ? QStringLiteral(" fan") : QString())
                     .arg(point.contact ? QStringLiteral(" contact") : QString());
    return lines + ok(QStringLiteral("%1 points").arg(lines.size()));
}

// Seconds to the nanosecond: a client that waits on the stepped clock reckons with it exactly.
QString clockSeconds(SimTime time)
{
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(time);
    return QStringLiteral("%1.%2").arg(whole.count()).arg((time - whole).count(), 9, 10, QLatin1Char('0'));
}

QStringList clock(ControlCall &call)
{
    call.words.noMore();
    return ok(QStringLiteral("%1 %2").arg(call.clock.stepped() ? QStringLiteral("stepped") : QStringLiteral("real"),
                                          clockSeconds(call.now)));
}

SimTime span(ControlCall &call, double longest)
{
    const double seconds = call.words.decimal("seconds", 0, longest);
    call.words.noMore();
    return std::chrono::round<SimTime>(std::chrono::duration<double>(seconds));
}

// Stepped time moves on by the wait at once, the world with it; real time is waited for by
// whoever asks, never here, where it would hold up the line.
QStringList wait(ControlCall &call)
{
    const SimTime length = span(call, MaxWaitSeconds);
    if (!call.clock.stepped())
        refuse(QStringLiteral("the clock is real: wait in real time"));
    call.clock.advanceTo(call.now + length);
    call.bus.advanceTo(call.clock.now());
    return ok(clockSeconds(call.clock.now()));
}

// A judged trial's program starts: its run is timed from now, on the simulator's clock, and
// ends by itself at the limit, so that no wait of the program jumps past it.
QStringList trial(ControlCall &call)
{
    const SimTime limit = span(call, MaxWaitSeconds);
    if (!call.bus.world().beginRun(call.now))
        refuse(QStringLiteral("no run is ready (start readies one)"));
    call.bus.world().endRunAt(call.now + limit);
    return ok();
}

} // namespace

const ControlCommands &worldCommands()
{
    static const ControlCommands commands{
        {"pose", pose, {{"pose X Y HEADING", "put the robot at X, Y cm from the arena's\n"
                                             "south-west corner, heading 0 north, 90 east"}}},
        {"start", start, {{"start", "put the robot back at its start pose, light the\n"
                                    "candle again and ready a new run"}}},
        {"candle", candle, {{"candle X Y", "put a new, lit candle at X, Y cm"}}},
        {"obstacle", obstacle, {{"obstacle add X Y W H", "a box with its south-west corner at X, Y cm"},
                                {"obstacle remove N", "remove the obstacle numbered N by world"},
                                {"obstacle clear", "remove every obstacle"}}},
        {"world", world, {{"world", "the arena, the robot, the candle, the walls and\nthe obstacles"}}, true},
        {"arena", arena, {{"arena NAME|FILE", "change the arena: open, house, corridor or a file"}}},
        {"run", run, {{"run", "the run: ok time 41.2 contacts 2 candle out,\n"
                              "ok running time 12.3 contacts 1 or ok not started"}}, true},
        {"end", end, {{"end", "end the run now: its clock stops, nothing moves\n"
                              "or counts until start (then run: ok ended ...)"}}},
        {"path", path, {{"path", "the run's path, one line a point:\n"
                                "t 1.2 x 30.0 y 125.0 heading 90.0 [fan] [contact]"}}, true},
        {"clock", clock, {{"clock", "the simulator's clock and its time in seconds:\n"
                                    "ok stepped 12.345678901 or ok real ..."}}, true},
        {"wait", wait, {{"wait SECONDS", "stepped clock: move time on by SECONDS at once\n"
                                         "(the world with it); ok and the new time"}}},
        {"trial", trial, {{"trial SECONDS", "a judged program starts: its run is timed from\n"
                                            "now and ends by itself SECONDS later"}}},
    };
    return commands;
}

} // namespace kestrava::sim
