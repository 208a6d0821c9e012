#pragma once

#include "cli/limits.h"
#include "cli/request.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>

#include <optional>
#include <variant>
#include <vector>

// JSON-RPC 2.0 as the server speaks it: one message per line. Everything here is
// a plain function of its input, so that any line can be fed to it without a bus.
namespace kestrava::cli::rpc {

// The protocol's own codes, and the command line's exit statuses as codes.
enum Code {
    ParseError = -32700,
    InvalidRequest = -32600,
    MethodNotFound = -32601,
    InvalidParams = -32602,
    NoAnswer = cli::NoAnswer, // no answer, or the line out of step; data: address, register
    PortNotOpened = cli::PortNotOpened,
    DeviceLost = cli::DeviceLost,
    Simulator = 5,     // not a simulated robot, or the simulator refused or did not answer
};

inline constexpr qsizetype MaxLineBytes = 64 * 1024;

struct Error
{
    int code = InvalidRequest;
    QString message;
    QJsonValue data = QJsonValue::Undefined;
};

// One call of a message: the request it asks for, or why it cannot be carried out.
struct Call
{
    // The id's JSON text exactly as sent (an integer of any length comes back whole);
    // empty: a notification, never answered.
    QByteArray id;
    std::variant<Request, Error> request;
    bool answered() const { return !id.isEmpty(); }
};

// A line: its calls, and whether they came as a batch (answered as one array).
struct Message
{
    std::vector<Call> calls;
    bool batch = false;
};

Message parseLine(QByteArrayView line);
// The request a method and its parameters ask for, every value checked.
std::variant<Request, Error> requestFor(const QString &method, const QJsonValue &params);

// A reply's JSON text, the id as sent.
QByteArray resultReply(const QByteArray &id, const QJsonValue &result);
QByteArray errorReply(const QByteArray &id, const Error &error);
// The reply to a line longer than MaxLineBytes.
QByteArray lineTooLongReply();

} // namespace kestrava::cli::rpc
