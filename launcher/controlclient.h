#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QLocalSocket;

namespace kestrava::launcher {

// A running kestrava-sim takes control commands on a local socket beside its --link.

// That socket for a device path, or empty when no simulator listens beside it.
QString controlSocketBeside(const QString &device);

// Sends one command line and blocks until its answer has come whole (the last line
// "ok..." or "error: ..."), at most timeoutMs. Empty, with the reason in `error`,
// when the simulator cannot be reached or does not answer in time.
QStringList commandOverSocket(const QString &socketPath, const QString &line, QString &error, int timeoutMs = 3000);

// One connection kept for many commands, as commandOverSocket sends each: a stepped clock's
// waits come one after another, and a connection each would cost more than the wait itself.
// A connection that broke is made again for the next command.
class ControlConnection
{
public:
    explicit ControlConnection(QString socketPath);
    ~ControlConnection();

    QStringList command(const QString &line, QString &error, int timeoutMs = 3000);

private:
    bool connectWithin(int timeoutMs, QString &error);

    QString m_path;
    std::unique_ptr<QLocalSocket> m_socket;
};

} // namespace kestrava::launcher
