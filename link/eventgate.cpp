#include "link/eventgate.h"

#include <QScopedValueRollback>

namespace kestrava {

EventGate::EventGate(QObject *parent)
    : QObject(parent)
{
}

void EventGate::run(Operation operation)
{
    runMerging(QString(), std::move(operation));
}

void EventGate::runMerging(const QString &kind, Operation operation)
{
    if (m_busy) {
        enqueue(kind, std::move(operation));
        return;
    }
    {
        QScopedValueRollback busy(m_busy, true);
        operation();
        runDeferred();
    }
    emit idle();
}

void EventGate::runDeferred()
{
    while (!m_deferred.empty()) {
        Operation next = std::move(m_deferred.front().operation);
        m_deferred.pop_front();
        next();
    }
}

void EventGate::enqueue(const QString &kind, Operation operation)
{
    if (!kind.isEmpty() && !m_deferred.empty() && m_deferred.back().kind == kind) {
        m_deferred.back().operation = std::move(operation);
        return;
    }
    m_deferred.push_back({kind, std::move(operation)});
}

} // namespace kestrava
