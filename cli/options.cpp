// kestrava-cli's options and their checks: the values a command line may give, and its --help.
#include "cli/options.h"

#include "cli/commands.h"
#include "link/serialline.h"
#include "numbers/commandnumbers.h"

#include <limits>
#include <optional>

namespace kestrava::cli {

namespace {

constexpr int ProbeTimeoutMs = 60;

const char *const Description =
    "Reads and writes the robot's I2C modules through the USB-to-I2C adapter, without the window.\n"
    "ADDR is an even bus address in hexadecimal (B0 or 0xB0); REG and BYTE are decimal, or\n"
    "hexadecimal after 0x.\n"
    "\n"
    "Commands, with an example each:\n";
// Then commandList(), then:
const char *const DescriptionAfterCommands =
    "\n"
    "drive's speeds are the raw register values of the motor controller's mode, which is\n"
    "read first: 128 stops in modes 0 and 2, 0 in modes 1 and 3. The drive ends with the\n"
    "stop of that mode, also on Ctrl-C.\n"
    "\n"
    "A reading is printed only when the answer to its own frame came, whole and alone;\n"
    "otherwise it is an error (\"no answer\", or \"the line was out of step\").\n"
    "\n"
    "Without hardware, add --simulate: each command then runs against a fresh simulated robot.\n"
    "\n"
    "Exit status: 0 all answered, 1 some wait timed out, 2 usage, 3 the port could not be\n"
    "opened, 4 the device was lost. probe: 0 when every ADDR named answered (with none named,\n"
    "when at least one module on the bus answered), 1 otherwise.";

// `what` names the unit where there is one: "a number of milliseconds".
int optionNumber(const QCommandLineParser &parser, const QCommandLineOption &option, int least, int most,
                 const char *what = "a number")
{
    const std::optional<long> value = parseNumber(parser.value(option));
    if (!value || *value < least || *value > most)
        throw UsageError{QStringLiteral("--%1 takes %2 from %3 to %4, not \"%5\"")
                             .arg(option.names().first(), QLatin1String(what)).arg(least).arg(most)
                             .arg(parser.value(option))};
    return int(*value);
}

// The simulator reads the seed itself; checked here so that a bad one is a usage error, not a failed start.
void checkSeed(const Options &o)
{
    const QCommandLineParser &p = o.parser;
    if (!p.isSet(o.seed))
        return;
    if (!p.isSet(o.simulate))
        throw UsageError{QStringLiteral("--seed goes with --simulate")};
    const std::optional<long> seed = parseNumber(p.value(o.seed));
    if (!seed || *seed < 0 || *seed > long(std::numeric_limits<quint32>::max()))
        throw UsageError{QStringLiteral("--seed takes a whole number from 0 to 4294967295, not \"%1\"").arg(p.value(o.seed))};
}

constexpr char Milliseconds[] = "a number of milliseconds";

} // namespace

Settings settingsFrom(const Options &o, const Request &request)
{
    const QCommandLineParser &p = o.parser;
    Settings s;
    s.com = optionNumber(p, o.com, SerialLine::FirstPort, SerialLine::LastPort);
    if (p.isSet(o.timeout))
        s.timeoutMs = optionNumber(p, o.timeout, 1, LongestWaitMs, Milliseconds);
    else if (request.command == Command::Probe)
        s.timeoutMs = ProbeTimeoutMs;
    if (p.isSet(o.csv) && p.isSet(o.json))
        throw UsageError{QStringLiteral("choose --csv or --json, not both")};
    s.format = p.isSet(o.csv) ? Format::Csv : p.isSet(o.json) ? Format::Json : Format::Plain;
    s.watchdogMs = optionNumber(p, o.watchdog, 0, LongestWaitMs);
    if (p.isSet(o.arena) && !p.isSet(o.simulate))
        throw UsageError{QStringLiteral("--arena goes with --simulate")};
    checkSeed(o);
    if (p.isSet(o.oneByOne) && request.command != Command::Ranges)
        throw UsageError{QStringLiteral("--one-by-one goes with ranges")};
    if (p.isSet(o.count) && !p.isSet(o.every))
        throw UsageError{QStringLiteral("--count goes with --every")};
    if (p.isSet(o.every)) {
        if (!isReading(request.command))
            throw UsageError{QStringLiteral("--every repeats reading commands only")};
        s.everyMs = optionNumber(p, o.every, 0, 24 * 3600 * 1000, Milliseconds);
        s.count = p.isSet(o.count) ? optionNumber(p, o.count, 1, std::numeric_limits<int>::max()) : 0;
    }
    return s;
}


Options::Options()
{
    parser.setApplicationDescription(QString::fromLatin1(Description) + commandList()
                                     + QString::fromLatin1(DescriptionAfterCommands));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({com, device, simulate, arena, seed, keepView, trace, timeout, every, count, oneByOne, csv, json,
                       watchdog});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("One of the commands above."));
    parser.addPositionalArgument(QStringLiteral("arguments"), QStringLiteral("The command's arguments."),
                                 QStringLiteral("[arguments...]"));
}

} // namespace kestrava::cli
