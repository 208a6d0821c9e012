// The world the robot is in: its pose, the candle, the obstacles, the arena, and the run.
#include "sim/program/controlcommand.h"

#include "sim/program/simbus.h"
#include "sim/world/arena.h"
#include "sim/world/simclock.h"
#include "sim/world/world.h"

#include <QJsonArray>

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

ControlAnswer pose(ControlCall &call)
{
    const geometry::Point where = point(call);
    const double heading = call.words.decimal("heading", 0, 359.9);
    call.words.noMore();
    if (!call.bus.world().place({where.x, where.y, heading}))
        refuse(QStringLiteral("the robot does not fit at %1 %2 (a wall or an obstacle is in the way)")
                   .arg(centimetres(where.x), centimetres(where.y)));
    return ok();
}

ControlAnswer start(ControlCall &call)
{
    call.words.noMore();
    if (!call.bus.world().returnToStart())
        refuse(QStringLiteral("an obstacle stands on the start (obstacle remove or clear)"));
    return ok();
}

ControlAnswer candle(ControlCall &call)
{
    const geometry::Point where = point(call);
    call.words.noMore();
    call.bus.world().setWarmObject(where);
    return ok();
}

ControlAnswer addObstacle(ControlCall &call)
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

ControlAnswer obstacle(ControlCall &call)
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

// Centimetres and degrees to the tenth, as the prose shows them, so that both forms say the same.
double tenths(double value)
{
    return centimetres(value).toDouble();
}

QJsonArray numbers(std::initializer_list<double> values)
{
    QJsonArray array;
    for (const double value : values)
        array.append(value);
    return array;
}

ControlAnswer world(ControlCall &call)
{
    call.words.noMore();
    const World &world = call.bus.world();
    const geometry::Pose robot = world.pose();
    const geometry::Point candle = world.warmObject();
    ControlAnswer answer = ok();
    answer.lines = QStringList{
        QStringLiteral("arena %1, %2 x %3 cm, fan on relay %4")
            .arg(world.arena().name).arg(world.width()).arg(world.height()).arg(world.arena().fanRelay),
        QStringLiteral("robot at %1 %2 heading %3").arg(centimetres(robot.x), centimetres(robot.y),
                                                        centimetres(robot.heading)),
        QStringLiteral("candle at %1 %2, %3").arg(centimetres(candle.x), centimetres(candle.y),
                                                 world.candleLit() ? QStringLiteral("lit") : QStringLiteral("out"))};
    answer.values = {
        {"arena", QJsonObject{{"name", world.arena().name}, {"width", world.width()}, {"height", world.height()},
                              {"fan_relay", world.arena().fanRelay}}},
        {"robot", QJsonObject{{"x", tenths(robot.x)}, {"y", tenths(robot.y)}, {"heading", tenths(robot.heading)}}},
        {"candle", QJsonObject{{"x", tenths(candle.x)}, {"y", tenths(candle.y)}, {"lit", world.candleLit()}}}};
    QJsonArray walls, boxes;
    int number = 0;
    for (const geometry::Segment &wall : world.arena().walls) {
        answer.lines << QStringLiteral("wall %1 from %2 %3 to %4 %5")
                            .arg(++number).arg(wall.a.x).arg(wall.a.y).arg(wall.b.x).arg(wall.b.y);
        walls.append(numbers({wall.a.x, wall.a.y, wall.b.x, wall.b.y}));
    }
    number = 0;
    for (const geometry::Box &box : world.obstacles()) {
        answer.lines << QStringLiteral("obstacle %1 at %2 %3 size %4 x %5")
                            .arg(++number).arg(box.x).arg(box.y).arg(box.width).arg(box.height);
        boxes.append(numbers({box.x, box.y, box.width, box.height}));
    }
    answer.values.insert(QStringLiteral("walls"), walls);
    answer.values.insert(QStringLiteral("obstacles"), boxes);
    return answer;
}

ControlAnswer arena(ControlCall &call)
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

// The run as its state, its clock and its contacts: "ok running time 12.3 contacts 1".
ControlAnswer runAnswer(const char *state, std::optional<SimTime> span, int contacts)
{
    if (!span)
        return ok(QLatin1String(state), {{"state", QLatin1String(state)}, {"time", 0}, {"contacts", 0}});
    const QString time = seconds(*span);
    const QJsonObject values{{"state", QLatin1String(state)}, {"time", time.toDouble()}, {"contacts", contacts}};
    const QString clock = QStringLiteral("time %1 contacts %2").arg(time).arg(contacts);
    if (QLatin1String(state) == QLatin1String("finished"))
        return ok(clock + QStringLiteral(" candle out"), values);
    return ok(QLatin1String(state) + QLatin1Char(' ') + clock, values);
}

