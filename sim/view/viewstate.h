#pragma once

#include "simtime.h"

#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace kestrava::sim {
class SimBus;
}

namespace kestrava::simview {

// What the view shows, read from the simulator's model in the simulator's thread
// and drawn from in the window's. Each part compares equal when nothing it shows
// has changed, so a panel repaints only on change.
struct MotorState
{
    int speed1 = 0, speed2 = 0; // steps away from stop, signed
    int mode = 0, acceleration = 0;
    bool regulation = true, autoStop = true;
    qint32 encoder1 = 0, encoder2 = 0;
    int battery = 0, current1 = 0, current2 = 0; // tenths of a volt and of an ampere
    bool operator==(const MotorState &) const = default;
};

struct ServoState
{
    static constexpr int Servos = 21;
    std::array<int, Servos> pulse{};      // the horn's pulse width now, in µs
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

struct BusTraffic
{
    int framesPerSecond = 0;
    QStringList lastFrames; // described, oldest first
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
    std::optional<MotorState> motors;
    std::optional<ServoState> servos;
    std::optional<quint8> relays;
    std::optional<DisplayState> display;
    quint8 displayAddress = 0xC6;
    std::optional<int> bearingTenths;
    std::optional<ThermalState> thermal;
    BusState bus;
    // Something moves by itself (wheels turning, horns swinging): keep looking.
    bool moving = false;
    bool operator==(const ViewState &) const = default;
};

// The state of the modules on the bus at `now`, without side effects on them.
ViewState readViewState(const sim::SimBus &bus, sim::SimTime now);

// A module's name as the view shows it: "MD23", "SD21", "SRF02"...
QString moduleName(const QString &kind);

} // namespace kestrava::simview
