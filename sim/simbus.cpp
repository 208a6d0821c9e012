#include "simbus.h"

namespace kestrava::sim {

bool SimBus::add(quint8 address, std::unique_ptr<SimModule> module)
{
    if ((address & 1) || !module || m_modules.count(address))
        return false;
    module->attach(this);
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
    SimModule *target = module(request.moduleAddress());
    if (!target || target->faults.silent)
        return std::nullopt;
    QByteArray bytes;
    if (request.isRead()) {
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
    target->write(firstRegister, data, now);
    moveIfRequested(address, *target);
    return true;
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
