#include "sim/view/viewfeed.h"

#include "sim/program/simulator.h"

#include <QTimer>

namespace kestrava::simview {

ViewFeed::ViewFeed(QObject *parent)
    : QObject(parent)
{
}

void ViewFeed::look(sim::Simulator &core)
{
    if (!m_nextLook) {
        // Its timeout only wakes the thread; the look follows when the thread is done.
        m_nextLook = new QTimer(&core);
        m_nextLook->setSingleShot(true);
        m_nextLook->callOnTimeout(m_nextLook, [] {});
    }
    const sim::SimTime now = sim::simNow();
    const sim::SimTime due = m_lastLook + FrameTime;
    if (now < due) {
        if (!m_nextLook->isActive())
            m_nextLook->start(std::chrono::ceil<std::chrono::milliseconds>(due - now));
        return;
    }
    m_lastLook = now;
    ViewState state = readViewState(core.bus(), core.clock().now());
    state.bus.plugged = core.isPlugged();
    {
        const QMutexLocker locker(&m_lock);
        m_latest = std::move(state);
    }
    if (!m_announced.exchange(true))
        QMetaObject::invokeMethod(this, &ViewFeed::deliver, Qt::QueuedConnection);
}

void ViewFeed::deliver()
{
    // Cleared before taking the state: a look after this point announces again.
    m_announced = false;
    ViewState state;
    {
        const QMutexLocker locker(&m_lock);
        state = m_latest;
    }
    if (state == m_delivered)
        return;
    m_delivered = state;
    emit changed(state);
}

} // namespace kestrava::simview
