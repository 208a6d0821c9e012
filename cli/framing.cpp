#include "cli/framing.h"

#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace kestrava::cli {

std::vector<LineReader::Line> LineReader::feed(QByteArrayView bytes)
{
    std::vector<Line> lines;
    while (!bytes.isEmpty()) {
        const qsizetype newline = bytes.indexOf('\n');
        const QByteArrayView piece = newline < 0 ? bytes : bytes.first(newline);
        if (!m_skipping)
            m_pending += piece;
        if (m_pending.size() > rpc::MaxLineBytes) {
            lines.push_back({{}, true});
            m_pending.clear();
            m_skipping = true;
        }
        if (newline < 0)
            break;
        if (!m_skipping)
            lines.push_back({m_pending, false});
        m_pending.clear();
        m_skipping = false;
        bytes = bytes.sliced(newline + 1);
    }
    return lines;
}

std::vector<LineReader::Line> LineReader::finish()
{
    std::vector<Line> lines;
    if (!m_skipping && !m_pending.isEmpty())
        lines.push_back({m_pending, false});
    m_pending.clear();
    return lines;
}

std::optional<QByteArray> replyTo(const LineReader::Line &line, const Answerer &answer)
{
    if (line.tooLong)
        return rpc::lineTooLongReply();
    if (line.text.trimmed().isEmpty())
        return std::nullopt;
    const rpc::Message message = rpc::parseLine(line.text);
    QByteArrayList replies;
    for (const rpc::Call &call : message.calls) {
        if (const std::optional<QByteArray> reply = answer(call))
            replies.append(*reply);
    }
    if (replies.isEmpty())
        return std::nullopt;
    return message.batch ? '[' + replies.join(',') + ']' : replies.first();
}

bool writeReply(const QByteArray &reply)
{
    const QByteArray line = reply + '\n';
    return std::fwrite(line.constData(), 1, size_t(line.size()), stdout) == size_t(line.size()) && std::fflush(stdout) == 0;
}

ssize_t readWaiting(char *buffer, size_t size)
{
    pollfd input{STDIN_FILENO, POLLIN, 0};
    return ::poll(&input, 1, 0) == 1 ? ::read(STDIN_FILENO, buffer, size) : 0;
}

void logLine(const QString &line)
{
    std::fprintf(stderr, "kestrava-cli serve: %s\n", qPrintable(line));
    std::fflush(stderr);
}

} // namespace kestrava::cli
