#pragma once

#include "cli/rpc.h"

#include "link/reading.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>

#include <functional>
#include <optional>
#include <variant>

namespace kestrava {
class InStepLink;
class Motors;
}

namespace kestrava::cli {

class MotorSafety;

// The server's methods: each call carried out over the link kept in step, and answered
// with its result or its error. Once the device is lost, every call is answered that it was.
class Dispatcher
{
public:
    using Pause = std::function<void(int milliseconds)>; // returns early when the program must end
    // A simulated robot: its control commands, each answered by its lines ("ok..." or
    // "error: ..." last), or none when the simulator could not be reached.
    using SimulatorCommands = std::function<QStringList(const QString &line, QString &error)>;

    Dispatcher(InStepLink &link, Motors &motors, MotorSafety &safety, Pause pause);

    void setPortError(const QString &error) { m_portError = error; }
    void setSimulator(SimulatorCommands commands) { m_simulator = std::move(commands); }

    // The reply to a call; none for a notification.
    std::optional<QByteArray> answer(const rpc::Call &call);
    bool lost() const { return m_lost; }
    void deviceLost() { m_lost = true; }

private:
    using Result = std::variant<QJsonValue, rpc::Error>;
    Result carryOut(const Request &request);
    Result readings(const Request &request);
    Result registers(const Request &request);
    Result actuate(const Request &request);
    Result keys();
    Result motors(const Request &request);
    Result simulator(const Request &request);
    QJsonValue hello() const;
    static QJsonObject limits();
    static QJsonObject codes();
    rpc::Error failure(Outcome outcome, quint8 address, quint8 reg);
    rpc::Error motorFailure(const QString &what);
    rpc::Error lostDevice();

    InStepLink &m_link;
    Motors &m_motors;
    MotorSafety &m_safety;
    Pause m_pause;
    QString m_portError; // why the port could not be opened; empty when it was
    SimulatorCommands m_simulator; // empty on a real adapter
    bool m_lost = false;
};

} // namespace kestrava::cli
