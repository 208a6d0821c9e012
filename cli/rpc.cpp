#include "cli/rpc.h"

#include "actuators/lcd03.h"
#include "actuators/sd21.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>

namespace kestrava::cli::rpc {

namespace {

const QHash<QString, Command> &methods()
{
    static const QHash<QString, Command> all{
        {"bearing", Command::Bearing}, {"thermal", Command::Thermal}, {"telemetry", Command::Telemetry},
        {"ranges", Command::Ranges},   {"read", Command::Read},       {"write", Command::Write},
        {"relays", Command::Relays},   {"servo", Command::Servo},     {"display", Command::Display},
        {"keys", Command::Keys},       {"drive", Command::Drive},     {"stop", Command::Stop},
        {"hello", Command::Hello},
        {"simulator.run", Command::SimulatorRun},       {"simulator.start", Command::SimulatorStart},
        {"simulator.arena", Command::SimulatorArena},   {"simulator.candle", Command::SimulatorCandle},
        {"simulator.pose", Command::SimulatorPose},
    };
    return all;
}

// Thrown by the checks below and caught once in requestFor.
struct BadParams
{
    QString message;
};

class Params
{
public:
    explicit Params(const QJsonObject &object)
        : m_object(object)
    {
    }

    bool has(const char *name) const { return m_object.contains(QLatin1String(name)); }

    long number(const char *name, long least, long most) const
    {
        const QJsonValue value = m_object.value(QLatin1String(name));
        const double number = value.toDouble(-1);
        if (!value.isDouble() || number != std::floor(number) || number < least || number > most)
            throw BadParams{QStringLiteral("\"%1\" must be a whole number from %2 to %3")
                                .arg(QLatin1String(name)).arg(least).arg(most)};
        return long(number);
    }

    quint8 address(const char *name) const
    {
        const long value = number(name, 0x02, 0xFE);
        if (value % 2 != 0)
            throw BadParams{QStringLiteral("\"%1\" must be an even bus address (192 for 0xC0)").arg(QLatin1String(name))};
        return quint8(value);
    }

    std::vector<quint8> bytes(const char *name) const
    {
        const QJsonValue value = m_object.value(QLatin1String(name));
        const QJsonArray array = value.toArray();
        if (!value.isArray() || array.isEmpty() || array.size() > MaxReadCount)
            throw BadParams{QStringLiteral("\"%1\" must be a list of 1 to %2 bytes").arg(QLatin1String(name)).arg(MaxReadCount)};
        std::vector<quint8> bytes;
        for (const QJsonValue &element : array) {
            const double byte = element.toDouble(-1);
            if (!element.isDouble() || byte != std::floor(byte) || byte < 0 || byte > 255)
                throw BadParams{QStringLiteral("\"%1\" must hold whole numbers from 0 to 255").arg(QLatin1String(name))};
            bytes.push_back(quint8(byte));
        }
        return bytes;
    }

    bool flag(const char *name, bool byDefault) const
    {
        const QJsonValue value = m_object.value(QLatin1String(name));
        if (value.isUndefined())
            return byDefault;
        if (!value.isBool())
            throw BadParams{QStringLiteral("\"%1\" must be true or false").arg(QLatin1String(name))};
        return value.toBool();
    }

    QString text(const char *name) const
    {
        const QJsonValue value = m_object.value(QLatin1String(name));
        if (!value.isString())
            throw BadParams{QStringLiteral("\"%1\" must be a string").arg(QLatin1String(name))};
        return value.toString();
    }

    // A word or path for one line of a control command: no line breaks to smuggle a second command in.
    QString oneLine(const char *name) const
    {
        const QString value = text(name);
        if (value.trimmed().isEmpty() || value.size() > 1024 || value.contains(u'\n') || value.contains(u'\r'))
            throw BadParams{QStringLiteral("\"%1\" must be a name or a path on one line").arg(QLatin1String(name))};
        return value;
    }

