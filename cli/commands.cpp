#include "cli/commands.h"

#include "cli/limits.h"

#include <algorithm>

namespace kestrava::cli {

namespace {

void noValues(Request &, const Words &) {}
void noParams(Request &, const Params &) {}

// The simulator checks the place against its arena; here only that they are numbers.
void candleFromParams(Request &r, const Params &p)
{
    const double x = p.decimal("x"), y = p.decimal("y");
    r.text = QStringLiteral("candle %1 %2").arg(x, 0, 'f', 1).arg(y, 0, 'f', 1);
}

void driveFromParams(Request &r, const Params &p)
{
    r.speed1 = quint8(p.number("speed1"));
    r.speed2 = quint8(p.number("speed2"));
    r.milliseconds = p.has("ms") ? int(p.number("ms")) : Request::NoTime;
    r.waitForEnd = p.flag("wait", true);
    if (!r.waitForEnd && r.milliseconds == Request::NoTime)
        throw Refusal{QStringLiteral("\"wait\" goes with \"ms\"")};
}

void writeFromWords(Request &r, const Words &a)
{
    r.addresses = {a.address(0)};
    r.firstRegister = quint8(a.number(1, "REG", 0, 255));
    for (qsizetype i = 2; i < a.size(); ++i)
        r.bytes.push_back(quint8(a.number(i, "BYTE", 0, 255)));
    if (r.bytes.size() > MaxReadCount)
        throw Refusal{QStringLiteral("at most %1 bytes go in one frame").arg(MaxReadCount)};
}

void dumpFromWords(Request &r, const Words &a)
{
    r.addresses = {a.address(0)};
    r.firstRegister = a.size() > 1 ? quint8(a.number(1, "FIRST", 0, 255)) : 0;
    r.count = a.size() > 2 ? int(a.number(2, "COUNT", 1, 256 - r.firstRegister)) : DumpRowLength;
    r.count = qMin(r.count, 256 - r.firstRegister);
}

// Named addresses, or with none the whole bus from 02 to FE.
void probeFromWords(Request &r, const Words &a)
{
    for (qsizetype i = 0; i < a.size(); ++i)
        r.addresses.push_back(a.address(i));
    r.wholeBus = a.size() == 0;
    for (int address = 0x02; r.wholeBus && address <= 0xFE; address += 2)
        r.addresses.push_back(quint8(address));
}

} // namespace

// In --help's order; the server's reference lists the methods in this order too.
const std::vector<CommandRow> &commands()
{
    static const std::vector<CommandRow> all{
        {.command = Command::Hello, .method = "hello", .fromParams = noParams},
        {.command = Command::Read, .name = "read", .usage = "read ADDR REG [COUNT]", .example = "kestrava-cli read B0 13",
         .least = 2, .most = 3,
         .fromWords = [](Request &r, const Words &a) {
             r.addresses = {a.address(0)};
             r.firstRegister = quint8(a.number(1, "REG", 0, 255));
             r.count = a.size() > 2 ? int(a.number(2, "COUNT", 1, MaxReadCount)) : 1;
         },
         .method = "read", .params = {{"address", Param::Address, 0x02, 0xFE}, {"register", Param::Whole, 0, 255},
                                      {"count", Param::Whole, 1, MaxReadCount}},
         .fromParams = [](Request &r, const Params &p) {
             r.addresses = {p.address("address")};
             r.firstRegister = quint8(p.number("register"));
             r.count = p.has("count") ? int(p.number("count")) : 1;
         },
         .reads = true},
        {.command = Command::Write, .name = "write", .usage = "write ADDR REG BYTE...", .example = "kestrava-cli write B0 15 2",
         .least = 3, .most = -1, .fromWords = writeFromWords,
         .method = "write", .params = {{"address", Param::Address, 0x02, 0xFE}, {"register", Param::Whole, 0, 255},
                                       {"bytes", Param::Bytes, 1, MaxReadCount}},
         .fromParams = [](Request &r, const Params &p) {
             r.addresses = {p.address("address")};
             r.firstRegister = quint8(p.number("register"));
             r.bytes = p.bytes("bytes");
         }},
        {.command = Command::Dump, .name = "dump", .usage = "dump ADDR [FIRST [COUNT]]", .example = "kestrava-cli dump C0 0 16",
         .least = 1, .most = 3, .fromWords = dumpFromWords, .reads = true},
        {.command = Command::Probe, .name = "probe", .usage = "probe [ADDR...]",
         .example = "kestrava-cli probe E0 E2 E4 E6 E8 F0 F2", .least = 0, .most = -1, .fromWords = probeFromWords,
         .reads = true},
        {.command = Command::Telemetry, .name = "telemetry", .usage = "telemetry",
         .example = "kestrava-cli telemetry --csv --every 1000 --count 60", .fromWords = noValues,
         .method = "telemetry", .fromParams = noParams, .reads = true},
        {.command = Command::Ranges, .name = "ranges", .usage = "ranges", .example = "kestrava-cli ranges --json",
         .fromWords = noValues, // --one-by-one says how they measure
         .method = "ranges", .params = {{"together", Param::Flag}},
         .fromParams = [](Request &r, const Params &p) { r.together = p.flag("together", true); }, .reads = true},
        {.command = Command::Bearing, .name = "bearing", .usage = "bearing", .example = "kestrava-cli bearing",
         .fromWords = noValues, .method = "bearing", .fromParams = noParams, .reads = true},
        {.command = Command::Thermal, .name = "thermal", .usage = "thermal", .example = "kestrava-cli thermal",
         .fromWords = noValues, .method = "thermal", .fromParams = noParams, .reads = true},
        {.command = Command::Relays, .name = "relays", .usage = "relays PATTERN", .example = "kestrava-cli relays 0x81",
         .least = 1, .most = 1,
         .fromWords = [](Request &r, const Words &a) { r.bytes = {quint8(a.number(0, "PATTERN", 0, 255))}; },
         .method = "relays", .params = {{"pattern", Param::Whole, 0, 255}},
         .fromParams = [](Request &r, const Params &p) { r.bytes = {quint8(p.number("pattern"))}; }},
        {.command = Command::Servo, .name = "servo", .usage = "servo N POSITION", .example = "kestrava-cli servo 1 1500",
         .least = 2, .most = 2,
         .fromWords = [](Request &r, const Words &a) {
             r.servo = int(a.number(0, "N", 1, ServoCount)) - 1;
             r.position = quint16(a.number(1, "POSITION", MinServoPosition, MaxServoPosition));
         },
         .method = "servo", .params = {{"channel", Param::Whole, 1, ServoCount},
                                       {"position", Param::Whole, MinServoPosition, MaxServoPosition}},
         .fromParams = [](Request &r, const Params &p) {
             r.servo = int(p.number("channel")) - 1;
             r.position = quint16(p.number("position"));
         }},
        {.command = Command::Display, .name = "display", .usage = "display TEXT", .example = "kestrava-cli display \"Hola\"",
         .least = 1, .most = 1,
         .fromWords = [](Request &r, const Words &a) { r.text = a.text(0, "TEXT", MaxTextLength); },
         .method = "display", .params = {{"text", Param::Text, 0, MaxTextLength}},
         .fromParams = [](Request &r, const Params &p) { r.text = p.text("text"); }},
        {.command = Command::Keys, .method = "keys", .fromParams = noParams, .reads = true},
        {.command = Command::Drive, .name = "drive", .usage = "drive SPEED1 SPEED2 MS",
         .example = "kestrava-cli drive 150 128 2000", .least = 3, .most = 3,
         .fromWords = [](Request &r, const Words &a) {
             r.speed1 = quint8(a.number(0, "SPEED1", 0, 255));
             r.speed2 = quint8(a.number(1, "SPEED2", 0, 255));
             r.milliseconds = int(a.number(2, "MS", 0, MaxDriveMs));
         },
         .method = "drive", .params = {{"speed1", Param::Whole, 0, 255}, {"speed2", Param::Whole, 0, 255},
                                       {"ms", Param::Whole, 0, MaxDriveMs}, {"wait", Param::Flag}},
         .fromParams = driveFromParams},
        {.command = Command::Wheels, .method = "wheels",
         .params = {{"left", Param::Whole, -MaxWheelStep, MaxWheelStep}, {"right", Param::Whole, -MaxWheelStep, MaxWheelStep}},
         .fromParams = [](Request &r, const Params &p) {
             r.left = int(p.number("left"));
             r.right = int(p.number("right"));
         }},
        {.command = Command::Stop, .method = "stop", .fromParams = noParams},
        {.command = Command::Serve, .name = "serve", .usage = "serve",
         .example = "kestrava-cli --simulate serve   (JSON-RPC 2.0 on stdin/stdout)", .fromWords = noValues},
        {.command = Command::Sim, .name = "sim", .usage = "sim COMMAND...",
         .example = "kestrava-cli --device /tmp/kestrava-adapter sim run\n"
                    "(a control command to the kestrava-sim whose --link is the device)",
         .least = 1, .most = -1,
         .fromWords = [](Request &r, const Words &a) { r.text = a.all().join(QLatin1Char(' ')); }},
        {.command = Command::SimulatorRun, .method = "simulator.run",
         .fromParams = [](Request &r, const Params &) { r.text = QStringLiteral("run"); }},
        {.command = Command::SimulatorStart, .method = "simulator.start",
         .fromParams = [](Request &r, const Params &) { r.text = QStringLiteral("start"); }},
        {.command = Command::SimulatorArena, .method = "simulator.arena",
         .params = {{"arena", Param::OneLine, 1, 1024}}, // a name or a path, at most 1024 characters
         .fromParams = [](Request &r, const Params &p) { r.text = QStringLiteral("arena ") + p.oneLine("arena"); }},
        {.command = Command::SimulatorCandle, .method = "simulator.candle",
         .params = {{"x", Param::Decimal, 0, 100000}, {"y", Param::Decimal, 0, 100000}},
         .fromParams = candleFromParams},
        {.command = Command::SimulatorPose, .method = "simulator.pose",
         .fromParams = [](Request &r, const Params &) { r.text = QStringLiteral("world"); }},
        {.command = Command::SimulatorPath, .method = "simulator.path",
         .fromParams = [](Request &r, const Params &) { r.text = QStringLiteral("path"); }},
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

const CommandRow &rowOf(Command command)
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
