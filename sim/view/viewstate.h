#pragma once

#include "sim/world/simtime.h"
#include "sim/world/world.h"

#include <QByteArray>
#include <QLineF>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace kestrava::sim {
class SimBus;
struct BusLogEntry;
}

namespace kestrava::simview {

// What the view shows, read from the simulator's model in the simulator's thread
// and drawn from in the window's. Each part compares equal when nothing it shows
// has changed, so a panel repaints only on change.
struct MotorState
{
    int speed1 = 0, speed2 = 0;   // the wheels now, in signed steps away from stop
    int target1 = 0, target2 = 0; // what the speed registers ask the ramps for
    int mode = 0, acceleration = 0;
    bool regulation = true, autoStop = true;
    qint32 encoder1 = 0, encoder2 = 0;
    int battery = 0, current1 = 0, current2 = 0; // tenths of a volt and of an ampere
    bool operator==(const MotorState &) const = default;
};

struct ServoState
{
    static constexpr int Servos = 21;
    std::array<int, Servos> hornTenths{}; // each horn's angle now, tenths of a degree (0 to 1800)
    bool operator==(const ServoState &) const = default;
};

struct DisplayState
{
    QStringList lines;
    int cursorRow = 0, cursorColumn = 0;
    bool backlight = false;
    quint16 keysDown = 0; // bits 0..11: keys 1..9, *, 0, #
    bool operator==(const DisplayState &) const = default;
};

struct ThermalState
{
    int ambient = 0;
    std::array<int, 8> pixels{};
    bool operator==(const ThermalState &) const = default;
};

struct ModuleFaultState
{
    quint8 address = 0;
    QString name; // "MD23"
    bool silent = false;
    bool late = false;
    bool operator==(const ModuleFaultState &) const = default;
};

// A ranger's beam: where it starts and where it looks in the arena, and what it last measured.
struct BeamState
{
    quint8 address = 0;
    QPointF origin;
    double heading = 0; // as a compass reads it
    int lastCm = 0;     // 0: nothing echoed
    bool handSet = false;
    bool operator==(const BeamState &) const = default;
};

// The arena in centimetres, x east and y north from its south-west corner.
struct ArenaState
{
    QString name;
    QSizeF size;
    QList<QLineF> walls;
    QList<QRectF> obstacles; // (x, y) the south-west corner
    QPointF robot;
    double heading = 0;
    QList<QPointF> trail;
    QPointF warmObject;
    bool candleLit = true;
    bool fanOn = false;
    QList<BeamState> beams;
    bool operator==(const ArenaState &) const = default;
};

// One frame on the bus in the traffic list's columns: address, module, access,
// register, what a write carried or how many bytes a read asked for, the answer.
using TrafficRow = std::array<QString, 6>;
TrafficRow trafficRow(const sim::BusLogEntry &entry);
TrafficRow trafficHeader();

struct BusTraffic
{
    int framesPerSecond = 0;
    QList<TrafficRow> lastFrames; // oldest first
    bool operator==(const BusTraffic &) const = default;
};

struct BusState
{
    BusTraffic traffic;
    QList<ModuleFaultState> modules;
    bool plugged = true;
    bool operator==(const BusState &) const = default;
};

struct ViewState
{
    ArenaState arena;
    sim::Run run;
    std::optional<MotorState> motors;
    std::optional<ServoState> servos;
    std::optional<quint8> relays;
    std::optional<DisplayState> display;
    quint8 displayAddress = 0xC6;
    std::optional<int> bearingTenths;
    std::optional<ThermalState> thermal;
    BusState bus;
    // Something moves by itself (wheels turning, horns swinging) or the traffic
    // figure still falls: the world is to be run on and looked at again.
    bool moving = false;
    bool operator==(const ViewState &) const = default;
};

// The state of the modules on the bus at `now`, without side effects on them.
ViewState readViewState(const sim::SimBus &bus, sim::SimTime now);

// A module's name as the view shows it: "MD23", "SD21", "SRF02"...
QString moduleName(const QString &kind);

} // namespace kestrava::simview
