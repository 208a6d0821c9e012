#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrava::launcher {

// Runs kestrava-sim as a child process: starts it, learns its device path, points
// the COM ports at it, passes control commands, and ends it. Used by
// `kestrava --simulate` and by tests that need the whole simulator.
class SimulatedBus : public QObject
{
    Q_OBJECT
public:
    static constexpr int StartTimeoutMs = 5000;

    explicit SimulatedBus(QObject *parent = nullptr);
    ~SimulatedBus() override;

    // kestrava-sim beside the running program.
    static QString programBesideApplication();

    // Blocks until the simulator has printed its device path (at most timeoutMs).
    bool start(const QString &program, const QStringList &arguments = {}, int timeoutMs = StartTimeoutMs);
    // COM n leads to the device (or `target`, such as a --link path), for every COM
    // number first..last.
    void mapComPorts(int first = 1, int last = 16, const QString &target = {}) const;

    QString devicePath() const { return m_devicePath; }
    qint64 processId() const { return m_process.processId(); }
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    QString errorString() const { return m_error; }

    // Sends one command and blocks until its last line ("ok..." or "error: ...")
    // has come, at most timeoutMs; empty on time-out. Never call it inside an
    // engine wait: it does not run the event loop.
    QStringList command(const QString &line, int timeoutMs = 3000);
    // Sends one command without waiting; its answer is skipped by the next command().
    void post(const QString &line);

signals:
    // The simulator has ended, by itself or asked to (its view closed, say).
    void ended();
public:

    // Asks the simulator to quit, then makes sure it has (terminate, then kill).
    void stop();

private:
    bool fail(const QString &why);
    std::optional<QString> readLine(int timeoutMs);
    void passOnErrors();

    QProcess m_process;
    QByteArray m_lastError; // the simulator's last line on standard error, for a failed start
    QString m_devicePath;
    QString m_error;
    int m_unansweredPosts = 0;
};

} // namespace kestrava::launcher
