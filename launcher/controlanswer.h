#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace kestrava::launcher {

// kestrava-sim's answer to one control command, read once here so that no program
// parses its words again.
struct ControlAnswer
{
    bool ok = false;
    QString detail;    // the result after "ok ", or the reason after "error: "
    QStringList lines; // the lines before the last (list, screen, world, help)
};

// Whether this line ends an answer: "ok", "ok RESULT" or "error: REASON".
bool endsAnswer(QStringView line);

// The answer whose last line ends it; none when the last does not.
std::optional<ControlAnswer> answerOf(const QStringList &lines);

// `run`'s answer: "ok not started", "ok running time 12.3 contacts 1" or
// "ok time 41.2 contacts 2 candle out".
struct RunAnswer
{
    enum class State { NotStarted, Running, Finished };
    State state = State::NotStarted;
    double seconds = 0;
    int contacts = 0;
};
std::optional<RunAnswer> runOf(const ControlAnswer &answer);

// Where `world` says the robot is: its line "robot at 30.0 125.0 heading 90.0".
struct PoseAnswer
{
    double x = 0;
    double y = 0;
    double heading = 0;
};
std::optional<PoseAnswer> poseOf(const ControlAnswer &answer);

// `clock`'s answer, "ok stepped 12.345678901" or "ok real ...", and `wait`'s, "ok 12.345678901":
// which clock the simulator has, and its time to the nanosecond.
struct ClockAnswer
{
    bool stepped = false;
    std::chrono::nanoseconds time{};
};
std::optional<ClockAnswer> clockOf(const ControlAnswer &answer);
std::optional<std::chrono::nanoseconds> waitedTo(const ControlAnswer &answer);

} // namespace kestrava::launcher
