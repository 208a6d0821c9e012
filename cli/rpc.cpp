#include "cli/rpc.h"

#include "cli/commands.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>


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
std::variant<QJsonObject, Error> byName(const CommandRow &method, const QJsonArray &values)
{
    if (values.size() > qsizetype(method.params.size())) {
        QStringList names;
        for (const Param &param : method.params)
            names << QLatin1String(param.name);
        return Error{InvalidParams, QStringLiteral("\"%1\" takes at most %2 params by position: %3")
                                        .arg(QLatin1String(method.method)).arg(method.params.size())
                                        .arg(names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", ")))};
    }
    QJsonObject object;
    for (qsizetype i = 0; i < values.size(); ++i)
        object.insert(QLatin1String(method.params[size_t(i)].name), values[i]);
    return object;
}

} // namespace

std::variant<Request, Error> requestFor(const QString &name, const QJsonValue &params)
{
    const CommandRow *found = methodNamed(name);
    if (!found)
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
        found->fill(request, Params(std::get<QJsonObject>(named), found->params));
    } catch (const Refusal &bad) {
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
