#include "cli/rpc.h"

#include "actuators/lcd03.h"
#include "actuators/sd21.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>

namespace kestrava::cli::rpc {

namespace {

// The raw text of a line already parsed as JSON: where each value ends, so that an id
// is read as it was written instead of through a double.
bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

qsizetype skipSpace(QByteArrayView text, qsizetype i)
{
    while (i < text.size() && isSpace(text[i]))
        ++i;
    return i;
}

qsizetype endOfString(QByteArrayView text, qsizetype i)
{
    for (++i; i < text.size(); ++i) {
        if (text[i] == '\\')
            ++i;
        else if (text[i] == '"')
            return i + 1;
    }
    return text.size();
}

qsizetype endOfValue(QByteArrayView text, qsizetype i)
{
    if (i >= text.size())
        return i;
    if (text[i] == '"')
        return endOfString(text, i);
    if (text[i] != '{' && text[i] != '[') {
        while (i < text.size() && !isSpace(text[i]) && text[i] != ',' && text[i] != ']' && text[i] != '}')
            ++i;
        return i;
    }
    int depth = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"')
            i = endOfString(text, i) - 1;
        else if (c == '{' || c == '[')
            ++depth;
        else if ((c == '}' || c == ']') && --depth == 0)
            return i + 1;
    }
    return text.size();
}

// The members of an object, or the elements of an array, as raw text (keys with their quotes).
std::vector<std::pair<QByteArrayView, QByteArrayView>> partsOf(QByteArrayView text)
{
    std::vector<std::pair<QByteArrayView, QByteArrayView>> parts;
    const qsizetype open = skipSpace(text, 0);
    const bool object = open < text.size() && text[open] == '{';
    qsizetype i = skipSpace(text, open + 1);
    while (i < text.size() && text[i] != '}' && text[i] != ']') {
        QByteArrayView key;
        if (object) {
            const qsizetype keyEnd = endOfString(text, i);
            key = text.sliced(i, keyEnd - i);
            i = skipSpace(text, skipSpace(text, keyEnd) + 1); // past the colon
        }
        const qsizetype end = endOfValue(text, i);
        parts.emplace_back(key, text.sliced(i, end - i));
        i = skipSpace(text, end);
        if (i < text.size() && text[i] == ',')
            i = skipSpace(text, i + 1);
    }
    return parts;
}

// The id's text as sent; the parsed value's when the key was written with escapes.
QByteArray rawId(QByteArrayView request, const QJsonValue &id)
{
    QByteArray raw;
    for (const auto &[key, value] : partsOf(request)) {
        if (key == "\"id\"")
            raw = value.toByteArray(); // the last of repeated keys, as the parser takes it
    }
    if (raw.isEmpty())
        raw = QJsonDocument(QJsonArray{id}).toJson(QJsonDocument::Compact).sliced(1).chopped(1);
    return raw;
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
        request.count = p.has("count") ? int(p.number("count", 1, MaxReadCount)) : 1;
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
        request.waitForEnd = p.flag("wait", true);
        if (!request.waitForEnd && request.milliseconds == Request::NoTime)
            throw BadParams{QStringLiteral("\"wait\" goes with \"ms\"")};
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

Call callOf(const QJsonValue &element, QByteArrayView text)
{
    const QJsonObject object = element.toObject();
    const QJsonValue id = object.value(QLatin1String("id"));
    const bool idValid = id.isUndefined() || id.isString() || id.isDouble() || id.isNull();
    const QByteArray replyId = idValid && !id.isUndefined() ? rawId(text, id) : QByteArray();
    const QJsonValue method = object.value(QLatin1String("method"));
    const QJsonValue params = object.value(QLatin1String("params"));
    // params, when present, must be a structured value: null or a number is no request at all.
    if (!element.isObject() || !idValid || object.value(QLatin1String("jsonrpc")) != QLatin1String("2.0")
        || !method.isString() || !(params.isUndefined() || params.isObject() || params.isArray())) {
        // Answered even without an id, with null when it has none that can be used.
        return {replyId.isEmpty() ? QByteArray("null") : replyId,
                Error{InvalidRequest, QStringLiteral("not a JSON-RPC 2.0 request")}};
    }
    return {replyId, requestFor(method.toString(), params)};
}

// Params by position, named in the order of the method's list.
std::variant<QJsonObject, Error> byName(const Method &method, const QJsonArray &values)
{
    if (values.size() > qsizetype(method.params.size())) {
        QStringList names;
        for (const char *name : method.params)
            names << QLatin1String(name);
        return Error{InvalidParams, QStringLiteral("\"%1\" takes at most %2 params by position: %3")
                                        .arg(QLatin1String(method.name)).arg(method.params.size())
                                        .arg(names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", ")))};
    }
    QJsonObject object;
    for (qsizetype i = 0; i < values.size(); ++i)
        object.insert(QLatin1String(method.params[size_t(i)]), values[i]);
    return object;
}

} // namespace

