#pragma once

#include "cli/rpc.h"

#include "link/transactionengine.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QEventLoop;
class QSocketNotifier;

namespace kestrava {
class InStepLink;
class Motors;
}

namespace kestrava::cli {

// Cuts standard input into lines of at most rpc::MaxLineBytes, holding no more
// than that however long a line runs; a longer line comes out once, as too long.
class LineReader
{
public:
    struct Line
    {
        QByteArray text;
        bool tooLong = false;
    };
    std::vector<Line> feed(QByteArrayView bytes);
    // What is left when the input ends: a last line without its newline.
    std::vector<Line> finish();

private:
    QByteArray m_pending;
    bool m_skipping = false; // inside a line already reported as too long
};

// kestrava-cli serve: JSON-RPC 2.0 over standard input and output, one message a
// line, carried out one at a time in order over a link kept in step. Standard
// output carries only replies; logs go to standard error.
//
// Whatever ends it (standard input closing, a termination signal, the device lost)
// the motors, if they were set moving, get the stop of the controller's mode first.
// While they move, a watchdog stops them when no request comes for its time, unless
// a timed drive that answered at once is to stop them itself.
class Server : public QObject
{
    Q_OBJECT
public:
    using Pause = std::function<void(int milliseconds)>; // returns early when the program must end

    Server(InStepLink &link, Motors &motors, Pause pause);
    ~Server() override;

    void setWatchdog(std::chrono::milliseconds watchdog) { m_watchdogTime = watchdog; }
    void setPortError(const QString &error) { m_portError = error; }
    // A simulated robot: its control commands, each answered by its lines ("ok..." or
    // "error: ..." last), or none when the simulator could not be reached.
    using SimulatorCommands = std::function<QStringList(const QString &line, QString &error)>;
    void setSimulator(SimulatorCommands commands) { m_simulator = std::move(commands); }

    // Serves until the end; the exit status (0, or 4 when the device was lost).
    int run();
    // A termination signal: ends at once when idle, after the request under way otherwise.
    void requestEnd();

private:
    void readInput();
    void serveLine(const LineReader::Line &line);
    std::optional<QByteArray> answer(const rpc::Call &call);
    std::variant<QJsonValue, rpc::Error> carryOut(const Request &request);
    std::variant<QJsonValue, rpc::Error> readings(const Request &request);
    std::variant<QJsonValue, rpc::Error> registers(const Request &request);
    std::variant<QJsonValue, rpc::Error> actuate(const Request &request);
    std::variant<QJsonValue, rpc::Error> keys();
    std::variant<QJsonValue, rpc::Error> motors(const Request &request);
    std::variant<QJsonValue, rpc::Error> simulator(const Request &request);
    QJsonValue hello() const;
    static QJsonObject limits();
    static QJsonObject codes();
    rpc::Error failure(Outcome outcome, quint8 address, quint8 reg);
    rpc::Error motorFailure(const QString &what);
    rpc::Error lostDevice();
    void cancelTimedStop();
    void timedStop();
    void answerWaitingLines();
    void noteWrite(const Request &request);
    void watchdogExpired();
    void deviceLost();
    void send(const QByteArray &reply);
    void end(int status);

    InStepLink &m_link;
    Motors &m_motors;
    Pause m_pause;
    LineReader m_reader;
    std::unique_ptr<QSocketNotifier> m_input;
    QEventLoop *m_loop = nullptr;
    QTimer m_watchdog;
    QTimer m_timedStop;                       // a drive with "wait": false
    std::optional<QDeadlineTimer> m_stopDue;  // set while such a drive runs
    std::chrono::milliseconds m_watchdogTime{DefaultWatchdogMs};
    QString m_portError; // why the port could not be opened; empty when it was
    SimulatorCommands m_simulator; // empty on a real adapter
    bool m_busy = false;
    bool m_endRequested = false;
    bool m_lost = false;
};

} // namespace kestrava::cli
