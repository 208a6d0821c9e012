#pragma once

#include "cli/dispatch.h"
#include "cli/framing.h"
#include "cli/safety.h"

#include <QObject>

#include <chrono>
#include <memory>

class QEventLoop;
class QSocketNotifier;

namespace kestrava {
class InStepLink;
class Motors;
}

namespace kestrava::cli {

// kestrava-cli serve: JSON-RPC 2.0 over standard input and output, one message a
// line, carried out one at a time in order over a link kept in step. Standard
// output carries only replies; logs go to standard error. The loop here joins the
// parts: the framing (cli/framing.h), the methods (cli/dispatch.h) and the motors'
// safety (cli/safety.h).
//
// Whatever ends it (standard input closing, a termination signal, the device lost)
// the motors, if they were set moving, get the stop of the controller's mode first.
class Server : public QObject
{
    Q_OBJECT
public:
    using Pause = Dispatcher::Pause;
    using SimulatorCommands = Dispatcher::SimulatorCommands;

    Server(InStepLink &link, Motors &motors, Pause pause);
    ~Server() override;

    void setWatchdog(std::chrono::milliseconds watchdog) { m_safety.setWatchdog(watchdog); }
    void setPortError(const QString &error) { m_dispatcher.setPortError(error); }
    void setSimulator(SimulatorCommands commands) { m_dispatcher.setSimulator(std::move(commands)); }

    // Serves until the end; the exit status (0, or 4 when the device was lost).
    int run();
    // A termination signal: ends at once when idle, after the request under way otherwise.
    void requestEnd();

private:
    void readInput();
    void serveLine(const LineReader::Line &line);
    void answerWaitingLines();
    void deviceLost();
    void endIfLost();
    void end(int status);

    InStepLink &m_link;
    MotorSafety m_safety;
    Dispatcher m_dispatcher;
    LineReader m_reader;
    std::unique_ptr<QSocketNotifier> m_input;
    QEventLoop *m_loop = nullptr;
    bool m_busy = false;
    bool m_endRequested = false;
};

} // namespace kestrava::cli
