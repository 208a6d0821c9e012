#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace kestrava::launcher {

// The operator's side's one reader of kestrava-sim's answers to control commands, so
// that no program reads their words again. A program asks with "json COMMAND" and
// reads the one line that comes back, {"ok": true, ...} or {"ok": false, "error": ...};
// a person's prose answers are passed on as they are, only their end found here.

// A line that ends an answer: prose "ok", "ok RESULT" or "error: REASON", or a JSON answer.
bool endsAnswer(QStringView line);
// Whether an answer, prose or JSON, says by its last line that the command was carried out.
bool succeeded(const QStringList &lines);

// The line that asks for `command`'s answer as JSON.
QString askingForJson(const QString &command);

// What the simulator answered: whether it carried the command out, why not, and its values.
struct SimAnswer
{
    bool ok = false;
    QString error;
    QJsonObject values;
};
// The answer on its JSON line, or none when the line is no such answer.
std::optional<SimAnswer> simAnswerOf(const QString &line);

// `run` and `end`: the run's state, its clock and its contacts.
struct SimRun
{
    enum class State { NotStarted, Running, Ended, Finished };
    State state = State::NotStarted;
    double seconds = 0;
    int contacts = 0;
};
std::optional<SimRun> runOf(const SimAnswer &answer);

// Where `world` says the robot is.
struct SimPose
{
    double x = 0;
    double y = 0;
    double heading = 0;
};
std::optional<SimPose> poseOf(const SimAnswer &answer);

// `path`'s points, each {"t", "x", "y", "heading", "fan", "contact"}; none when one lacks a member.
std::optional<QJsonArray> pathOf(const SimAnswer &answer);

// `clock` and `wait`: which clock the simulator has, and its time to the nanosecond.
struct SimClock
{
    bool stepped = false;
    std::chrono::nanoseconds time{};
};
std::optional<SimClock> clockOf(const SimAnswer &answer);

} // namespace kestrava::launcher
