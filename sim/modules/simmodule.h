#pragma once

#include "sim/world/simtime.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <optional>
#include <utility>

namespace kestrava::sim {

class World;

// What an operator or a test can do to a module to make the bus misbehave.
struct ModuleFaults
{
    bool silent = false;              // answers nothing: the panel sees a time-out
    std::chrono::milliseconds delay{0}; // every answer comes this much later
    QByteArray garbageBeforeNext;      // sent before the next answer, then forgotten
    QByteArray extraAfterNext;         // sent after the next answer, then forgotten
};

// A module on the simulated bus: 256 one-byte registers, written and read in runs
// from a first register (the register number wraps after 255, as an eight-bit
// register pointer does). Module kinds override the per-register hooks.
class SimModule
{
public:
    virtual ~SimModule() = default;

    virtual QString kind() const = 0;

    // The bus side: one register write or read frame.
    virtual void write(quint8 firstRegister, QByteArrayView data, SimTime now);
    QByteArray read(quint8 firstRegister, quint8 count, SimTime now);

    // The control side. peek shows what a read would give, without its side effects
    // (latches, key counts, noise); poke stores a byte as it is.
    virtual quint8 peek(quint8 reg, SimTime now) const;
    void poke(quint8 reg, quint8 value) { m_registers[reg] = value; }
    // A frame addressed to the module reached it (not a control command's look).
    virtual void noteBusAccess(SimTime) {}
    // Lines that describe the module's state for the operator, beyond its registers.
    virtual QStringList describe(SimTime) const { return {}; }

    // A module that has taken an address-change sequence asks to move; the bus
    // takes the request after the write that completed it.
    std::optional<quint8> takeRequestedAddress() { return std::exchange(m_requestedAddress, std::nullopt); }

    // The world the module senses, given by the bus it is put on.
    void placeIn(const World *world) { m_world = world; }
    ModuleFaults faults;

protected:
    virtual void writeRegister(quint8 reg, quint8 value, SimTime now);
    virtual quint8 readRegister(quint8 reg, SimTime now) { return peek(reg, now); }

    quint8 stored(quint8 reg) const { return m_registers[reg]; }
    void requestAddress(quint8 address) { m_requestedAddress = address; }
    // Null on a test bench without a world.
    const World *world() const { return m_world; }

private:
    std::array<quint8, 256> m_registers{};
    std::optional<quint8> m_requestedAddress;
    const World *m_world = nullptr;
};

// A plain register file: what is written is read back.
class GenericModule : public SimModule
{
public:
    QString kind() const override { return QStringLiteral("generic"); }
};

} // namespace kestrava::sim
