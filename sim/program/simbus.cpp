#include "sim/program/simbus.h"

#include "sim/modules/simmd23.h"
#include "sim/modules/simrly08.h"
#include "sim/modules/simsd21.h"
#include "sim/modules/simsrf02.h"

#include <algorithm>

namespace kestrava::sim {

bool SimBus::add(quint8 address, std::unique_ptr<SimModule> module)
{
    if ((address & 1) || !module || m_modules.count(address))
        return false;
    module->placeIn(&m_world);
    m_modules.emplace(address, std::move(module));
    return true;
}

bool SimBus::remove(quint8 address)
{
    return m_modules.erase(address) > 0;
}

SimModule *SimBus::module(quint8 address) const
{
    const auto found = m_modules.find(address);
    return found == m_modules.end() ? nullptr : found->second.get();
}

SimModule *SimBus::firstOfKind(const QString &kind) const
{
    for (const auto &[address, module] : m_modules) {
        if (module->kind() == kind)
            return module.get();
    }
    return nullptr;
}

std::optional<quint8> SimBus::addressOf(const SimModule *module) const
{
    for (const auto &[address, held] : m_modules) {
        if (held.get() == module)
            return address;
    }
    return std::nullopt;
}

std::optional<BusAnswer> SimBus::carryOut(const BusRequest &request, SimTime now)
{
    advanceTo(now);
    const SimModule *target = module(request.moduleAddress());
    const QString kind = target ? target->kind() : QString(); // before a ranger moves away
    const std::optional<BusAnswer> answer = answerFrame(request, now);
    record(request, kind, answer, now);
    m_world.markChanged();
    return answer;
}

std::optional<BusAnswer> SimBus::answerFrame(const BusRequest &request, SimTime now)
{
    SimModule *target = module(request.moduleAddress());
    if (!target || target->faults.silent)
        return std::nullopt;
    QByteArray bytes;
    if (request.isRead()) {
        target->noteBusAccess(now);
        bytes = target->read(request.firstRegister, request.count, now);
    } else {
        writeRegisters(request.moduleAddress(), request.firstRegister, request.data, now);
        bytes = QByteArray(1, char(WriteAcknowledge));
    }
    ModuleFaults &faults = target->faults;
    BusAnswer answer{std::exchange(faults.garbageBeforeNext, {}) + bytes
                         + std::exchange(faults.extraAfterNext, {}),
                     faults.delay};
    return answer;
}

bool SimBus::writeRegisters(quint8 address, quint8 firstRegister, QByteArrayView data, SimTime now)
{
    SimModule *target = module(address);
    if (!target)
        return false;
    advanceTo(now);
    target->noteBusAccess(now);
    target->write(firstRegister, data, now);
    if (dynamic_cast<SimMd23 *>(target))
        m_world.noteMotorCommand(now);
    moveIfRequested(address, *target);
    return true;
}

void SimBus::advanceTo(SimTime now)
{
    const bool wasMoving = moving(m_world.time());
    m_world.advanceTo(now, motors(), fanRunning());
    if (wasMoving)
        m_world.markChanged();
}

bool SimBus::moving(SimTime now) const
{
    if (m_world.moving(motors(), fanRunning()))
        return true;
    return std::any_of(m_modules.begin(), m_modules.end(), [&](const auto &entry) {
        const auto *servos = dynamic_cast<const SimSd21 *>(entry.second.get());
        return servos && servos->moving(now);
    });
}

std::vector<SimMd23 *> SimBus::motors() const
{
    std::vector<SimMd23 *> found;
    for (const auto &[address, module] : m_modules) {
        if (auto *motor = dynamic_cast<SimMd23 *>(module.get()))
            found.push_back(motor);
    }
    return found;
}

bool SimBus::fanRunning() const
{
    const auto *relays = dynamic_cast<const SimRly08 *>(firstOfKind(QStringLiteral("rly08")));
    return relays && (relays->pattern() >> (m_world.arena().fanRelay - 1)) & 1;
}

std::vector<RangerBeam> SimBus::rangerBeams(SimTime now) const
{
    std::vector<RangerBeam> beams;
    for (const auto &[address, module] : m_modules) {
        const auto *ranger = dynamic_cast<const SimSrf02 *>(module.get());
        if (const std::optional<RangerBeam> beam = ranger ? ranger->beam(address, now) : std::nullopt)
            beams.push_back(*beam);
    }
    return beams;
}

void SimBus::record(const BusRequest &request, const QString &kind, const std::optional<BusAnswer> &answer,
                    SimTime now)
{
    m_log.record({now, request.moduleAddress(), kind, request.isRead(),
                  request.firstRegister, request.count, request.data,
                  answer ? std::optional<QByteArray>(answer->bytes) : std::nullopt});
}

void SimBus::moveIfRequested(quint8 address, SimModule &module)
{
    const std::optional<quint8> target = module.takeRequestedAddress();
    // A module cannot move onto another one: it keeps its address.
    if (!target || *target == address || (*target & 1) || m_modules.count(*target))
        return;
    auto node = m_modules.extract(address);
    node.key() = *target;
    m_modules.insert(std::move(node));
}

} // namespace kestrava::sim
