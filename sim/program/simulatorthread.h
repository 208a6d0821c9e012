#pragma once

#include "sim/program/simulator.h"

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>

namespace kestrava::sim {

// Runs a Simulator in a thread of its own, so that a window painting in the main
// thread never delays an answer on the wire. Everything that touches the simulator
// runs in its thread: through call() or post(), or as the watcher.
class SimulatorThread : public QObject
{
    Q_OBJECT
public:
    explicit SimulatorThread(QObject *parent = nullptr);
    ~SimulatorThread() override;

    using Work = std::function<void(Simulator &)>;

    // Before start: `watcher` runs in the simulator's thread each time the thread has
    // handled what woke it and is about to wait again. It sees every change, and its
    // own looking wakes nothing.
    // Set again (or cleared) while it runs, the change is made in its thread.
    void setWatcher(Work watcher);
    // Builds and opens the simulator in its thread; false with the reason when it cannot.
    bool start(const SimulatorOptions &options, QString &error);
    // Ends the simulator in its thread, then the thread.
    void stop();
    bool isRunning() const { return m_simulator != nullptr; }

    // Runs `work` with the simulator in its thread and waits for it to end.
    void call(const Work &work);
    // Runs `work` there later, without waiting.
    void post(Work work);
    QString devicePath() const { return m_devicePath; }

signals:
    void quitRequested();

private:
    QThread m_thread;
    QObject *m_context = nullptr; // lives in the thread: the queue of work for it
    std::unique_ptr<Simulator> m_simulator;
    Work m_watcher;
    QString m_devicePath;
};

} // namespace kestrava::sim