const std::vector<Method> &methods()
{
    static const std::vector<Method> all{
        {"hello", Command::Hello, {}},
        {"bearing", Command::Bearing, {}},
        {"thermal", Command::Thermal, {}},
        {"telemetry", Command::Telemetry, {}},
        {"ranges", Command::Ranges, {"together"}},
        {"read", Command::Read, {"address", "register", "count"}},
        {"write", Command::Write, {"address", "register", "bytes"}},
        {"relays", Command::Relays, {"pattern"}},
        {"servo", Command::Servo, {"channel", "position"}},
        {"display", Command::Display, {"text"}},
        {"keys", Command::Keys, {}},
        {"drive", Command::Drive, {"speed1", "speed2", "ms", "wait"}},
        {"stop", Command::Stop, {}},
        {"simulator.run", Command::SimulatorRun, {}},
        {"simulator.start", Command::SimulatorStart, {}},
        {"simulator.arena", Command::SimulatorArena, {"arena"}},
        {"simulator.candle", Command::SimulatorCandle, {"x", "y"}},
        {"simulator.pose", Command::SimulatorPose, {}},
    };
    return all;
}

std::variant<Request, Error> requestFor(const QString &name, const QJsonValue &params)
{
    const auto found = std::find_if(methods().begin(), methods().end(),
                                    [&name](const Method &method) { return name == QLatin1String(method.name); });
    if (found == methods().end())
        return Error{MethodNotFound, QStringLiteral("no method \"%1\"").arg(name.left(64))};
    if (!params.isUndefined() && !params.isObject() && !params.isArray())
        return Error{InvalidRequest, QStringLiteral("params must be an object or an array")};
    const std::variant<QJsonObject, Error> named = params.isArray() ? byName(*found, params.toArray())
                                                                    : std::variant<QJsonObject, Error>(params.toObject());
    if (const Error *error = std::get_if<Error>(&named))
        return *error;
    Request request;
    request.command = found->command;
    try {
        fill(request, Params(std::get<QJsonObject>(named)));
    } catch (const BadParams &bad) {
        return Error{InvalidParams, bad.message};
    }
    return request;
}

// Valid JSON that is neither an object nor an array (1, null, "x") is no request;
// the document parser refuses it as it refuses broken text, so it is told apart here.
bool isLoneValue(QByteArrayView line)
{
    QJsonParseError error;
    const QJsonDocument wrapped = QJsonDocument::fromJson("[" + line.toByteArray() + "]", &error);
    return error.error == QJsonParseError::NoError && wrapped.array().size() == 1;
}

Message parseLine(QByteArrayView line)
{
    Message message;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        message.calls.push_back(isLoneValue(line) ? Call{"null", Error{InvalidRequest, QStringLiteral("not a JSON-RPC 2.0 request")}}
                                                  : Call{"null", Error{ParseError, QStringLiteral("not JSON: %1").arg(parseError.errorString())}});
        return message;
    }
    if (document.isObject()) {
        message.calls.push_back(callOf(document.object(), line));
        return message;
    }
    const QJsonArray batch = document.array();
    if (batch.isEmpty()) {
        message.calls.push_back({"null", Error{InvalidRequest, QStringLiteral("an empty batch")}});
        return message;
    }
    message.batch = true;
    const auto texts = partsOf(line);
    for (qsizetype i = 0; i < batch.size(); ++i)
        message.calls.push_back(callOf(batch[i], size_t(i) < texts.size() ? texts[size_t(i)].second : QByteArrayView()));
    return message;
}

namespace {

QByteArray compact(const QJsonValue &value)
{
    return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).sliced(1).chopped(1);
}

} // namespace

// Members in the order a JSON object of Qt's would print them, the id as it came.
QByteArray resultReply(const QByteArray &id, const QJsonValue &result)
{
    return R"({"id":)" + id + R"(,"jsonrpc":"2.0","result":)" + compact(result) + "}";
}

QByteArray errorReply(const QByteArray &id, const Error &error)
{
    QJsonObject body{{"code", error.code}, {"message", error.message}};
    if (!error.data.isUndefined())
        body.insert(QStringLiteral("data"), error.data);
    return R"({"error":)" + compact(body) + R"(,"id":)" + id + R"(,"jsonrpc":"2.0"})";
}

QByteArray lineTooLongReply()
{
    return errorReply("null", {InvalidRequest, QStringLiteral("a line longer than %1 bytes").arg(MaxLineBytes)});
}

} // namespace kestrava::cli::rpc
