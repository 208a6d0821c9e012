#pragma once

#include "cli/executor.h"
#include "cli/rpc.h"

#include <QJsonObject>

#include <optional>

namespace kestrava {
class InStepLink;
class Motors;
}

namespace kestrava::cli {

class MotorSafety;

// The server's methods: each call carried out by the executor, with the motors' safety
// around it, and its result rendered as the call's result or error. Once the device is
// lost, every call is answered that it was.
class Dispatcher
{
public:
    using Pause = Executor::Pause;
    using SimulatorCommands = Executor::SimulatorCommands;

    Dispatcher(InStepLink &link, Motors &motors, MotorSafety &safety, Pause pause);

    void setPortError(const QString &error) { m_executor.setPortError(error); }
    void setSimulator(SimulatorCommands commands) { m_executor.setSimulator(std::move(commands)); }

    // The reply to a call; none for a notification.
    std::optional<QByteArray> answer(const rpc::Call &call);
    bool lost() const { return m_lost; }
    void deviceLost() { m_lost = true; }

private:
    using Reply = std::variant<QJsonValue, rpc::Error>;
    Reply carryOut(const Request &request);
    Reply replyOf(const Request &request, const Result &result);
    static QJsonObject codes();
    rpc::Error failure(Outcome outcome, quint8 address, quint8 reg);
    rpc::Error lostDevice();

    Motors &m_motors;
    MotorSafety &m_safety;
    Executor m_executor;
    bool m_lost = false;
};

} // namespace kestrava::cli