ControlAnswer run(ControlCall &call)
{
    call.words.noMore();
    const Run &run = call.bus.world().run();
    switch (run.phase) {
    case Run::Phase::Running:
        if (const std::optional<SimTime> ended = call.bus.world().runEndedAt())
            return runAnswer("ended", *ended - run.startedAt, run.contacts);
        return runAnswer("running", call.now - run.startedAt, run.contacts);
    case Run::Phase::Finished: return runAnswer("finished", run.endedAt - run.startedAt, run.contacts);
    case Run::Phase::Ready:
    case Run::Phase::Untimed: return runAnswer("not started", std::nullopt, 0);
    }
    return runAnswer("not started", std::nullopt, 0);
}

ControlAnswer end(ControlCall &call)
{
    call.bus.world().endRun(call.now);
    return run(call);
}

ControlAnswer path(ControlCall &call)
{
    call.words.noMore();
    ControlAnswer answer;
    QJsonArray points;
    for (const PathPoint &point : call.bus.world().path()) {
        const QString t = QString::number(point.seconds, 'f', 2);
        answer.lines << QStringLiteral("t %1 x %2 y %3 heading %4%5%6")
                            .arg(t, centimetres(point.pose.x), centimetres(point.pose.y), centimetres(point.pose.heading))
                            .arg(point.fanOn ? QStringLiteral(" fan") : QString())
                            .arg(point.contact ? QStringLiteral(" contact") : QString());
        points.append(QJsonObject{{"t", t.toDouble()}, {"x", tenths(point.pose.x)}, {"y", tenths(point.pose.y)},
                                  {"heading", tenths(point.pose.heading)}, {"fan", point.fanOn},
                                  {"contact", point.contact}});
    }
    answer.result = QStringLiteral("%1 points").arg(points.size());
    answer.values = {{"points", points}};
    return answer;
}

// Seconds to the nanosecond: a client that waits on the stepped clock reckons with it exactly.
QString clockSeconds(SimTime time)
{
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(time);
    return QStringLiteral("%1.%2").arg(whole.count()).arg((time - whole).count(), 9, 10, QLatin1Char('0'));
}

// For a program: the time in seconds, and in whole nanoseconds to reckon with exactly.
QJsonObject clockValues(const SimClock &clock, SimTime time)
{
    return {{"clock", clock.stepped() ? QStringLiteral("stepped") : QStringLiteral("real")},
            {"time", std::chrono::duration<double>(time).count()}, {"nanoseconds", qint64(time.count())}};
}

ControlAnswer clock(ControlCall &call)
{
    call.words.noMore();
    const QString kind = call.clock.stepped() ? QStringLiteral("stepped") : QStringLiteral("real");
    return ok(kind + QLatin1Char(' ') + clockSeconds(call.now), clockValues(call.clock, call.now));
}

SimTime span(ControlCall &call, double longest)
{
    const double seconds = call.words.decimal("seconds", 0, longest);
    call.words.noMore();
    return std::chrono::round<SimTime>(std::chrono::duration<double>(seconds));
}

// Stepped time moves on by the wait at once, the world with it; real time is waited for by
// whoever asks, never here, where it would hold up the line.
ControlAnswer wait(ControlCall &call)
{
    const SimTime length = span(call, MaxWaitSeconds);
    if (!call.clock.stepped())
        refuse(QStringLiteral("the clock is real: wait in real time"));
    call.clock.advanceTo(call.now + length);
    call.bus.advanceTo(call.clock.now());
    return ok(clockSeconds(call.clock.now()), clockValues(call.clock, call.clock.now()));
}

// A judged trial's program starts: its run is timed from now, on the simulator's clock, and
// ends by itself at the limit, so that no wait of the program jumps past it.
ControlAnswer trial(ControlCall &call)
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
        {"world", world, {{"world", "the arena, the robot, the candle, the walls and\nthe obstacles"}}, Reach::Looks},
        {"arena", arena, {{"arena NAME|FILE", "change the arena: open, house, corridor or a file"}}},
        {"run", run, {{"run", "the run: ok time 41.2 contacts 2 candle out,\n"
                              "ok running time 12.3 contacts 1 or ok not started"}}, Reach::LooksInTrial},
        {"end", end, {{"end", "end the run now: its clock stops, nothing moves\n"
                              "or counts until start (then run: ok ended ...)"}}},
        {"path", path, {{"path", "the run's path, one line a point:\n"
                                "t 1.2 x 30.0 y 125.0 heading 90.0 [fan] [contact]"}}, Reach::LooksInTrial},
        {"clock", clock, {{"clock", "the simulator's clock and its time in seconds:\n"
                                    "ok stepped 12.345678901 or ok real ..."}}, Reach::LooksInTrial},
        {"wait", wait, {{"wait SECONDS", "stepped clock: move time on by SECONDS at once\n"
                                         "(the world with it); ok and the new time"}}, Reach::LooksInTrial},
        {"trial", trial, {{"trial SECONDS", "a judged program starts: its run is timed from\n"
                                            "now and ends by itself SECONDS later"}}},
    };
    return commands;
}

} // namespace kestrava::sim
