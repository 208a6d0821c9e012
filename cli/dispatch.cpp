#include "cli/dispatch.h"

#include "cli/safety.h"

#include "drive/motion.h"

namespace kestrava::cli {

Dispatcher::Dispatcher(InStepLink &link, Motors &motors, MotorSafety &safety, Pause pause)
    : m_motors(motors)
    , m_safety(safety)
    , m_executor(link, motors, pause)
{
    m_executor.setWait([this, pause](std::chrono::nanoseconds span) { m_safety.waitThrough(span, pause); });
}

std::optional<QByteArray> Dispatcher::answer(const rpc::Call &call)
{
    const Reply reply = std::holds_alternative<rpc::Error>(call.request) ? Reply(std::get<rpc::Error>(call.request))
                        : m_lost ? Reply(lostDevice())
                                 : carryOut(std::get<Request>(call.request));
    if (!call.answered())
        return std::nullopt;
    if (const rpc::Error *error = std::get_if<rpc::Error>(&reply))
        return rpc::errorReply(call.id, *error);
    return rpc::resultReply(call.id, std::get<QJsonValue>(reply));
}

// The safety's part around a call: the latest motor request decides the timed stop, a
// drive that answers at once gets one, and a raw write is told to the motors' owner.
Dispatcher::Reply Dispatcher::carryOut(const Request &request)
{
    const bool motors = request.command == Command::Drive || request.command == Command::Wheels
                        || request.command == Command::Stop;
    if (motors)
        m_safety.cancelTimedStop();
    if (request.command == Command::Write)
        m_motors.noteRawWrite(request.addresses.front(), request.firstRegister, qsizetype(request.bytes.size()));
    const Result result = m_executor.carryOut(request);
    const Reply reply = replyOf(request, result);
    const bool runsOn = request.milliseconds != Request::NoTime && !request.waitForEnd;
    if (request.command == Command::Drive && runsOn && std::holds_alternative<QJsonValue>(reply))
        m_safety.stopAfter(request.milliseconds);
    return reply;
}

// The first complaint is the call's error; otherwise its values, as one object.
Dispatcher::Reply Dispatcher::replyOf(const Request &request, const Result &result)
{
    if (const Complaint *complaint = result.firstComplaint()) {
        if (complaint->ofSimulator)
            return rpc::Error{rpc::Simulator, complaint->why};
        rpc::Error error = failure(complaint->where.outcome, complaint->where.address, complaint->where.reg);
        if (!complaint->why.isEmpty())
            error.message = complaint->why;
        return error;
    }
    if (result.outcome != Outcome::Taken)
        return failure(result.outcome, 0, 0);
    QJsonObject object;
    for (const auto &part : result.parts) {
        const Row &row = std::get<Row>(part);
        for (const Column &column : row.columns) {
            if (!row.echo)
                object.insert(column.name, column.value);
        }
    }
    if (request.command == Command::Hello)
        object.insert(QStringLiteral("codes"), codes());
    return object;
}

// The codes of rpc.h, so that a client's own copies can be held to them.
QJsonObject Dispatcher::codes()
{
    return {{"parse_error", rpc::ParseError}, {"invalid_request", rpc::InvalidRequest},
            {"method_not_found", rpc::MethodNotFound}, {"invalid_params", rpc::InvalidParams},
            {"no_answer", rpc::NoAnswer}, {"port_not_opened", rpc::PortNotOpened}, {"device_lost", rpc::DeviceLost},
            {"simulator", rpc::Simulator}};
}

rpc::Error Dispatcher::failure(Outcome outcome, quint8 address, quint8 reg)
{
    switch (outcome) {
    case Outcome::NotSent:
        if (!m_executor.portError().isEmpty())
            return {rpc::PortNotOpened, m_executor.portError()};
        [[fallthrough]];
    case Outcome::Lost:
        return lostDevice();
    case Outcome::Taken:
    case Outcome::Sent:
    case Outcome::TimedOut:
    case Outcome::Refused:
    case Outcome::OutOfStep: break;
    }
    return {rpc::NoAnswer, complaintText(outcome, address, reg), QJsonObject{{"address", address}, {"register", reg}}};
}

rpc::Error Dispatcher::lostDevice()
{
    m_lost = true;
    return {rpc::DeviceLost, QStringLiteral("the device was lost")};
}

} // namespace kestrava::cli
