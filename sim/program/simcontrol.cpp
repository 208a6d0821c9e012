#include "sim/program/simcontrol.h"

#include "sim/program/modulekinds.h"
#include "sim/program/simbus.h"
#include "sim/modules/simcmps03.h"
#include "sim/modules/simlcd03.h"
#include "sim/modules/simsrf02.h"
#include "sim/modules/simtpa81.h"
#include "sim/world/world.h"

#include <QRegularExpression>

namespace kestrava::sim {

namespace {

struct CommandError
{
    QString text;
};

constexpr qsizetype MaxFaultBytes = 1024;
constexpr int MaxDelayMs = 60'000;

[[noreturn]] void refuse(const QString &text)
{
    throw CommandError{text};
}

QString takeArg(QStringList &args, const char *what)
{
    if (args.isEmpty())
        refuse(QStringLiteral("missing %1").arg(QLatin1String(what)));
    return args.takeFirst();
}

std::optional<quint8> parseAddress(const QString &text)
{
    QString digits = text;
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok || digits.size() > 2)
        return std::nullopt;
    return quint8(value);
}

quint8 takeAddress(QStringList &args)
{
    const QString text = takeArg(args, "address");
    const std::optional<quint8> address = parseAddress(text);
    if (!address)
        refuse(QStringLiteral("\"%1\" is not a bus address (hexadecimal 00..FE)").arg(text));
    if (*address & 1)
        refuse(QStringLiteral("module addresses are even (%1 is the read address of %2)")
                   .arg(text, hexAddress(*address & 0xFE)));
    return *address;
}

uint takeNumber(QStringList &args, const char *what, uint max)
{
    const QString text = takeArg(args, what);
    bool ok = false;
    const uint value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2).toUInt(&ok, 16)
                                                                                : text.toUInt(&ok, 10);
    if (!ok || value > max)
        refuse(QStringLiteral("%1 must be a number from 0 to %2, not \"%3\"").arg(QLatin1String(what)).arg(max).arg(text));
    return value;
}

QByteArray takeBytes(QStringList &args)
{
    QByteArray bytes;
    while (!args.isEmpty()) {
        bytes.append(char(takeNumber(args, "byte", 255)));
        if (bytes.size() > MaxFaultBytes)
            refuse(QStringLiteral("at most %1 bytes").arg(MaxFaultBytes));
    }
    return bytes;
}

bool takeOnOff(QStringList &args, bool byDefault)
{
    if (args.isEmpty())
        return byDefault;
    const QString word = args.takeFirst().toLower();
    if (word != QLatin1String("on") && word != QLatin1String("off"))
        refuse(QStringLiteral("expected on or off, not \"%1\"").arg(word));
    return word == QLatin1String("on");
}

QStringList ok(const QString &rest = {})
{
    return {rest.isEmpty() ? QStringLiteral("ok") : QStringLiteral("ok ") + rest};
}

double takeDecimal(QStringList &args, const char *what, double low, double high)
{
    const QString text = takeArg(args, what);
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !(value >= low && value <= high))
        refuse(QStringLiteral("%1 must be a number from %2 to %3, not \"%4\"")
                   .arg(QLatin1String(what)).arg(low).arg(high).arg(text));
    return value;
}

geometry::Point takePoint(QStringList &args, const World &world)
{
    const double x = takeDecimal(args, "x", 0, world.width());
    return {x, takeDecimal(args, "y", 0, world.height())};
}

QString centimetres(double value)
{
    return QString::number(value, 'f', 1);
}

QString seconds(SimTime span)
{
    return QString::number(std::chrono::duration<double>(span).count(), 'f', 1);
}

void expectNoMore(const QStringList &args)
{
    if (!args.isEmpty())
        refuse(QStringLiteral("unexpected \"%1\"").arg(args.join(QLatin1Char(' '))));
}

