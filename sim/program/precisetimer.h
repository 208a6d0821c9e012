#pragma once

#include "sim/world/simtime.h"

#include <QObject>

#include <memory>

class QSocketNotifier;
class QTimer;

namespace kestrava::sim {

// A one-shot timer armed for a point on the steady clock, to well under a
// millisecond: the wire time of a byte is 0.573 ms, finer than QTimer's
// millisecond steps. It blocks in the event loop like any timer; nothing spins.
class PreciseTimer : public QObject
{
    Q_OBJECT
public:
    explicit PreciseTimer(QObject *parent = nullptr);
    ~PreciseTimer() override;

    void startAt(SimTime deadline);
    void stop();

signals:
    void timeout();

private:
    void fire();

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer *m_fallback = nullptr; // where the kernel has no timer descriptors
};

} // namespace kestrava::sim
