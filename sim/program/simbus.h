#pragma once

#include "sim/program/adapterframes.h"
#include "sim/program/buslog.h"
#include "sim/modules/simmodule.h"
#include "sim/world/world.h"

#include <QByteArray>

#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace kestrava::sim {

// What the adapter sends back for one frame, and how long the module made it wait.
struct BusAnswer
{
    QByteArray bytes;
    std::chrono::milliseconds delay{0};
};

// The I2C bus behind the adapter: modules by their even address. An address with no
// module, or a silenced one, gives no answer at all.
class SimMd23;

class SimBus
{
public:
    // The adapter's answer to a register write that reached a module.
    static constexpr quint8 WriteAcknowledge = 0x01;

    // False when the address is odd or taken.
    bool add(quint8 address, std::unique_ptr<SimModule> module);
    bool remove(quint8 address);
    SimModule *module(quint8 address) const;
    // The lowest-addressed module of a kind, or null.
    SimModule *firstOfKind(const QString &kind) const;
    std::optional<quint8> addressOf(const SimModule *module) const;
    const std::map<quint8, std::unique_ptr<SimModule>> &modules() const { return m_modules; }

    std::optional<BusAnswer> carryOut(const BusRequest &request, SimTime now);
    // A register write as the module takes it from the bus, address change included,
    // without an answer. False when no module is at the address.
    bool writeRegisters(quint8 address, quint8 firstRegister, QByteArrayView data, SimTime now);

    // The robot's surroundings behind the modules, and the record of the last frames.
    World &world() { return m_world; }
    const World &world() const { return m_world; }
    const BusLog &log() const { return m_log; }
    // Runs the world to `now`. The bus does it before each frame and the control
    // interface before each command; a view does it while moving() holds.
    void advanceTo(SimTime now);
    bool moving(SimTime now) const;
    std::vector<SimMd23 *> motors() const;
    // The relay the arena names on the first relay board is on.
    bool fanRunning() const;
    // Every ranger with a place on the robot, by address.
    std::vector<RangerBeam> rangerBeams(SimTime now) const;

private:
    void moveIfRequested(quint8 address, SimModule &module);

    std::optional<BusAnswer> answerFrame(const BusRequest &request, SimTime now);
    void record(const BusRequest &request, const QString &kind, const std::optional<BusAnswer> &answer,
                SimTime now);

    std::map<quint8, std::unique_ptr<SimModule>> m_modules;
    World m_world;
    BusLog m_log;
};

} // namespace kestrava::sim