// The word "world" hands a sensor back to the world after a value set by hand.
template<typename Sensor>
bool handBackToWorld(QStringList &args, Sensor &sensor)
{
    if (args.isEmpty() || args.first().toLower() != QLatin1String("world"))
        return false;
    args.removeFirst();
    expectNoMore(args);
    sensor.followWorld();
    return true;
}

} // namespace

const SimControl::Command SimControl::commands[] = {
    {"help", &SimControl::help, true},     {"list", &SimControl::list, true},     {"add", &SimControl::add},
    {"remove", &SimControl::remove},       {"set", &SimControl::set},             {"write", &SimControl::write},
    {"get", &SimControl::get, true},       {"silence", &SimControl::silence},     {"delay", &SimControl::delay},
    {"garbage", &SimControl::garbage},     {"extra", &SimControl::extra},         {"drop", &SimControl::drop},
    {"restore", &SimControl::restore},     {"quit", &SimControl::quit},           {"screen", &SimControl::screen, true},
    {"press", &SimControl::press},         {"release", &SimControl::release},     {"type", &SimControl::type},
    {"bearing", &SimControl::bearing},     {"temp", &SimControl::temp},           {"noise", &SimControl::noise},
    {"range", &SimControl::range},         {"pose", &SimControl::pose},           {"start", &SimControl::start},
    {"candle", &SimControl::candle},       {"obstacle", &SimControl::obstacle},   {"world", &SimControl::world, true},
    {"arena", &SimControl::arena},         {"run", &SimControl::run, true},       {"end", &SimControl::end},
    {"path", &SimControl::path, true},
};

QString SimControl::commandHelp()
{
    return QStringLiteral(
        "Control commands, one per line on standard input. Each answers with a last line\n"
        "\"ok\" (sometimes followed by a result) or \"error: <reason>\"; list, screen and help\n"
        "print their lines before the ok. ADDR is a module's even bus address in hexadecimal\n"
        "(B0 or 0xB0). REG, VALUE, COUNT and BYTE are decimal, or hexadecimal with 0x.\n"
        "Blank lines and lines starting with # are ignored.\n"
        "  help                        this list\n"
        "  list                        the modules on the bus, their faults and state\n"
        "  add ADDR KIND               add a module; KIND: generic md23 sd21 rly08 lcd03\n"
        "                              cmps03 tpa81 srf02\n"
        "  remove ADDR                 remove a module; its address falls silent\n"
        "  set ADDR REG BYTE...        store bytes in consecutive registers as they are\n"
        "  write ADDR REG BYTE...      write registers as a bus write does (commands act)\n"
        "  get ADDR REG [COUNT]        show registers as a read would give them: ok 79 00\n"
        "  silence ADDR [on|off]       the module answers nothing (on by default)\n"
        "  delay ADDR MS               every answer of the module comes MS ms late (0 ends)\n"
        "  garbage ADDR BYTE...        send these bytes before the module's next answer\n"
        "  extra ADDR BYTE...          send these bytes after the module's next answer\n"
        "  drop                        unplug the adapter: the device disappears\n"
        "  restore                     plug a fresh adapter in: ok <new device path>\n"
        "  quit                        end the simulator\n"
        "  screen [ADDR]               the display's four lines, between bars\n"
        "  press [ADDR] KEY            hold a keypad key down (1-9 * 0 #)\n"
        "  release [ADDR] [KEY]        let go of one key, or of all held keys\n"
        "  type [ADDR] KEYS [READS]    type keys one after another; each is held for\n"
        "                              READS reads of its register (1 by default), then\n"
        "                              released for one read of the keypad\n"
        "  bearing [ADDR] DEGREES      set the compass bearing (0 to 359.9)\n"
        "  temp [ADDR] AMBIENT [P1..P8]  set the thermal array's temperatures\n"
        "  noise [ADDR] on|off         the thermal array's wandering by one degree\n"
        "  range [ADDR] CM             the distance a ranger measures (0 to 65535 cm)\n"
        "  bearing|temp|range [ADDR] world   hand the sensor back to the world\n"
        "  pose X Y HEADING            put the robot at X, Y cm from the arena's\n"
        "                              south-west corner, heading 0 north, 90 east\n"
        "  start                       put the robot back at its start pose, light the\n"
        "                              candle again and ready a new run\n"
        "  candle X Y                  put a new, lit candle at X, Y cm\n"
        "  obstacle add X Y W H        a box with its south-west corner at X, Y cm\n"
        "  obstacle remove N           remove the obstacle numbered N by world\n"
        "  obstacle clear              remove every obstacle\n"
        "  world                       the arena, the robot, the candle, the walls and\n"
        "                              the obstacles\n"
        "  arena NAME|FILE             change the arena: open, house, corridor or a file\n"
        "  run                         the run: ok time 41.2 contacts 2 candle out,\n"
        "                              ok running time 12.3 contacts 1 or ok not started\n"
        "  end                         end the run now: its clock stops, nothing moves\n"
        "                              or counts until start (then run: ok ended ...)\n"
        "  path                        the run's path, one line a point:\n"
        "                              t 1.2 x 30.0 y 125.0 heading 90.0 [fan] [contact]\n"
        "When ADDR is left out, the command goes to the module of that kind with the\n"
        "lowest address. A value set by hand holds until released with world or until\n"
        "the robot is placed with pose or start.");
}

