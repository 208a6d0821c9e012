#include "tests/support/scriptedadapter.h"

namespace kestrava::test {

namespace {
// The length the wire gives a frame from its first four bytes.
qsizetype frameLength(const QByteArray &head)
{
    const bool isRead = quint8(head.at(1)) & 1;
    return isRead ? 4 : 4 + quint8(head.at(3));
}
} // namespace

ScriptedAdapter::ScriptedAdapter(PseudoTerminal &line)
    : m_line(line)
{
    connect(&line, &PseudoTerminal::bytesReceived, this, &ScriptedAdapter::consume);
}

QStringList hexList(const QList<QByteArray> &frames)
{
    QStringList hex;
    for (const QByteArray &frame : frames)
        hex << QString::fromLatin1(frame.toHex());
    return hex;
}

void ScriptedAdapter::consume(const QByteArray &bytes)
{
    m_pending += bytes;
    while (m_pending.size() >= 4 && m_pending.size() >= frameLength(m_pending)) {
        const QByteArray frame = m_pending.left(frameLength(m_pending));
        m_pending.remove(0, frame.size());
        m_frames.append(frame);
        emit frameReceived(frame);
        answer(frame);
    }
}

void ScriptedAdapter::answer(const QByteArray &frame)
{
    const QByteArray bytes = answerTo(frame);
    if (!bytes.isEmpty())
        m_line.write(bytes);
}

QByteArray ScriptedAdapter::answerTo(const QByteArray &frame)
{
    if (m_responder)
        return m_responder(frame);
    if (m_silent)
        return {};
    if (!m_queued.isEmpty())
        return QByteArray::fromHex(m_queued.takeFirst().toLatin1());
    const bool isRead = quint8(frame.at(1)) & 1;
    return isRead ? QByteArray(quint8(frame.at(3)), '\0') : QByteArray::fromHex("01");
}

} // namespace kestrava::test
