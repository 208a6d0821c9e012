#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace kestrava::process {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal delivered by the event loop, so
// that a request to end the program runs the same tidy path as a normal exit.
// One watcher at a time.
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

signals:
    void terminationRequested();

private:
    void drain();

    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace kestrava::process