SimControl::SimControl(SimBus &bus, LineActions actions, std::optional<quint32> seed)
    : m_bus(bus)
    , m_actions(std::move(actions))
    , m_seed(seed)
{
}

QStringList SimControl::execute(const QString &line, SimTime now)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QStringList args = line.split(blanks, Qt::SkipEmptyParts);
    if (args.isEmpty() || args.first().startsWith(QLatin1Char('#')))
        return {};
    const QString name = args.takeFirst().toLower();
    for (const Command &command : commands) {
        if (name != QLatin1String(command.name))
            continue;
        m_bus.advanceTo(now); // not a bus access: the motors' automatic stop does not see it
        try {
            QStringList answer = (this->*command.handler)(args, now);
            if (!command.onlyLooks)
                m_bus.world().markChanged();
            return answer;
        } catch (const CommandError &error) {
            return {QStringLiteral("error: ") + error.text};
        }
    }
    return {QStringLiteral("error: unknown command \"%1\" (try help)").arg(name)};
}

SimModule &SimControl::moduleAt(Args &args)
{
    const quint8 address = takeAddress(args);
    SimModule *module = m_bus.module(address);
    if (!module)
        refuse(QStringLiteral("no module at %1").arg(hexAddress(address)));
    return *module;
}

template<typename Kind>
Kind &SimControl::moduleOfKind(Args &args)
{
    if (!args.isEmpty()) {
        if (const std::optional<quint8> address = parseAddress(args.first())) {
            if (auto *module = dynamic_cast<Kind *>(m_bus.module(*address))) {
                args.removeFirst();
                return *module;
            }
        }
    }
    for (const auto &[address, module] : m_bus.modules()) {
        if (auto *found = dynamic_cast<Kind *>(module.get()))
            return *found;
    }
    refuse(QStringLiteral("no %1 on the bus").arg(Kind().kind()));
}

QStringList SimControl::help(Args &, SimTime)
{
    return commandHelp().split(QLatin1Char('\n')) + ok();
}

QStringList SimControl::list(Args &args, SimTime now)
{
    expectNoMore(args);
    QStringList lines;
    for (const auto &[address, module] : m_bus.modules()) {
        QString line = hexAddress(address) + QLatin1Char(' ') + module->kind();
        if (module->faults.silent)
            line += QStringLiteral(", silent");
        if (module->faults.delay.count() > 0)
            line += QStringLiteral(", answers %1 ms late").arg(module->faults.delay.count());
        lines << line;
        for (const QString &state : module->describe(now))
            lines << QStringLiteral("   ") + state;
    }
    return lines + ok();
}

