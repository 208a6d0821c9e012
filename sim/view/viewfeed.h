#pragma once

#include "viewstate.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QTimer>

#include <atomic>

namespace kestrava::simview {

// Carries the model's state from the simulator's thread to the window's, at most 30
// times a second. The simulator's thread stores its latest state after every batch of
// work; the window is told once and takes the latest when its frame is due, so a
// burst of frames on the wire costs one repaint.
class ViewFeed : public QObject
{
    Q_OBJECT
public:
    static constexpr int FrameMs = 33;

    explicit ViewFeed(QObject *parent = nullptr);

    // From the simulator's thread.
    void store(ViewState state);

signals:
    // In the window's thread, at most once per frame time: a state differing from the last.
    void changed(const ViewState &state);

private:
    void announce();
    void deliver();

    QMutex m_lock;
    ViewState m_latest;
    std::atomic<bool> m_announced{false};
    QTimer m_frame;
    QElapsedTimer m_sinceDelivery;
    ViewState m_delivered;
};

} // namespace kestrava::simview
