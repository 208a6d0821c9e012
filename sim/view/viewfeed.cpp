#include "viewfeed.h"

namespace kestrava::simview {

ViewFeed::ViewFeed(QObject *parent)
    : QObject(parent)
{
    m_frame.setSingleShot(true);
    connect(&m_frame, &QTimer::timeout, this, &ViewFeed::deliver);
}

void ViewFeed::store(ViewState state)
{
    {
        const QMutexLocker locker(&m_lock);
        m_latest = std::move(state);
    }
    if (!m_announced.exchange(true))
        QMetaObject::invokeMethod(this, &ViewFeed::announce, Qt::QueuedConnection);
}

void ViewFeed::announce()
{
    if (m_frame.isActive())
        return;
    const qint64 wait = m_sinceDelivery.isValid() ? FrameMs - m_sinceDelivery.elapsed() : 0;
    m_frame.start(int(std::max<qint64>(wait, 0)));
}

void ViewFeed::deliver()
{
    // Cleared before taking the state: a store after this point announces again.
    m_announced = false;
    ViewState state;
    {
        const QMutexLocker locker(&m_lock);
        state = m_latest;
    }
    m_sinceDelivery.start();
    if (state == m_delivered)
        return;
    m_delivered = state;
    emit changed(state);
}

} // namespace kestrava::simview