QStringList SimControl::add(Args &args, SimTime)
{
    const quint8 address = takeAddress(args);
    const QString kind = takeArg(args, "kind").toLower();
    expectNoMore(args);
    std::unique_ptr<SimModule> module = createModule(kind);
    if (!module)
        refuse(QStringLiteral("unknown kind \"%1\" (one of %2)").arg(kind, moduleKinds().join(QLatin1Char(' '))));
    if (auto *ranger = dynamic_cast<SimSrf02 *>(module.get())) // it goes where the robot's ranger sat
        ranger->setMount(mountForAddress(address));
    if (!m_bus.add(address, std::move(module)))
        refuse(QStringLiteral("%1 already has a %2").arg(hexAddress(address), m_bus.module(address)->kind()));
    return ok();
}

QStringList SimControl::remove(Args &args, SimTime)
{
    const quint8 address = takeAddress(args);
    expectNoMore(args);
    if (!m_bus.remove(address))
        refuse(QStringLiteral("no module at %1").arg(hexAddress(address)));
    return ok();
}

QStringList SimControl::set(Args &args, SimTime)
{
    SimModule &module = moduleAt(args);
    quint8 reg = quint8(takeNumber(args, "register", 255));
    for (const char byte : takeBytes(args))
        module.poke(reg++, quint8(byte));
    return ok();
}

QStringList SimControl::write(Args &args, SimTime now)
{
    const quint8 address = takeAddress(args);
    const quint8 reg = quint8(takeNumber(args, "register", 255));
    const QByteArray bytes = takeBytes(args);
    if (!m_bus.writeRegisters(address, reg, bytes, now))
        refuse(QStringLiteral("no module at %1").arg(hexAddress(address)));
    return ok();
}

QStringList SimControl::get(Args &args, SimTime now)
{
    const SimModule &module = moduleAt(args);
    const quint8 reg = quint8(takeNumber(args, "register", 255));
    const uint count = args.isEmpty() ? 1 : takeNumber(args, "count", 256);
    expectNoMore(args);
    QByteArray bytes;
    for (uint i = 0; i < count; ++i)
        bytes.append(char(module.peek(quint8(reg + i), now)));
    return ok(QString::fromLatin1(bytes.toHex(' ')));
}

QStringList SimControl::silence(Args &args, SimTime)
{
    SimModule &module = moduleAt(args);
    module.faults.silent = takeOnOff(args, true);
    expectNoMore(args);
    return ok();
}

QStringList SimControl::delay(Args &args, SimTime)
{
    SimModule &module = moduleAt(args);
    module.faults.delay = std::chrono::milliseconds(takeNumber(args, "delay", MaxDelayMs));
    expectNoMore(args);
    return ok();
}

QStringList SimControl::garbage(Args &args, SimTime)
{
    SimModule &module = moduleAt(args);
    module.faults.garbageBeforeNext = takeBytes(args);
    return ok();
}

QStringList SimControl::extra(Args &args, SimTime)
{
    SimModule &module = moduleAt(args);
    module.faults.extraAfterNext = takeBytes(args);
    return ok();
}

QStringList SimControl::drop(Args &args, SimTime)
{
    expectNoMore(args);
    if (!m_actions.drop || !m_actions.drop())
        refuse(QStringLiteral("the line is already dropped"));
    return ok();
}

QStringList SimControl::restore(Args &args, SimTime)
{
    expectNoMore(args);
    QString pathOrError = QStringLiteral("no line to restore");
    if (!m_actions.restore || !m_actions.restore(pathOrError))
        refuse(pathOrError);
    return ok(pathOrError);
}

QStringList SimControl::quit(Args &args, SimTime)
{
    expectNoMore(args);
    if (m_actions.quit)
        m_actions.quit();
    return ok();
}

