#include "cli/request.h"

#include "actuators/lcd03.h"
#include "actuators/rly08.h"
#include "actuators/sd21.h"

#include <QHash>

namespace kestrava::cli {

namespace {

constexpr int RowLength = 16;

struct Shape
{
    Command command;
    int least; // positional arguments after the command's name
    int most;  // -1: no limit
    const char *usage;
};

const QHash<QString, Shape> &shapes()
{
    static const QHash<QString, Shape> all{
        {"read", {Command::Read, 2, 3, "read ADDR REG [COUNT]"}},
        {"write", {Command::Write, 3, -1, "write ADDR REG BYTE..."}},
        {"dump", {Command::Dump, 1, 3, "dump ADDR [FIRST [COUNT]]"}},
        {"probe", {Command::Probe, 0, -1, "probe [ADDR...]"}},
        {"telemetry", {Command::Telemetry, 0, 0, "telemetry"}},
        {"ranges", {Command::Ranges, 0, 0, "ranges"}},
        {"bearing", {Command::Bearing, 0, 0, "bearing"}},
        {"thermal", {Command::Thermal, 0, 0, "thermal"}},
        {"relays", {Command::Relays, 1, 1, "relays PATTERN"}},
        {"servo", {Command::Servo, 2, 2, "servo N POSITION"}},
        {"display", {Command::Display, 1, 1, "display TEXT"}},
        {"drive", {Command::Drive, 3, 3, "drive SPEED1 SPEED2 MS"}},
        {"serve", {Command::Serve, 0, 0, "serve"}},
        {"sim", {Command::Sim, 1, -1, "sim COMMAND..."}},
    };
    return all;
}

// Thrown by the checks below and caught once in parseRequest.
struct Refusal
{
    QString message;
};

long numberIn(const QString &text, const char *what, long least, long most)
{
    const std::optional<long> value = parseNumber(text);
    if (!value || *value < least || *value > most)
        throw Refusal{QStringLiteral("%1 must be a number from %2 to %3, not \"%4\"")
                          .arg(QLatin1String(what)).arg(least).arg(most).arg(text)};
    return *value;
}

quint8 addressIn(const QString &text)
{
    const std::optional<quint8> address = parseAddress(text);
    if (!address)
        throw Refusal{QStringLiteral("ADDR must be an even bus address from 02 to FE in hexadecimal, not \"%1\"")
                          .arg(text)};
    return *address;
}

void fill(Request &request, const QStringList &a)
{
    switch (request.command) {
    case Command::Read:
        request.addresses = {addressIn(a[0])};
        request.firstRegister = quint8(numberIn(a[1], "REG", 0, 255));
        request.count = a.size() > 2 ? int(numberIn(a[2], "COUNT", 1, MaxReadCount)) : 1;
        break;
    case Command::Write:
        request.addresses = {addressIn(a[0])};
        request.firstRegister = quint8(numberIn(a[1], "REG", 0, 255));
        for (const QString &byte : a.mid(2))
            request.bytes.push_back(quint8(numberIn(byte, "BYTE", 0, 255)));
        if (request.bytes.size() > MaxReadCount)
            throw Refusal{QStringLiteral("at most %1 bytes go in one frame").arg(MaxReadCount)};
        break;
    case Command::Dump:
        request.addresses = {addressIn(a[0])};
        request.firstRegister = a.size() > 1 ? quint8(numberIn(a[1], "FIRST", 0, 255)) : 0;
        request.count = a.size() > 2 ? int(numberIn(a[2], "COUNT", 1, 256 - request.firstRegister)) : RowLength;
        request.count = qMin(request.count, 256 - request.firstRegister);
        break;
    case Command::Probe:
        for (const QString &address : a)
            request.addresses.push_back(addressIn(address));
        request.wholeBus = a.isEmpty();
        for (int address = 0x02; request.wholeBus && address <= 0xFE; address += 2)
            request.addresses.push_back(quint8(address));
        break;
    case Command::Relays:
        request.bytes = {quint8(numberIn(a[0], "PATTERN", 0, 255))};
        break;
    case Command::Servo:
        request.servo = int(numberIn(a[0], "N", 1, sd21::ServoCount)) - 1;
        request.position = quint16(numberIn(a[1], "POSITION", MinServoPosition, MaxServoPosition));
        break;
    case Command::Display:
        if (a[0].toUcs4().size() > lcd03::TextLimit)
            throw Refusal{QStringLiteral("TEXT holds at most %1 characters").arg(lcd03::TextLimit)};
        request.text = a[0];
        break;
    case Command::Drive:
        request.speed1 = quint8(numberIn(a[0], "SPEED1", 0, 255));
        request.speed2 = quint8(numberIn(a[1], "SPEED2", 0, 255));
        request.milliseconds = int(numberIn(a[2], "MS", 0, MaxDriveMs));
        break;
    case Command::Sim:
        request.text = a.join(QLatin1Char(' '));
        break;
    default:
        break;
    }
}

} // namespace

bool isReading(Command command)
{
    switch (command) {
    case Command::Read: case Command::Dump: case Command::Probe: case Command::Telemetry:
    case Command::Ranges: case Command::Bearing: case Command::Thermal: case Command::Keys:
        return true;
    default:
        return false;
    }
}

std::optional<long> parseNumber(const QString &text)
{
    bool ok = false;
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const long value = hex ? text.mid(2).toLong(&ok, 16) : text.toLong(&ok, 10);
    if (!ok || text.contains(u'+') || text.contains(u'-') || text.contains(u' '))
        return std::nullopt;
    return value;
}

std::optional<quint8> parseAddress(const QString &text)
{
    const QString digits = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2) : text;
    bool ok = false;
    const int value = digits.toInt(&ok, 16);
    if (!ok || digits.isEmpty() || digits.size() > 2 || digits.contains(u'+') || digits.contains(u'-')
        || value < 0x02 || value % 2 != 0)
        return std::nullopt;
    return quint8(value);
}

QString addressText(quint8 address)
{
    return QStringLiteral("%1").arg(address, 2, 16, QLatin1Char('0')).toUpper();
}

std::variant<Request, QString> parseRequest(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return QStringLiteral("no command given; see kestrava-cli --help");
    const auto found = shapes().constFind(arguments.first());
    if (found == shapes().constEnd())
        return QStringLiteral("unknown command \"%1\"; see kestrava-cli --help").arg(arguments.first());
    const Shape &shape = *found;
    const QStringList rest = arguments.mid(1);
    if (rest.size() < shape.least || (shape.most >= 0 && rest.size() > shape.most))
        return QStringLiteral("usage: kestrava-cli %1").arg(QLatin1String(shape.usage));
    Request request;
    request.command = shape.command;
    try {
        fill(request, rest);
    } catch (const Refusal &refusal) {
        return refusal.message;
    }
    return request;
}

} // namespace kestrava::cli
