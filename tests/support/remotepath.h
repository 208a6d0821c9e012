#pragma once

#include <QProcess>
#include <QString>

namespace kestrava::test {

// A robot out of reach, on this machine only: ser2net serves the robot's serial
// device on 127.0.0.1, and socat turns the TCP connection into the operator's
// pseudo-terminal, reached through a link that stays at one path across restarts.
class RemotePath
{
public:
    explicit RemotePath(const QString &folder) : m_folder(folder) {}
    ~RemotePath() { stop(); }

    // Both tools are installed.
    static bool toolsPresent();

    // Serves `device` and connects to it; true once the link leads to a connected line.
    bool start(const QString &device);
    // The operator's device: what KESTRAVA_COM<n> points at.
    QString linkPath() const { return m_folder + QStringLiteral("/com"); }
    // The robot's end goes away at once, closing the TCP connection.
    void cutConnection();
    QString errorString() const { return m_error; }

private:
    bool fail(const QString &why);
    bool startServer(const QString &device, int port);
    bool startClient(int port);
    void stop();

    QString m_folder;
    QString m_error;
    QProcess m_server;
    QProcess m_client;
};

} // namespace kestrava::test
