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

// Seconds written with up to nine decimals, read to the nanosecond without rounding.
std::optional<std::chrono::nanoseconds> exactSeconds(const QString &text)
{
    const QStringList parts = text.split(u'.');
    bool whole = false, fraction = parts.size() == 1;
    const qint64 seconds = parts[0].toLongLong(&whole);
    qint64 nanoseconds = 0;
    if (parts.size() == 2 && !parts[1].isEmpty() && parts[1].size() <= 9)
        nanoseconds = parts[1].leftJustified(9, u'0').toLongLong(&fraction);
    if (!whole || !fraction || parts.size() > 2 || seconds < 0 || nanoseconds < 0 || seconds > 1'000'000'000)
        return std::nullopt;
    return std::chrono::seconds(seconds) + std::chrono::nanoseconds(nanoseconds);
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

std::optional<ClockAnswer> clockOf(const ControlAnswer &answer)
{
    const QStringList words = answer.detail.split(u' ');
    if (!answer.ok || words.size() != 2 || (words[0] != QLatin1String("stepped") && words[0] != QLatin1String("real")))
        return std::nullopt;
    const std::optional<std::chrono::nanoseconds> time = exactSeconds(words[1]);
    return time ? std::optional(ClockAnswer{words[0] == QLatin1String("stepped"), *time}) : std::nullopt;
}

std::optional<std::chrono::nanoseconds> waitedTo(const ControlAnswer &answer)
{
    return answer.ok ? exactSeconds(answer.detail) : std::nullopt;
}

} // namespace kestrava::launcher