QStringList SimControl::screen(Args &args, SimTime)
{
    const SimLcd03 &display = moduleOfKind<SimLcd03>(args);
    expectNoMore(args);
    QStringList lines;
    for (const QString &line : display.screen())
        lines << QLatin1Char('|') + line + QLatin1Char('|');
    return lines + ok(display.backlight() ? QStringLiteral("backlight on") : QStringLiteral("backlight off"));
}

QStringList SimControl::press(Args &args, SimTime)
{
    SimLcd03 &display = moduleOfKind<SimLcd03>(args);
    const QString key = takeArg(args, "key");
    expectNoMore(args);
    if (key.size() != 1 || !display.press(key.at(0)))
        refuse(QStringLiteral("\"%1\" is not a key (1-9 * 0 #)").arg(key));
    return ok();
}

QStringList SimControl::release(Args &args, SimTime)
{
    SimLcd03 &display = moduleOfKind<SimLcd03>(args);
    if (args.isEmpty()) {
        display.release();
        return ok();
    }
    const QString key = takeArg(args, "key");
    expectNoMore(args);
    if (key.size() != 1 || !display.release(key.at(0)))
        refuse(QStringLiteral("\"%1\" is not a key (1-9 * 0 #)").arg(key));
    return ok();
}

QStringList SimControl::type(Args &args, SimTime)
{
    SimLcd03 &display = moduleOfKind<SimLcd03>(args);
    const QString keys = takeArg(args, "keys");
    const int reads = args.isEmpty() ? 1 : int(takeNumber(args, "reads", 1000));
    expectNoMore(args);
    if (!display.type(keys, reads))
        refuse(QStringLiteral("cannot type \"%1\" held for %2 reads (keys 1-9 * 0 #, reads from 1, "
                              "at most 256 keys waiting)").arg(keys).arg(reads));
    return ok();
}

QStringList SimControl::bearing(Args &args, SimTime now)
{
    SimCmps03 &compass = moduleOfKind<SimCmps03>(args);
    if (handBackToWorld(args, compass))
        return ok();
    const QString text = takeArg(args, "bearing");
    expectNoMore(args);
    bool valid = false;
    const double degrees = text.toDouble(&valid);
    if (!valid || degrees < 0 || degrees >= 360)
        refuse(QStringLiteral("the bearing is in degrees from 0 to 359.9, not \"%1\"").arg(text));
    compass.setBearing(degrees, now);
    return ok();
}

QStringList SimControl::temp(Args &args, SimTime)
{
    SimTpa81 &sensor = moduleOfKind<SimTpa81>(args);
    if (handBackToWorld(args, sensor))
        return ok();
    sensor.setAmbient(quint8(takeNumber(args, "ambient temperature", 255)));
    for (int pixel = 0; pixel < SimTpa81::Pixels && !args.isEmpty(); ++pixel)
        sensor.setPixel(pixel, quint8(takeNumber(args, "pixel temperature", 255)));
    expectNoMore(args);
    return ok();
}

QStringList SimControl::noise(Args &args, SimTime)
{
    SimTpa81 &sensor = moduleOfKind<SimTpa81>(args);
    if (args.isEmpty())
        refuse(QStringLiteral("missing on or off"));
    sensor.setNoise(takeOnOff(args, true));
    expectNoMore(args);
    return ok();
}

QStringList SimControl::range(Args &args, SimTime)
{
    SimSrf02 &ranger = moduleOfKind<SimSrf02>(args);
    if (handBackToWorld(args, ranger))
        return ok();
    ranger.setDistance(quint16(takeNumber(args, "distance", 65535)));
    expectNoMore(args);
    return ok();
}

QStringList SimControl::pose(Args &args, SimTime)
{
    const geometry::Point where = takePoint(args, m_bus.world());
    const double heading = takeDecimal(args, "heading", 0, 359.9);
    expectNoMore(args);
    if (!m_bus.world().place({where.x, where.y, heading}))
        refuse(QStringLiteral("the robot does not fit at %1 %2 (a wall or an obstacle is in the way)")
                   .arg(centimetres(where.x), centimetres(where.y)));
    return ok();
}

