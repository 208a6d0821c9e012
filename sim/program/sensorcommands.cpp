// The display and its keypad, and the sensors' values set by hand until handed back to the world.
#include "sim/program/controlcommand.h"

#include "sim/modules/simcmps03.h"
#include "sim/modules/simlcd03.h"
#include "sim/modules/simsrf02.h"
#include "sim/modules/simtpa81.h"
#include "sim/program/simbus.h"

#include <QJsonArray>

namespace kestrava::sim {

namespace {

// The module of that kind at the address that comes next, or else the one with the lowest address.
template<typename Kind>
Kind &moduleOfKind(ControlCall &call)
{
    if (const std::optional<quint8> address = parseAddress(call.words.first())) {
        if (auto *module = dynamic_cast<Kind *>(call.bus.module(*address))) {
            call.words.skip();
            return *module;
        }
    }
    for (const auto &[address, module] : call.bus.modules()) {
        if (auto *found = dynamic_cast<Kind *>(module.get()))
            return *found;
    }
    refuse(QStringLiteral("no %1 on the bus").arg(Kind().kind()));
}

// The word "world" hands a sensor back to the world after a value set by hand.
template<typename Sensor>
bool handBackToWorld(ControlCall &call, Sensor &sensor)
{
    if (!call.words.takeLast(QLatin1StringView("world")))
        return false;
    sensor.followWorld();
    return true;
}

QString notAKey(const QString &key)
{
    return QStringLiteral("\"%1\" is not a key (1-9 * 0 #)").arg(key);
}

ControlAnswer screen(ControlCall &call)
{
    const SimLcd03 &display = moduleOfKind<SimLcd03>(call);
    call.words.noMore();
    ControlAnswer answer = ok(display.backlight() ? QStringLiteral("backlight on") : QStringLiteral("backlight off"),
                              {{"lines", QJsonArray::fromStringList(display.screen())}, {"backlight", display.backlight()}});
    for (const QString &line : display.screen())
        answer.lines << QLatin1Char('|') + line + QLatin1Char('|');
    return answer;
}

ControlAnswer press(ControlCall &call)
{
    SimLcd03 &display = moduleOfKind<SimLcd03>(call);
    const QString key = call.words.take("key");
    call.words.noMore();
    if (key.size() != 1 || !display.press(key.at(0)))
        refuse(notAKey(key));
    return ok();
}

ControlAnswer release(ControlCall &call)
{
    SimLcd03 &display = moduleOfKind<SimLcd03>(call);
    if (call.words.isEmpty()) {
        display.release();
        return ok();
    }
    const QString key = call.words.take("key");
    call.words.noMore();
    if (key.size() != 1 || !display.release(key.at(0)))
        refuse(notAKey(key));
    return ok();
}

ControlAnswer type(ControlCall &call)
{
    SimLcd03 &display = moduleOfKind<SimLcd03>(call);
    const QString keys = call.words.take("keys");
    const int reads = call.words.isEmpty() ? 1 : int(call.words.number("reads", 1000));
    call.words.noMore();
    if (!display.type(keys, reads))
        refuse(QStringLiteral("cannot type \"%1\" held for %2 reads (keys 1-9 * 0 #, reads from 1, "
                              "at most 256 keys waiting)").arg(keys).arg(reads));
    return ok();
}

ControlAnswer bearing(ControlCall &call)
{
    SimCmps03 &compass = moduleOfKind<SimCmps03>(call);
    if (handBackToWorld(call, compass))
        return ok();
    const QString text = call.words.take("bearing");
    call.words.noMore();
    bool valid = false;
    const double degrees = text.toDouble(&valid);
    if (!valid || degrees < 0 || degrees >= 360)
        refuse(QStringLiteral("the bearing is in degrees from 0 to 359.9, not \"%1\"").arg(text));
    compass.setBearing(degrees, call.now);
    return ok();
}

ControlAnswer temp(ControlCall &call)
{
    SimTpa81 &sensor = moduleOfKind<SimTpa81>(call);
    if (handBackToWorld(call, sensor))
        return ok();
    sensor.setAmbient(quint8(call.words.number("ambient temperature", 255)));
    for (int pixel = 0; pixel < SimTpa81::Pixels && !call.words.isEmpty(); ++pixel)
        sensor.setPixel(pixel, quint8(call.words.number("pixel temperature", 255)));
    call.words.noMore();
    return ok();
}

ControlAnswer noise(ControlCall &call)
{
    SimTpa81 &sensor = moduleOfKind<SimTpa81>(call);
    if (call.words.isEmpty())
        refuse(QStringLiteral("missing on or off"));
    sensor.setNoise(call.words.onOff(true));
    call.words.noMore();
    return ok();
}

ControlAnswer range(ControlCall &call)
{
    SimSrf02 &ranger = moduleOfKind<SimSrf02>(call);
    if (handBackToWorld(call, ranger))
        return ok();
    ranger.setDistance(quint16(call.words.number("distance", 65535)));
    call.words.noMore();
    return ok();
}

} // namespace

const ControlCommands &sensorCommands()
{
    static const ControlCommands commands{
        {"screen", screen, {{"screen [ADDR]", "the display's four lines, between bars"}}, Reach::Looks},
        {"press", press, {{"press [ADDR] KEY", "hold a keypad key down (1-9 * 0 #)"}}},
        {"release", release, {{"release [ADDR] [KEY]", "let go of one key, or of all held keys"}}},
        {"type", type, {{"type [ADDR] KEYS [READS]", "type keys one after another; each is held for\n"
                                                     "READS reads of its register (1 by default), then\n"
                                                     "released for one read of the keypad"}}},
        {"bearing", bearing, {{"bearing [ADDR] DEGREES", "set the compass bearing (0 to 359.9)"}}},
        {"temp", temp, {{"temp [ADDR] AMBIENT [P1..P8]", "set the thermal array's temperatures"}}},
        {"noise", noise, {{"noise [ADDR] on|off", "the thermal array's wandering by one degree"}}},
        {"range", range, {{"range [ADDR] CM", "the distance a ranger measures (0 to 65535 cm)"},
                          {"bearing|temp|range [ADDR] world", "hand the sensor back to the world"}}},
    };
    return commands;
}

} // namespace kestrava::sim
