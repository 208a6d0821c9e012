#include "sim/program/simulatorthread.h"

#include <QAbstractEventDispatcher>

namespace kestrava::sim {

SimulatorThread::SimulatorThread(QObject *parent)
    : QObject(parent)
{
    m_thread.setObjectName(QStringLiteral("simulator"));
}

SimulatorThread::~SimulatorThread()
{
    stop();
}

bool SimulatorThread::start(const SimulatorOptions &options, QString &error)
{
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
    bool opened = false;
    QMetaObject::invokeMethod(m_context, [&] {
        m_simulator = std::make_unique<Simulator>(options);
        opened = m_simulator->open(error);
        m_devicePath = m_simulator->devicePath();
        connect(m_simulator.get(), &Simulator::quitRequested, this, &SimulatorThread::quitRequested);
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, m_simulator.get(),
                    [this] {
                        if (m_watcher)
                            m_watcher(*m_simulator);
                    }, Qt::DirectConnection);
    }, Qt::BlockingQueuedConnection);
    if (!opened)
        stop();
    return opened;
}

void SimulatorThread::setWatcher(Work watcher)
{
    if (m_simulator)
        call([&](Simulator &) { m_watcher = std::move(watcher); });
    else
        m_watcher = std::move(watcher);
}

void SimulatorThread::stop()
{
    if (!m_thread.isRunning())
        return;
    QMetaObject::invokeMethod(m_context, [this] { m_simulator.reset(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void SimulatorThread::call(const Work &work)
{
    if (m_simulator)
        QMetaObject::invokeMethod(m_context, [&] { work(*m_simulator); }, Qt::BlockingQueuedConnection);
}

void SimulatorThread::post(Work work)
{
    if (!m_simulator)
        return;
    QMetaObject::invokeMethod(m_context, [this, work = std::move(work)] {
        if (m_simulator)
            work(*m_simulator);
    }, Qt::QueuedConnection);
}

} // namespace kestrava::sim
