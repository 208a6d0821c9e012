#include "scriptedadapter.h"

#include <QTest>
#include <QTimer>

namespace kestrava::test {

ScriptedAdapter::ScriptedAdapter(PseudoTerminal &line)
    : m_line(line)
{
    m_clock.start();
    connect(&line, &PseudoTerminal::bytesReceived, this, &ScriptedAdapter::consume);
}

QList<QByteArray> ScriptedAdapter::frameBytes() const
{
    QList<QByteArray> out;
    for (const Frame &f : m_frames)
        out.append(f.bytes);
    return out;
}

bool ScriptedAdapter::waitForFrames(qsizetype count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_frames.size() >= count; }, timeoutMs);
}

void ScriptedAdapter::setRegister(quint8 address, quint8 reg, quint8 value)
{
    m_registers.insert(quint16(address & 0xFE) << 8 | reg, value);
}

quint8 ScriptedAdapter::registerValue(quint8 address, quint8 reg) const
{
    return m_registers.value(quint16(address & 0xFE) << 8 | reg, 0);
}

void ScriptedAdapter::setSilent(quint8 address, bool silent)
{
    if (silent)
        m_silent.insert(address & 0xFE);
    else
        m_silent.remove(address & 0xFE);
}

void ScriptedAdapter::consume(const QByteArray &bytes)
{
    m_pending += bytes;
    for (;;) {
        const qsizetype start = m_pending.indexOf(char(0x55));
        if (start < 0) {
            m_pending.clear();
            return;
        }
        m_pending.remove(0, start);
        if (m_pending.size() < 4)
            return;
        const bool isWrite = (quint8(m_pending[1]) & 1) == 0;
        const qsizetype length = isWrite ? 4 + quint8(m_pending[3]) : 4;
        if (m_pending.size() < length)
            return;
        const QByteArray frame = m_pending.left(length);
        m_pending.remove(0, length);
        m_frames.append({frame, m_clock.elapsed()});
        emit frameReceived(frame);
        const QByteArray answer = answerTo(frame);
        if (answer.isEmpty())
            continue;
        if (m_replyDelayMs > 0)
            QTimer::singleShot(m_replyDelayMs, this, [this, answer] { m_line.write(answer); });
        else
            m_line.write(answer);
    }
}

QByteArray ScriptedAdapter::answerTo(const QByteArray &frame)
{
    if (m_responder)
        return m_responder(frame);
    const quint8 address = quint8(frame[1]) & 0xFE;
    if (m_silent.contains(address))
        return {};
    const quint8 first = quint8(frame[2]);
    const quint8 count = quint8(frame[3]);
    if ((quint8(frame[1]) & 1) == 0) {
        for (int i = 0; i < count; ++i)
            setRegister(address, quint8(first + i), quint8(frame[4 + i]));
        return QByteArray(1, char(m_writeAnswer));
    }
    QByteArray answer;
    for (int i = 0; i < count; ++i)
        answer.append(char(registerValue(address, quint8(first + i))));
    return answer;
}

} // namespace kestrava::test
