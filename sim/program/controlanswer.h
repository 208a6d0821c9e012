#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace kestrava::sim {

// A control command's answer, made once by its row and rendered for whoever asked: prose
// for a person at standard input, or one JSON object on one line for a program.
struct ControlAnswer
{
    QStringList lines;  // a person's lines before the last one: list, screen, world, path, help
    QString result;     // after "ok " on the last line; empty: "ok" alone
    QJsonObject values; // the same answer typed for a program, beside "ok": true
};

// A command carried out: "ok", or "ok " and its result, with the same typed for a program.
inline ControlAnswer ok(const QString &result = {}, QJsonObject values = {})
{
    return {{}, result, std::move(values)};
}

// A line "json COMMAND..." asks for the answer as JSON; without the word, prose.
enum class AnswerForm { Prose, Json };

// The lines to send: prose ends with "ok..." or "error: REASON"; JSON is one line,
// {"ok": true, ...values} or {"ok": false, "error": REASON}.
QStringList rendered(const ControlAnswer &answer, AnswerForm form);
QStringList renderedRefusal(const QString &reason, AnswerForm form);

} // namespace kestrava::sim
