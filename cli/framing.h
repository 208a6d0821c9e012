#pragma once

#include "cli/rpc.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <sys/types.h>
#include <vector>

// The server's framing: standard input cut into bounded lines, each line's calls
// answered as one reply line (a batch as one array), replies to standard output
// and logs to standard error.
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

// A call's reply, or none for a notification.
using Answerer = std::function<std::optional<QByteArray>(const rpc::Call &call)>;

// The reply to a line: its one call's, or its batch's as one array; none for a blank
// line or for notifications only (not an empty array).
std::optional<QByteArray> replyTo(const LineReader::Line &line, const Answerer &answer);

// A reply and its newline to standard output; false when the reader has gone away.
bool writeReply(const QByteArray &reply);
// Bytes already waiting on standard input, without waiting for more: 0 when none.
ssize_t readWaiting(char *buffer, size_t size);
// "kestrava-cli serve: ..." on standard error.
void logLine(const QString &line);

} // namespace kestrava::cli
