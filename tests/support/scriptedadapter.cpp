#include "scriptedadapter.h"

#include "frames.h"

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
    for (char byte : bytes) {
        if (const std::optional<sim::BusRequest> request = m_parser.push(quint8(byte)))
            take(*request);
    }
}

void ScriptedAdapter::take(const sim::BusRequest &request)
{
    const QByteArray frame = request.isRead()
        ? registerReadFrame(request.moduleAddress(), request.firstRegister, request.count)
        : registerWriteFrame(request.address, request.firstRegister, request.data);
    m_frames.append({frame, m_clock.elapsed()});
    emit frameReceived(frame);
    const QByteArray answer = answerTo(request, frame);
    if (answer.isEmpty())
        return;
    if (m_replyDelayMs > 0)
        QTimer::singleShot(m_replyDelayMs, this, [this, answer] { m_line.write(answer); });
    else
        m_line.write(answer);
}

QByteArray ScriptedAdapter::answerTo(const sim::BusRequest &request, const QByteArray &frame)
{
    if (m_responder)
        return m_responder(frame);
    const quint8 address = request.moduleAddress();
    if (m_silent.contains(address))
        return {};
    if (!request.isRead()) {
        for (int i = 0; i < request.count; ++i)
            setRegister(address, quint8(request.firstRegister + i), quint8(request.data[i]));
        return QByteArray(1, char(m_writeAnswer));
    }
    QByteArray answer;
    for (int i = 0; i < request.count; ++i)
        answer.append(char(registerValue(address, quint8(request.firstRegister + i))));
    return answer;
}

} // namespace kestrava::test