QStringList SimControl::start(Args &args, SimTime)
{
    expectNoMore(args);
    if (!m_bus.world().returnToStart())
        refuse(QStringLiteral("an obstacle stands on the start (obstacle remove or clear)"));
    return ok();
}

QStringList SimControl::candle(Args &args, SimTime)
{
    const geometry::Point where = takePoint(args, m_bus.world());
    expectNoMore(args);
    m_bus.world().setWarmObject(where);
    return ok();
}

QStringList SimControl::obstacle(Args &args, SimTime)
{
    const QString action = takeArg(args, "add, remove or clear").toLower();
    World &world = m_bus.world();
    if (action == QLatin1String("clear")) {
        expectNoMore(args);
        world.clearObstacles();
        return ok();
    }
    if (action == QLatin1String("remove")) {
        const uint number = takeNumber(args, "obstacle number", 1000);
        expectNoMore(args);
        if (!world.removeObstacle(qsizetype(number) - 1))
            refuse(QStringLiteral("no obstacle %1").arg(number));
        return ok();
    }
    if (action != QLatin1String("add"))
        refuse(QStringLiteral("expected add, remove or clear, not \"%1\"").arg(action));
    const geometry::Point corner = takePoint(args, world);
    const double width = takeDecimal(args, "width", 1, world.width());
    const double height = takeDecimal(args, "height", 1, world.height());
    expectNoMore(args);
    if (!world.addObstacle({corner.x, corner.y, width, height}))
        refuse(QStringLiteral("the obstacle must lie inside the arena and clear of the robot (at most %1 obstacles)")
                   .arg(World::MaxObstacles));
    return ok();
}

QStringList SimControl::world(Args &args, SimTime)
{
    expectNoMore(args);
    const World &world = m_bus.world();
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

QStringList SimControl::arena(Args &args, SimTime)
{
    // The rest of the line: a file's path may hold blanks.
    if (args.isEmpty())
        refuse(QStringLiteral("missing arena name or file"));
    const QString nameOrPath = args.join(QLatin1Char(' '));
    const ArenaLoad load = loadArena(nameOrPath);
    if (!load.arena)
        refuse(load.error);
    m_bus.world().setArena(*load.arena, m_seed);
    return ok();
}

QStringList SimControl::run(Args &args, SimTime now)
{
    expectNoMore(args);
    const Run &run = m_bus.world().run();
    switch (run.phase) {
    case Run::Phase::Running:
        if (const std::optional<SimTime> ended = m_bus.world().runEndedAt())
            return ok(QStringLiteral("ended time %1 contacts %2").arg(seconds(*ended - run.startedAt)).arg(run.contacts));
        return ok(QStringLiteral("running time %1 contacts %2").arg(seconds(now - run.startedAt)).arg(run.contacts));
    case Run::Phase::Finished:
        return ok(QStringLiteral("time %1 contacts %2 candle out").arg(seconds(run.endedAt - run.startedAt)).arg(run.contacts));
    default: return ok(QStringLiteral("not started"));
    }
}

} // namespace kestrava::sim

namespace kestrava::sim {

QStringList SimControl::end(Args &args, SimTime now)
{
    expectNoMore(args);
    m_bus.world().endRun(now);
    return run(args, now);
}

QStringList SimControl::path(Args &args, SimTime)
{
    expectNoMore(args);
    QStringList lines;
    for (const PathPoint &point : m_bus.world().path())
        lines << QStringLiteral("t %1 x %2 y %3 heading %4%5%6")
                     .arg(point.seconds, 0, 'f', 2)
                     .arg(centimetres(point.pose.x), centimetres(point.pose.y), centimetres(point.pose.heading))
                     .arg(point.fanOn ? QStringLiteral(" fan") : QString())
                     .arg(point.contact ? QStringLiteral(" contact") : QString());
    return lines + ok(QStringLiteral("%1 points").arg(lines.size()));
}

} // namespace kestrava::sim
