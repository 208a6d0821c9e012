#include "cli/commands.h"

#include "cli/limits.h"

#include <algorithm>

namespace kestrava::cli {

namespace {

void noValues(Request &, const Values &) {}

void readFrom(Request &r, const Values &v)
{
    r.addresses = {v.address("address")};
    r.firstRegister = quint8(v.number("register"));
    r.count = v.has("count") ? int(v.number("count")) : 1;
}

void writeFrom(Request &r, const Values &v)
{
    r.addresses = {v.address("address")};
    r.firstRegister = quint8(v.number("register"));
    r.bytes = v.bytes("bytes");
}

void dumpFrom(Request &r, const Values &v)
{
    r.addresses = {v.address("address")};
    r.firstRegister = v.has("first") ? quint8(v.number("first")) : 0;
    const int left = 256 - r.firstRegister;
    r.count = v.has("count") ? int(v.number("count", left)) : qMin(DumpRowLength, left);
}

// Named addresses, or with none the whole bus from 02 to FE.
void probeFrom(Request &r, const Values &v)
{
    r.addresses = v.addresses("addresses");
    r.wholeBus = r.addresses.empty();
    for (int address = 0x02; r.wholeBus && address <= 0xFE; address += 2)
        r.addresses.push_back(quint8(address));
}

void servoFrom(Request &r, const Values &v)
{
    r.servo = int(v.number("channel")) - 1;
    r.position = quint16(v.number("position"));
}

void driveFrom(Request &r, const Values &v)
{
    r.speed1 = quint8(v.number("speed1"));
    r.speed2 = quint8(v.number("speed2"));
    r.milliseconds = v.has("ms") ? int(v.number("ms")) : Request::NoTime;
    r.waitForEnd = v.flag("wait", true);
    if (!r.waitForEnd && r.milliseconds == Request::NoTime)
        throw Refusal{QStringLiteral("\"wait\" goes with \"ms\"")};
}

// The simulator checks the place against its arena; here only that they are numbers.
void candleFrom(Request &r, const Values &v)
{
    const double x = v.decimal("x"), y = v.decimal("y");
    r.controlLine = QStringLiteral("candle %1 %2").arg(x, 0, 'f', 1).arg(y, 0, 'f', 1);
}

const Param Address{"address", Param::Address, 0x02, 0xFE, "ADDR"};
const Param Register{"register", Param::Whole, 0, 255, "REG"};

} // namespace

// In --help's order; the server's reference lists the methods in this order too.
const std::vector<CommandRow> &commands()
{
    static const std::vector<CommandRow> all{
        {.command = Command::Hello, .method = "hello", .fill = noValues},
        {.command = Command::Read, .name = "read", .usage = "read ADDR REG [COUNT]", .example = "kestrava-cli read B0 13",
         .least = 2, .most = 3, .method = "read",
         .params = {Address, Register, {"count", Param::Whole, 1, MaxReadCount, "COUNT"}}, .fill = readFrom, .reads = true},
        {.command = Command::Write, .name = "write", .usage = "write ADDR REG BYTE...", .example = "kestrava-cli write B0 15 2",
         .least = 3, .most = -1, .method = "write",
         .params = {Address, Register, {"bytes", Param::Bytes, 1, MaxReadCount, "BYTE"}}, .fill = writeFrom},
        {.command = Command::Dump, .name = "dump", .usage = "dump ADDR [FIRST [COUNT]]", .example = "kestrava-cli dump C0 0 16",
         .least = 1, .most = 3,
         .params = {Address, {"first", Param::Whole, 0, 255, "FIRST"}, {"count", Param::Whole, 1, 256, "COUNT"}},
         .fill = dumpFrom, .reads = true},
        {.command = Command::Probe, .name = "probe", .usage = "probe [ADDR...]",
         .example = "kestrava-cli probe E0 E2 E4 E6 E8 F0 F2", .least = 0, .most = -1,
         .params = {{"addresses", Param::Addresses, 0x02, 0xFE, "ADDR"}}, .fill = probeFrom, .reads = true},
        {.command = Command::Telemetry, .name = "telemetry", .usage = "telemetry",
         .example = "kestrava-cli telemetry --csv --every 1000 --count 60", .method = "telemetry", .fill = noValues,
         .reads = true},
        {.command = Command::Ranges, .name = "ranges", .usage = "ranges", .example = "kestrava-cli ranges --json",
         .method = "ranges", .params = {{"together", Param::Flag}}, // on the command line: --one-by-one
         .fill = [](Request &r, const Values &v) { r.together = v.flag("together", true); }, .reads = true},
        {.command = Command::Bearing, .name = "bearing", .usage = "bearing", .example = "kestrava-cli bearing",
         .method = "bearing", .fill = noValues, .reads = true},
        {.command = Command::Thermal, .name = "thermal", .usage = "thermal", .example = "kestrava-cli thermal",
         .method = "thermal", .fill = noValues, .reads = true},
        {.command = Command::Relays, .name = "relays", .usage = "relays PATTERN", .example = "kestrava-cli relays 0x81",
         .least = 1, .most = 1, .method = "relays", .params = {{"pattern", Param::Whole, 0, 255, "PATTERN"}},
         .fill = [](Request &r, const Values &v) { r.bytes = {quint8(v.number("pattern"))}; }},
        {.command = Command::Servo, .name = "servo", .usage = "servo N POSITION", .example = "kestrava-cli servo 1 1500",
         .least = 2, .most = 2, .method = "servo",
         .params = {{"channel", Param::Whole, 1, ServoCount, "N"},
                    {"position", Param::Whole, MinServoPosition, MaxServoPosition, "POSITION"}},
         .fill = servoFrom},
        {.command = Command::Display, .name = "display", .usage = "display TEXT", .example = "kestrava-cli display \"Hola\"",
         .least = 1, .most = 1, .method = "display", .params = {{"text", Param::Text, 0, MaxTextLength, "TEXT"}},
         .fill = [](Request &r, const Values &v) { r.displayText = v.text("text"); }},
        {.command = Command::Keys, .method = "keys", .fill = noValues, .reads = true},
        {.command = Command::Drive, .name = "drive", .usage = "drive SPEED1 SPEED2 MS",
         .example = "kestrava-cli drive 150 128 2000", .least = 3, .most = 3, .method = "drive",
         .params = {{"speed1", Param::Whole, 0, 255, "SPEED1"}, {"speed2", Param::Whole, 0, 255, "SPEED2"},
                    {"ms", Param::Whole, 0, MaxDriveMs, "MS"}, {"wait", Param::Flag}},
         .fill = driveFrom},
        {.command = Command::Wheels, .method = "wheels",
         .params = {{"left", Param::Whole, -MaxWheelStep, MaxWheelStep}, {"right", Param::Whole, -MaxWheelStep, MaxWheelStep}},
         .fill = [](Request &r, const Values &v) {
             r.left = int(v.number("left"));
             r.right = int(v.number("right"));
         }},
        {.command = Command::Stop, .method = "stop", .fill = noValues},
        {.command = Command::Wait, .method = "wait", .params = {{"seconds", Param::Decimal, 0, LongestClockWaitSeconds}},
         .fill = [](Request &r, const Values &v) {
             r.span = std::chrono::round<std::chrono::nanoseconds>(std::chrono::duration<double>(v.decimal("seconds")));
         }},
        {.command = Command::Clock, .method = "clock", .fill = noValues, .reads = true},
        {.command = Command::Serve, .name = "serve", .usage = "serve",
         .example = "kestrava-cli --simulate serve   (JSON-RPC 2.0 on stdin/stdout)", .fill = noValues},
        {.command = Command::Sim, .name = "sim", .usage = "sim COMMAND...",
         .example = "kestrava-cli --device /tmp/kestrava-adapter sim run\n"
                    "(a control command to the kestrava-sim whose --link is the device)",
         .least = 1, .most = -1, .params = {{"command", Param::OneLine, 1, 1024, "COMMAND"}},
         .fill = [](Request &r, const Values &v) { r.controlLine = v.oneLine("command"); }},
        {.command = Command::SimulatorRun, .method = "simulator.run",
         .fill = [](Request &r, const Values &) { r.controlLine = QStringLiteral("run"); }},
        {.command = Command::SimulatorStart, .method = "simulator.start",
         .fill = [](Request &r, const Values &) { r.controlLine = QStringLiteral("start"); }},
        {.command = Command::SimulatorArena, .method = "simulator.arena",
         .params = {{"arena", Param::OneLine, 1, 1024}}, // a name or a path, at most 1024 characters
         .fill = [](Request &r, const Values &v) { r.controlLine = QStringLiteral("arena ") + v.oneLine("arena"); }},
        {.command = Command::SimulatorCandle, .method = "simulator.candle",
         .params = {{"x", Param::Decimal, 0, 100000}, {"y", Param::Decimal, 0, 100000}}, .fill = candleFrom},
        {.command = Command::SimulatorPose, .method = "simulator.pose",
         .fill = [](Request &r, const Values &) { r.controlLine = QStringLiteral("world"); }},
        {.command = Command::SimulatorPath, .method = "simulator.path",
         .fill = [](Request &r, const Values &) { r.controlLine = QStringLiteral("path"); }},
    };
    return all;
}

const CommandRow *commandNamed(const QString &name)
{
    const auto &all = commands();
    const auto found = std::find_if(all.begin(), all.end(),
                                    [&name](const CommandRow &row) { return row.name && name == QLatin1String(row.name); });
    return found == all.end() ? nullptr : &*found;
}

const CommandRow *methodNamed(const QString &method)
{
    const auto &all = commands();
    const auto found = std::find_if(all.begin(), all.end(), [&method](const CommandRow &row) {
        return row.method && method == QLatin1String(row.method);
    });
    return found == all.end() ? nullptr : &*found;
}

const CommandRow &tableRow(Command command)
{
    const auto &all = commands();
    return *std::find_if(all.begin(), all.end(), [command](const CommandRow &row) { return row.command == command; });
}

QString commandList()
{
    constexpr int ExampleColumn = 31;
    const QString indent(ExampleColumn, u' ');
    QString list;
    for (const CommandRow &row : commands()) {
        if (!row.name)
            continue;
        const QString usage = QStringLiteral("  ") + QLatin1String(row.usage);
        list += usage.leftJustified(ExampleColumn - 1) + u' '
              + QString::fromLatin1(row.example).replace(u'\n', u'\n' + indent) + u'\n';
    }
    return list;
}

} // namespace kestrava::cli
