#include "sim/program/controlanswer.h"

#include <QJsonDocument>

namespace kestrava::sim {

namespace {

QString oneLine(QJsonObject object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace

QStringList rendered(const ControlAnswer &answer, AnswerForm form)
{
    switch (form) {
    case AnswerForm::Prose:
        return answer.lines + QStringList{answer.result.isEmpty() ? QStringLiteral("ok") : QStringLiteral("ok ") + answer.result};
    case AnswerForm::Json: {
        QJsonObject object = answer.values;
        object.insert(QStringLiteral("ok"), true);
        return {oneLine(object)};
    }
    }
    return {};
}

QStringList renderedRefusal(const QString &reason, AnswerForm form)
{
    switch (form) {
    case AnswerForm::Prose: return {QStringLiteral("error: ") + reason};
    case AnswerForm::Json: return {oneLine({{QStringLiteral("ok"), false}, {QStringLiteral("error"), reason}})};
    }
    return {};
}

} // namespace kestrava::sim
