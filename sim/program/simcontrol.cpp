#include "sim/program/simcontrol.h"

#include "sim/program/buslog.h"
#include "sim/program/simbus.h"
#include "sim/world/world.h"

#include <QJsonArray>
#include <QRegularExpression>

namespace kestrava::sim {

namespace {

ControlAnswer help(ControlCall &)
{
    const QStringList lines = SimControl::commandHelp().split(QLatin1Char('\n'));
    return {lines, {}, {{"lines", QJsonArray::fromStringList(lines)}}};
}

// Every command in the order `help` shows them.
const ControlCommands &allCommands()
{
    static const ControlCommands all = ControlCommands{{"help", help, {{"help", "this list"}}, Reach::Looks}}
                                       + registerCommands() + faultCommands() + sensorCommands() + worldCommands();
    return all;
}

// "run and path": the commands a judged trial's program may use, by their rows.
QString namesInTrial()
{
    QStringList names;
    for (const ControlCommand &command : allCommands()) {
        if (command.reach == Reach::LooksInTrial)
            names << QLatin1String(command.name);
    }
    const QString last = names.takeLast();
    return names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

const ControlCommand *commandNamed(const QString &name)
{
    for (const ControlCommand &command : allCommands()) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

// "  add ADDR KIND               add a module; ...", the meaning's further lines under its first.
QString usageLines(const Usage &usage)
{
    constexpr qsizetype SynopsisWidth = 26;
    const QString indent(2 + SynopsisWidth + 2, QLatin1Char(' '));
    QStringList meaning = QString::fromLatin1(usage.meaning).split(QLatin1Char('\n'));
    for (qsizetype i = 1; i < meaning.size(); ++i)
        meaning[i].prepend(indent);
    return QStringLiteral("  ") + QString::fromLatin1(usage.synopsis).leftJustified(SynopsisWidth) + QStringLiteral("  ")
         + meaning.join(QLatin1Char('\n'));
}

} // namespace

QString SimControl::commandHelp()
{
    QStringList lines{QStringLiteral(
        "Control commands, one per line on standard input. Each answers with a last line\n"
        "\"ok\" (sometimes followed by a result) or \"error: <reason>\"; list, screen and help\n"
        "print their lines before the ok. ADDR is a module's even bus address in hexadecimal\n"
        "(B0 or 0xB0). REG, VALUE, COUNT and BYTE are decimal, or hexadecimal with 0x.\n"
        "Blank lines and lines starting with # do nothing and answer ok. A command after\n"
        "the word json answers with one line, a JSON object: {\"ok\": true, ...} with the\n"
        "answer's values, or {\"ok\": false, \"error\": REASON}.")};
    for (const ControlCommand &command : allCommands()) {
        for (const Usage &usage : command.usage)
            lines << usageLines(usage);
    }
    lines << QStringLiteral(
        "When ADDR is left out, the command goes to the module of that kind with the\n"
        "lowest address. A value set by hand holds until released with world or until\n"
        "the robot is placed with pose or start.");
    return lines.join(QLatin1Char('\n'));
}

SimControl::SimControl(SimBus &bus, SimClock &clock, LineActions actions, std::optional<quint32> seed)
    : m_bus(bus)
    , m_clock(clock)
    , m_actions(std::move(actions))
    , m_seed(seed)
{
}

QStringList SimControl::execute(const QString &line, SimTime now, Caller caller)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QStringList words = line.split(blanks, Qt::SkipEmptyParts);
    AnswerForm form = AnswerForm::Prose;
    if (!words.isEmpty() && words.first().compare(QLatin1String("json"), Qt::CaseInsensitive) == 0) {
        form = AnswerForm::Json;
        words.removeFirst();
    }
    if (words.isEmpty() || words.first().startsWith(QLatin1Char('#')))
        return rendered(ok(), form); // nothing to do, and said so: a program waits for one answer to each line
    const QString name = words.takeFirst().toLower();
    const ControlCommand *command = commandNamed(name);
    if (!command)
        return renderedRefusal(QStringLiteral("unknown command \"%1\" (try help)").arg(name), form);
    if (caller == Caller::JudgedProgram && command->reach != Reach::LooksInTrial)
        return renderedRefusal(QStringLiteral("not during a judged trial: only %1 are allowed").arg(namesInTrial()), form);
    return carryOut(*command, words, now, form);
}

QStringList SimControl::carryOut(const ControlCommand &command, const QStringList &words, SimTime now, AnswerForm form)
{
    m_bus.advanceTo(now); // not a bus access: the motors' automatic stop does not see it
    ControlCall call{m_bus, m_actions, m_seed, m_clock, now, ControlWords(words)};
    try {
        const ControlAnswer answer = command.carryOut(call);
        if (command.reach == Reach::Changes)
            m_bus.world().markChanged();
        return rendered(answer, form);
    } catch (const CommandError &error) {
        return renderedRefusal(error.text, form);
    }
}

SimModule &ControlCall::moduleAt()
{
    const quint8 address = words.address();
    SimModule *module = bus.module(address);
    if (!module)
        refuse(QStringLiteral("no module at %1").arg(hexAddress(address)));
    return *module;
}

} // namespace kestrava::sim
