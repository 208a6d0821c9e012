#include "launcher/controlanswer.h"

namespace kestrava::launcher {

namespace {

const QLatin1StringView Ok("ok"), OkAnd("ok "), Error("error: ");

std::optional<double> numberOf(const QString &text)
{
    bool valid = false;
    const double value = text.toDouble(&valid);
    return valid ? std::optional(value) : std::nullopt;
}

// A run with a clock: its words "time 12.3 contacts 1".
std::optional<RunAnswer> timed(RunAnswer::State state, const QStringList &words)
{
    if (words.size() < 4 || words[0] != QLatin1String("time") || words[2] != QLatin1String("contacts"))
        return std::nullopt;
    const std::optional<double> seconds = numberOf(words[1]);
    bool whole = false;
    const int contacts = words[3].toInt(&whole);
    if (!seconds || !whole)
        return std::nullopt;
    return RunAnswer{state, *seconds, contacts};
}

} // namespace

bool endsAnswer(QStringView line)
{
    return line == Ok || line.startsWith(OkAnd) || line.startsWith(Error);
}

std::optional<ControlAnswer> answerOf(const QStringList &lines)
{
    if (lines.isEmpty() || !endsAnswer(lines.last()))
        return std::nullopt;
    const QString &last = lines.last();
    const bool ok = !last.startsWith(Error);
    return ControlAnswer{ok, last.mid(ok ? OkAnd.size() : Error.size()), lines.first(lines.size() - 1)};
}

std::optional<RunAnswer> runOf(const ControlAnswer &answer)
{
    if (!answer.ok)
        return std::nullopt;
    if (answer.detail == QLatin1String("not started"))
        return RunAnswer{};
    const QStringList words = answer.detail.split(u' ');
    if (words.size() == 5 && words[0] == QLatin1String("running"))
        return timed(RunAnswer::State::Running, words.sliced(1));
    if (words.size() == 6 && words.sliced(4) == QStringList{"candle", "out"})
        return timed(RunAnswer::State::Finished, words.first(4));
    return std::nullopt;
}

std::optional<PoseAnswer> poseOf(const ControlAnswer &answer)
{
    for (const QString &line : answer.lines) {
        const QStringList words = line.split(u' ');
        if (words.size() != 6 || words[0] != QLatin1String("robot") || words[1] != QLatin1String("at")
            || words[4] != QLatin1String("heading"))
            continue;
        const std::optional<double> x = numberOf(words[2]), y = numberOf(words[3]), heading = numberOf(words[5]);
        if (x && y && heading)
            return PoseAnswer{*x, *y, *heading};
    }
    return std::nullopt;
}

} // namespace kestrava::launcher
