#include "sim/view/viewstate.h"

#include "sim/program/simbus.h"
#include "sim/modules/simcmps03.h"
#include "sim/modules/simlcd03.h"
#include "sim/modules/simmd23.h"
#include "sim/modules/simrly08.h"
#include "sim/modules/simsd21.h"
#include "sim/modules/simtpa81.h"

#include <QCoreApplication>

#include <cmath>

namespace kestrava::simview {

using namespace kestrava::sim;

namespace {

template <class Kind>
const Kind *first(const SimBus &bus)
{
    for (const auto &[address, module] : bus.modules()) {
        if (const auto *found = dynamic_cast<const Kind *>(module.get()))
            return found;
    }
    return nullptr;
}

MotorState motorState(const SimMd23 &md23)
{
    MotorState state;
    const std::array<int, 2> wheels = md23.wheelSpeeds(), targets = md23.targetSpeeds();
    state.speed1 = wheels[0];
    state.speed2 = wheels[1];
    state.target1 = targets[0];
    state.target2 = targets[1];
    state.mode = md23.mode();
    state.acceleration = md23.acceleration();
    state.regulation = md23.regulation();
    state.autoStop = md23.autoStop();
    state.encoder1 = md23.encoder1();
    state.encoder2 = md23.encoder2();
    state.battery = md23.batteryTenths();
    state.current1 = md23.currentTenths(0);
    state.current2 = md23.currentTenths(1);
    return state;
}

ServoState servoState(const SimSd21 &sd21, SimTime now)
{
    ServoState state;
    for (int servo = 0; servo < ServoState::Servos; ++servo)
        state.hornTenths[servo] = int(std::lround(10 * sd21.hornDegrees(servo, now)));
    return state;
}

DisplayState displayState(const SimLcd03 &lcd, SimTime now)
{
    DisplayState state;
    state.lines = lcd.screen();
    state.backlight = lcd.backlight();
    state.cursorRow = lcd.cursorRow();
    state.cursorColumn = lcd.cursorColumn();
    state.keysDown = quint16(lcd.peek(SimLcd03::KeypadLow, now) | lcd.peek(SimLcd03::KeypadHigh, now) << 8);
    return state;
}

ThermalState thermalState(const SimTpa81 &tpa81)
{
    ThermalState state;
    state.ambient = tpa81.temperature(1);
    for (int pixel = 0; pixel < SimTpa81::Pixels; ++pixel)
        state.pixels[pixel] = tpa81.temperature(quint8(2 + pixel));
    return state;
}

QList<ModuleFaultState> faultStates(const SimBus &bus)
{
    QList<ModuleFaultState> states;
    for (const auto &[address, module] : bus.modules())
        states.append({address, moduleName(module->kind()), module->faults.silent, module->faults.delay.count() > 0});
    return states;
}

QPointF point(geometry::Point p)
{
    return {p.x, p.y};
}

ArenaState arenaState(const SimBus &bus, SimTime now)
{
    const World &world = bus.world();
    ArenaState state;
    state.name = world.arena().name;
    state.size = {world.width(), world.height()};
    for (const geometry::Segment &wall : world.arena().walls)
        state.walls.append({point(wall.a), point(wall.b)});
    for (const geometry::Box &box : world.obstacles())
        state.obstacles.append({box.x, box.y, box.width, box.height});
    state.robot = {world.pose().x, world.pose().y};
    state.heading = world.pose().heading;
    state.trail.reserve(qsizetype(world.trail().size()));
    for (const geometry::Point &p : world.trail())
        state.trail.append(point(p));
    state.warmObject = point(world.warmObject());
    state.candleLit = world.candleLit();
    state.fanOn = bus.fanRunning();
    for (const RangerBeam &beam : bus.rangerBeams(now))
        state.beams.append({beam.address, point(beam.origin), beam.headingDegrees, beam.lastCm, beam.handSet});
    return state;
}

BusTraffic traffic(const BusLog &log, SimTime now)
{
    BusTraffic traffic;
    traffic.framesPerSecond = log.framesPerSecond(now);
    for (const BusLogEntry &entry : log.entries())
        traffic.lastFrames.append(trafficRow(entry));
    return traffic;
}

QString hexBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

template <class Kind, class Read>
auto partOf(const SimBus &bus, Read read) -> std::optional<decltype(read(std::declval<const Kind &>()))>
{
    if (const Kind *module = first<Kind>(bus))
        return read(*module);
    return std::nullopt;
}

} // namespace

namespace {

// The traffic table's words, translated in the context of the panel that shows them.
struct TrafficWords
{
    Q_DECLARE_TR_FUNCTIONS(kestrava::simview::TrafficPanel)
};

} // namespace

TrafficRow trafficHeader()
{
    return {TrafficWords::tr("addr"), TrafficWords::tr("module"), TrafficWords::tr("access"),
            TrafficWords::tr("reg"), TrafficWords::tr("sent / asked"), TrafficWords::tr("answer")};
}

TrafficRow trafficRow(const BusLogEntry &entry)
{
    const QString module = entry.kind.isEmpty() ? QStringLiteral("—") : moduleName(entry.kind);
    const QString carried = entry.read ? TrafficWords::tr("%n byte(s)", nullptr, entry.count) : hexBytes(entry.data);
    return {hexAddress(entry.module), module, entry.read ? TrafficWords::tr("read") : TrafficWords::tr("write"),
            QString::number(entry.firstRegister), carried,
            entry.answer ? hexBytes(*entry.answer) : TrafficWords::tr("no answer")};
}

QString moduleName(const QString &kind)
{
    return kind == QLatin1String("generic") ? QStringLiteral("generic") : kind.toUpper();
}

ViewState readViewState(const SimBus &bus, SimTime now)
{
    ViewState state;
    state.arena = arenaState(bus, now);
    state.run = bus.world().run();
    state.motors = partOf<SimMd23>(bus, [](const SimMd23 &m) { return motorState(m); });
    state.servos = partOf<SimSd21>(bus, [&](const SimSd21 &m) { return servoState(m, now); });
    state.relays = partOf<SimRly08>(bus, [](const SimRly08 &m) { return m.pattern(); });
    state.display = partOf<SimLcd03>(bus, [&](const SimLcd03 &m) { return displayState(m, now); });
    if (const SimLcd03 *lcd = first<SimLcd03>(bus))
        state.displayAddress = bus.addressOf(lcd).value_or(0);
    state.bearingTenths = partOf<SimCmps03>(bus, [&](const SimCmps03 &m) { return int(m.bearingWord(now)); });
    state.thermal = partOf<SimTpa81>(bus, [](const SimTpa81 &m) { return thermalState(m); });
    state.bus.traffic = traffic(bus.log(), now);
    state.bus.modules = faultStates(bus);
    state.moving = bus.moving(now) || state.bus.traffic.framesPerSecond > 0;
    return state;
}

} // namespace kestrava::simview
