#pragma once

#include "cli/request.h"
#include "cli/result.h"
#include "launcher/simanswers.h"

#include <QStringList>

#include <functional>
#include <optional>
#include <span>

namespace kestrava {
class InStepLink;
class Motors;
}

namespace kestrava::cli {

// Carries out each command once, over a link kept in step, into its Result: the
// command line and the server both come here, and render what comes back.
class Executor
{
public:
    // A wait on the link's clock (a timed drive's, the server's wait); it returns early when
    // the program must end or the device is lost.
    using Pause = std::function<void(std::chrono::nanoseconds)>;
    // A simulated robot: its control commands, each answered by its lines ("ok..." or
    // "error: ..." last), or none when the simulator could not be reached.
    using SimulatorCommands = std::function<QStringList(const QString &line, QString &error)>;

    Executor(InStepLink &link, Motors &motors, Pause pause);

    void setPortError(const QString &error) { m_portError = error; }
    const QString &portError() const { return m_portError; }
    void setSimulator(SimulatorCommands commands) { m_simulator = std::move(commands); }
    // The server's wait, which lets the motors' safety act meanwhile; the drive's pause when unset.
    void setWait(Pause wait) { m_wait = std::move(wait); }

    Result carryOut(const Request &request);

private:
    void read(const Request &request, Result &result);
    void write(const Request &request, Result &result);
    void dump(const Request &request, Result &result);
    void probe(const Request &request, Result &result);
    void readings(Outcome (*sequence)(InStepLink &, const ReadingSink &), Result &result);
    void actuate(const Request &request, Result &result);
    void keys(Result &result);
    void drive(const Request &request, Result &result);
    void wheels(const Request &request, Result &result);
    void stopMotors(Result &result);
    void complainOfMotors(Outcome outcome, const QString &what, Result &result);
    std::optional<launcher::SimAnswer> askSimulator(const Request &request, Result &result);
    void simulatorRun(const Request &request, Result &result);
    void simulatorPose(const Request &request, Result &result);
    void simulatorPath(const Request &request, Result &result);
    void hello(Result &result) const;
    void clock(Result &result) const;

    InStepLink &m_link;
    Motors &m_motors;
    Pause m_pause;
    Pause m_wait;
    QString m_portError;           // why the port could not be opened; empty when it was
    SimulatorCommands m_simulator; // empty on a real adapter
};

// The frames of relays, servo or display, each answered by one byte.
std::vector<QByteArray> actuatorFrames(const Request &request);

} // namespace kestrava::cli
