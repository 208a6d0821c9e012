#pragma once

#include <QObject>
#include <QString>

#include <deque>
#include <functional>

namespace kestrava {

// Keeps operations from overlapping. Every control event that may start bus work
// goes through run(). When nothing runs, the operation runs at once. While one
// runs (and so, while it waits inside the engine), later events are deferred and
// run in arrival order as soon as it ends; none is lost and none runs inside a
// wait, so a wait is never restarted or stretched by them.
//
// Hooks for longer operations:
// - runMerging(): a deferred event replaces the deferred event of its kind at the
//   tail of the queue (drive-pad moves merge into the latest; a release, being of
//   another kind, is never merged away and keeps its place after them);
// - runDeferred(): a long operation runs what is deferred at a safe point between
//   its transactions (the keypad dialogue), so the window stays usable.
class EventGate : public QObject
{
    Q_OBJECT
public:
    using Operation = std::function<void()>;

    explicit EventGate(QObject *parent = nullptr);

    void run(Operation operation);
    void runMerging(const QString &kind, Operation operation);
    void runDeferred();

    bool busy() const { return m_busy; }
    qsizetype deferredCount() const { return qsizetype(m_deferred.size()); }

signals:
    // The running operation and everything deferred behind it have ended.
    void idle();

private:
    struct Deferred
    {
        QString kind; // empty: never merged
        Operation operation;
    };
    void enqueue(const QString &kind, Operation operation);

    std::deque<Deferred> m_deferred;
    bool m_busy = false;
};

} // namespace kestrava
