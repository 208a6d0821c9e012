#include "launcher/simanswers.h"

#include <QJsonDocument>

#include <array>

namespace kestrava::launcher {

namespace {

const QLatin1StringView Ok("ok"), OkAnd("ok "), Error("error: ");

bool hasNumbers(const QJsonObject &object, std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        if (!object.value(QLatin1String(name)).isDouble())
            return false;
    }
    return true;
}

std::optional<SimRun::State> stateNamed(const QString &name)
{
    static const std::array<std::pair<QLatin1StringView, SimRun::State>, 4> states{{
        {QLatin1StringView("not started"), SimRun::State::NotStarted},
        {QLatin1StringView("running"), SimRun::State::Running},
        {QLatin1StringView("ended"), SimRun::State::Ended},
        {QLatin1StringView("finished"), SimRun::State::Finished},
    }};
    for (const auto &[text, state] : states) {
        if (name == text)
            return state;
    }
    return std::nullopt;
}

} // namespace

bool endsAnswer(QStringView line)
{
    return line == Ok || line.startsWith(OkAnd) || line.startsWith(Error) || line.startsWith(u'{');
}

bool succeeded(const QStringList &lines)
{
    if (lines.isEmpty())
        return false;
    if (const std::optional<SimAnswer> answer = simAnswerOf(lines.last()))
        return answer->ok;
    return lines.last() == Ok || lines.last().startsWith(OkAnd);
}

QString askingForJson(const QString &command)
{
    return QStringLiteral("json ") + command;
}

std::optional<SimAnswer> simAnswerOf(const QString &line)
{
    const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8());
    const QJsonObject object = document.object();
    if (!object.value(QLatin1String("ok")).isBool())
        return std::nullopt;
    const bool ok = object.value(QLatin1String("ok")).toBool();
    return SimAnswer{ok, object.value(QLatin1String("error")).toString(), object};
}

std::optional<SimRun> runOf(const SimAnswer &answer)
{
    const std::optional<SimRun::State> state = stateNamed(answer.values.value(QLatin1String("state")).toString());
    if (!answer.ok || !state || !hasNumbers(answer.values, {"time", "contacts"}))
        return std::nullopt;
    return SimRun{*state, answer.values.value(QLatin1String("time")).toDouble(),
                  answer.values.value(QLatin1String("contacts")).toInt()};
}

std::optional<SimPose> poseOf(const SimAnswer &answer)
{
    const QJsonObject robot = answer.values.value(QLatin1String("robot")).toObject();
    if (!answer.ok || !hasNumbers(robot, {"x", "y", "heading"}))
        return std::nullopt;
    return SimPose{robot.value(QLatin1String("x")).toDouble(), robot.value(QLatin1String("y")).toDouble(),
                   robot.value(QLatin1String("heading")).toDouble()};
}

std::optional<QJsonArray> pathOf(const SimAnswer &answer)
{
    const QJsonValue points = answer.values.value(QLatin1String("points"));
    if (!answer.ok || !points.isArray())
        return std::nullopt;
    for (const QJsonValue point : points.toArray()) {
        const QJsonObject object = point.toObject();
        if (!hasNumbers(object, {"t", "x", "y", "heading"}) || !object.value(QLatin1String("fan")).isBool()
            || !object.value(QLatin1String("contact")).isBool())
            return std::nullopt;
    }
    return points.toArray();
}

std::optional<SimClock> clockOf(const SimAnswer &answer)
{
    const QString kind = answer.values.value(QLatin1String("clock")).toString();
    const QJsonValue nanoseconds = answer.values.value(QLatin1String("nanoseconds"));
    if (!answer.ok || (kind != QLatin1String("stepped") && kind != QLatin1String("real")) || !nanoseconds.isDouble()
        || nanoseconds.toDouble() < 0)
        return std::nullopt;
    return SimClock{kind == QLatin1String("stepped"), std::chrono::nanoseconds(qint64(nanoseconds.toDouble()))};
}

} // namespace kestrava::launcher
