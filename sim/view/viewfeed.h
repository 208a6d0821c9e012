#pragma once

#include "sim/world/simtime.h"
#include "sim/view/viewstate.h"

#include <QMutex>
#include <QObject>

#include <atomic>

class QTimer;

namespace kestrava::sim {
class Simulator;
}

namespace kestrava::simview {

// Carries the model's state from the simulator's thread to the window's, at most 30
// times a second. The simulator's thread looks after a batch of its work, unless it
// looked less than a frame time ago: then it looks once that time is up. A burst
// of frames on the wire thus costs one look and at most one repaint a frame.
class ViewFeed : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds FrameTime{33};

    explicit ViewFeed(QObject *parent = nullptr);

    // In the simulator's thread.
    void look(sim::Simulator &core);

signals:
    // In the window's thread: a state that differs from the one delivered before.
    void changed(const ViewState &state);

private:
    void deliver();

    QMutex m_lock;
    ViewState m_latest;
    std::atomic<bool> m_announced{false};
    // The simulator's thread only.
    QTimer *m_nextLook = nullptr;
    sim::SimTime m_lastLook{};
    // The window's thread only.
    ViewState m_delivered;
};

} // namespace kestrava::simview
