// The modules on the bus and their registers, as the commands see and change them.
#include "sim/program/controlcommand.h"

#include "sim/modules/simmd23.h"
#include "sim/modules/simsrf02.h"
#include "sim/program/buslog.h"
#include "sim/program/modulekinds.h"
#include "sim/program/simbus.h"

#include <QJsonArray>

namespace kestrava::sim {

namespace {

ControlAnswer list(ControlCall &call)
{
    call.words.noMore();
    ControlAnswer answer = ok();
    QJsonArray modules;
    for (const auto &[address, module] : call.bus.modules()) {
        QString line = hexAddress(address) + QLatin1Char(' ') + module->kind();
        if (module->faults.silent)
            line += QStringLiteral(", silent");
        if (module->faults.delay.count() > 0)
            line += QStringLiteral(", answers %1 ms late").arg(module->faults.delay.count());
        answer.lines << line;
        const QStringList state = module->describe(call.now);
        for (const QString &stateLine : state)
            answer.lines << QStringLiteral("   ") + stateLine;
        modules.append(QJsonObject{{"address", hexAddress(address)}, {"kind", module->kind()},
                                   {"silent", module->faults.silent}, {"delay_ms", qint64(module->faults.delay.count())},
                                   {"state", QJsonArray::fromStringList(state)}});
    }
    answer.values = {{"modules", modules}};
    return answer;
}

ControlAnswer add(ControlCall &call)
{
    const quint8 address = call.words.address();
    const QString kind = call.words.take("kind").toLower();
    call.words.noMore();
    std::unique_ptr<SimModule> module = createModule(kind);
    if (!module)
        refuse(QStringLiteral("unknown kind \"%1\" (one of %2)").arg(kind, moduleKinds().join(QLatin1Char(' '))));
    if (auto *ranger = dynamic_cast<SimSrf02 *>(module.get())) // it goes where the robot's ranger sat
        ranger->setMount(mountForAddress(address));
    if (!call.bus.add(address, std::move(module)))
        refuse(QStringLiteral("%1 already has a %2").arg(hexAddress(address), call.bus.module(address)->kind()));
    return ok();
}

ControlAnswer remove(ControlCall &call)
{
    const quint8 address = call.words.address();
    call.words.noMore();
    if (!call.bus.remove(address))
        refuse(QStringLiteral("no module at %1").arg(hexAddress(address)));
    return ok();
}

ControlAnswer set(ControlCall &call)
{
    SimModule &module = call.moduleAt();
    quint8 reg = quint8(call.words.number("register", 255));
    for (const char byte : call.words.bytes())
        module.poke(reg++, quint8(byte));
    return ok();
}

ControlAnswer write(ControlCall &call)
{
    const quint8 address = call.words.address();
    const quint8 reg = quint8(call.words.number("register", 255));
    const QByteArray bytes = call.words.bytes();
    if (!call.bus.writeRegisters(address, reg, bytes, call.now))
        refuse(QStringLiteral("no module at %1").arg(hexAddress(address)));
    return ok();
}

ControlAnswer get(ControlCall &call)
{
    const SimModule &module = call.moduleAt();
    const quint8 reg = quint8(call.words.number("register", 255));
    const uint count = call.words.isEmpty() ? 1 : call.words.number("count", 256);
    call.words.noMore();
    QByteArray bytes;
    QJsonArray values;
    for (uint i = 0; i < count; ++i) {
        bytes.append(char(module.peek(quint8(reg + i), call.now)));
        values.append(quint8(bytes.back()));
    }
    ControlAnswer answer = ok(QString::fromLatin1(bytes.toHex(' ')), {{"bytes", values}});
    // Whether the motors are stopped is the controller's to say, by its own mode's stop.
    if (const auto *motors = dynamic_cast<const SimMd23 *>(&module))
        answer.values.insert(QStringLiteral("wheels_at_stop"), motors->speedsAtStop());
    return answer;
}

} // namespace

const ControlCommands &registerCommands()
{
    static const ControlCommands commands{
        {"list", list, {{"list", "the modules on the bus, their faults and state"}}, Reach::Looks},
        {"add", add, {{"add ADDR KIND", "add a module; KIND: generic md23 sd21 rly08 lcd03\ncmps03 tpa81 srf02"}}},
        {"remove", remove, {{"remove ADDR", "remove a module; its address falls silent"}}},
        {"set", set, {{"set ADDR REG BYTE...", "store bytes in consecutive registers as they are"}}},
        {"write", write, {{"write ADDR REG BYTE...", "write registers as a bus write does (commands act)"}}},
        {"get", get, {{"get ADDR REG [COUNT]", "show registers as a read would give them: ok 79 00"}}, Reach::Looks},
    };
    return commands;
}

} // namespace kestrava::sim