    double decimal(const char *name, double least, double most) const
    {
        const QJsonValue value = m_object.value(QLatin1String(name));
        const double number = value.toDouble(least - 1);
        if (!value.isDouble() || !(number >= least && number <= most))
            throw BadParams{QStringLiteral("\"%1\" must be a number from %2 to %3").arg(QLatin1String(name)).arg(least).arg(most)};
        return number;
    }

private:
    QJsonObject m_object;
};

void fill(Request &request, const Params &p)
{
    switch (request.command) {
    case Command::Read:
        request.addresses = {p.address("address")};
        request.firstRegister = quint8(p.number("register", 0, 255));
        request.count = int(p.number("count", 1, MaxReadCount));
        break;
    case Command::Write:
        request.addresses = {p.address("address")};
        request.firstRegister = quint8(p.number("register", 0, 255));
        request.bytes = p.bytes("bytes");
        break;
    case Command::Ranges:
        request.together = p.flag("together", true);
        break;
    case Command::Relays:
        request.bytes = {quint8(p.number("pattern", 0, 255))};
        break;
    case Command::Servo:
        request.servo = int(p.number("channel", 1, sd21::ServoCount)) - 1;
        request.position = quint16(p.number("position", MinServoPosition, MaxServoPosition));
        break;
    case Command::Display:
        request.text = p.text("text");
        if (request.text.toUcs4().size() > lcd03::TextLimit)
            throw BadParams{QStringLiteral("\"text\" holds at most %1 characters").arg(lcd03::TextLimit)};
        break;
    case Command::Drive:
        request.speed1 = quint8(p.number("speed1", 0, 255));
        request.speed2 = quint8(p.number("speed2", 0, 255));
        request.milliseconds = p.has("ms") ? int(p.number("ms", 0, MaxDriveMs)) : Request::NoTime;
        break;
    case Command::SimulatorRun: request.text = QStringLiteral("run"); break;
    case Command::SimulatorStart: request.text = QStringLiteral("start"); break;
    case Command::SimulatorPose: request.text = QStringLiteral("world"); break;
    case Command::SimulatorArena: request.text = QStringLiteral("arena ") + p.oneLine("arena"); break;
    case Command::SimulatorCandle: {
        // The simulator checks the place against its arena; here only that they are numbers.
        const double x = p.decimal("x", 0, 100000), y = p.decimal("y", 0, 100000);
        request.text = QStringLiteral("candle %1 %2").arg(x, 0, 'f', 1).arg(y, 0, 'f', 1);
        break;
    }
    default:
        break;
    }
}

Call callOf(const QJsonValue &element)
{
    const QJsonObject object = element.toObject();
    const QJsonValue id = object.value(QLatin1String("id"));
    const bool idValid = id.isUndefined() || id.isString() || id.isDouble() || id.isNull();
    const QJsonValue method = object.value(QLatin1String("method"));
    if (!element.isObject() || !idValid || object.value(QLatin1String("jsonrpc")) != QLatin1String("2.0")
        || !method.isString()) {
        // Answered even without an id, with null when it has none that can be used.
        const QJsonValue replyId = idValid && !id.isUndefined() ? id : QJsonValue(QJsonValue::Null);
        return {replyId, Error{InvalidRequest, QStringLiteral("not a JSON-RPC 2.0 request")}};
    }
    return {id, requestFor(method.toString(), object.value(QLatin1String("params")))};
}

} // namespace

std::variant<Request, Error> requestFor(const QString &method, const QJsonValue &params)
{
    const auto found = methods().constFind(method);
    if (found == methods().constEnd())
        return Error{MethodNotFound, QStringLiteral("no method \"%1\"").arg(method.left(64))};
    if (!params.isUndefined() && !params.isObject())
        return Error{InvalidParams, QStringLiteral("params must be an object of named values")};
    Request request;
    request.command = *found;
    try {
        fill(request, Params(params.toObject()));
    } catch (const BadParams &bad) {
        return Error{InvalidParams, bad.message};
    }
    return request;
}

Message parseLine(QByteArrayView line)
{
    Message message;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        message.calls.push_back({QJsonValue::Null, Error{ParseError, QStringLiteral("not JSON: %1").arg(parseError.errorString())}});
        return message;
    }
    if (document.isObject()) {
        message.calls.push_back(callOf(document.object()));
        return message;
    }
    const QJsonArray batch = document.array();
    if (batch.isEmpty()) {
        message.calls.push_back({QJsonValue::Null, Error{InvalidRequest, QStringLiteral("an empty batch")}});
        return message;
    }
    message.batch = true;
    for (const QJsonValue &element : batch)
        message.calls.push_back(callOf(element));
    return message;
}

QJsonObject resultReply(const QJsonValue &id, const QJsonValue &result)
{
    return {{"jsonrpc", "2.0"}, {"result", result}, {"id", id}};
}

QJsonObject errorReply(const QJsonValue &id, const Error &error)
{
    QJsonObject body{{"code", error.code}, {"message", error.message}};
    if (!error.data.isUndefined())
        body.insert(QStringLiteral("data"), error.data);
    return {{"jsonrpc", "2.0"}, {"error", body}, {"id", id}};
}

QJsonObject lineTooLongReply()
{
    return errorReply(QJsonValue::Null, {InvalidRequest, QStringLiteral("a line longer than %1 bytes").arg(MaxLineBytes)});
}

} // namespace kestrava::cli::rpc
