#include "viewstate.h"

#include "simbus.h"
#include "simcmps03.h"
#include "simlcd03.h"
#include "simmd23.h"
#include "simrly08.h"
#include "simsd21.h"
#include "simtpa81.h"

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

MotorState motorState(const SimMd23 &md23, SimTime now)
{
    MotorState state;
    state.speed1 = md23.wheelSpeed1();
    state.speed2 = md23.wheelSpeed2();
    state.mode = md23.peek(SimMd23::Mode, now);
    state.acceleration = md23.peek(SimMd23::Acceleration, now);
    state.regulation = md23.regulation();
    state.autoStop = md23.autoStop();
    state.encoder1 = md23.encoder1(now);
    state.encoder2 = md23.encoder2(now);
    state.battery = md23.peek(SimMd23::Battery, now);
    state.current1 = md23.peek(SimMd23::Current1, now);
    state.current2 = md23.peek(SimMd23::Current2, now);
    return state;
}

ServoState servoState(const SimSd21 &sd21)
{
    ServoState state;
    for (int servo = 0; servo < ServoState::Servos; ++servo)
        state.pulse[servo] = sd21.position(servo);
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

ThermalState thermalState(const SimTpa81 &tpa81, SimTime now)
{
    ThermalState state;
    state.ambient = tpa81.peek(1, now);
    for (int pixel = 0; pixel < SimTpa81::Pixels; ++pixel)
        state.pixels[pixel] = tpa81.peek(quint8(2 + pixel), now);
    return state;
}

QList<ModuleFaultState> faultStates(const SimBus &bus)
{
    QList<ModuleFaultState> states;
    for (const auto &[address, module] : bus.modules())
        states.append({address, moduleName(module->kind()), module->faults.silent, module->faults.delay.count() > 0});
    return states;
}

template <class Kind, class Read>
auto partOf(const SimBus &bus, Read read) -> std::optional<decltype(read(std::declval<const Kind &>()))>
{
    if (const Kind *module = first<Kind>(bus))
        return read(*module);
    return std::nullopt;
}

} // namespace

QString moduleName(const QString &kind)
{
    return kind == QLatin1String("generic") ? QStringLiteral("generic") : kind.toUpper();
}

ViewState readViewState(const SimBus &bus, SimTime now)
{
    ViewState state;
    state.motors = partOf<SimMd23>(bus, [&](const SimMd23 &m) { return motorState(m, now); });
    state.servos = partOf<SimSd21>(bus, [](const SimSd21 &m) { return servoState(m); });
    state.relays = partOf<SimRly08>(bus, [](const SimRly08 &m) { return m.pattern(); });
    state.display = partOf<SimLcd03>(bus, [&](const SimLcd03 &m) { return displayState(m, now); });
    if (const SimLcd03 *lcd = first<SimLcd03>(bus))
        state.displayAddress = bus.addressOf(lcd).value_or(0);
    state.bearingTenths = partOf<SimCmps03>(bus, [&](const SimCmps03 &m) { return int(m.bearingWord(now)); });
    state.thermal = partOf<SimTpa81>(bus, [&](const SimTpa81 &m) { return thermalState(m, now); });
    state.bus.modules = faultStates(bus);
    state.moving = state.motors && (state.motors->speed1 != 0 || state.motors->speed2 != 0);
    return state;
}

} // namespace kestrava::simview
