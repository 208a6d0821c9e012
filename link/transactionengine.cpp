#include "link/transactionengine.h"

#include "link/frames.h"
#include "link/linklog.h"
#include "link/serialline.h"
#include "link/trace.h"

#include <QCoreApplication>
#include <QScopedValueRollback>

namespace kestrava {

TransactionEngine::TransactionEngine(SerialLine &line, QObject *parent)
    : QObject(parent)
    , m_line(line)
{
    m_timer1.setTimerType(Qt::PreciseTimer);
    m_timer1.setInterval(TickInterval);
    connect(&m_timer1, &QTimer::timeout, this, &TransactionEngine::Timer1_Timer);
    m_timer1.start(); // Timer1 runs from the moment the window exists
    connect(&m_line, &SerialLine::deviceLost, this, &TransactionEngine::lineLost);
}

bool TransactionEngine::isOpen() const
{
    return m_line.isOpen();
}

void TransactionEngine::discardInput()
{
    m_line.discardInput();
}

int TransactionEngine::commPort() const
{
    return m_line.commPort();
}

const char *outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Taken: return "taken";
    case Outcome::Sent: return "sent";
    case Outcome::TimedOut: return "timed out";
    case Outcome::NotSent: return "not sent";
    case Outcome::Lost: return "lost";
    case Outcome::Refused: return "refused";
    case Outcome::OutOfStep: return "out of step";
    }
    return "?";
}

Outcome TransactionEngine::transact(const QByteArray &frame, quint8 replyLength)
{
    return exchange(frame, replyLength).outcome;
}

Answer TransactionEngine::exchange(const QByteArray &frame, quint8 replyLength)
{
    const Outcome sent = send(frame);
    return sent == Outcome::Sent ? awaitAnswer(replyLength) : Answer{sent, {}};
}

Outcome TransactionEngine::writeRegister(quint8 address, quint8 reg, quint8 value)
{
    return transact(registerWriteFrame(address, reg, value), 1);
}

Outcome TransactionEngine::writeRegisters(quint8 address, quint8 firstRegister, QByteArrayView data)
{
    return transact(registerWriteFrame(address, firstRegister, data), 1);
}

Outcome TransactionEngine::readRegisters(quint8 address, quint8 firstRegister, quint8 count)
{
    return transact(registerReadFrame(address, firstRegister, count), count);
}

Outcome TransactionEngine::send(const QByteArray &frame)
{
    // Sending now would take this frame's answer as the waiting one's; the gate
    // should have prevented it, and the engine does not rely on that alone.
    if (m_waiting) {
        qCCritical(lcLink) << "transaction refused inside a wait:" << hexBytes(frame);
        traceLine(u"OVERLAP", frame);
        emit overlapDetected(frame);
        return Outcome::Refused;
    }
    if (!m_line.output(frame)) {
        qCDebug(lcLink) << "not sent, port closed:" << hexBytes(frame);
        traceLine(u"CLOSED", frame);
        emit frameNotSent(frame);
        return Outcome::NotSent;
    }
    qCDebug(lcLink) << "sent" << hexBytes(frame);
    traceLine(u"TX", frame);
    emit frameSent(frame);
    processPendingEvents();
    return Outcome::Sent;
}

Outcome TransactionEngine::WaitForReply(quint8 n)
{
    return awaitAnswer(n).outcome;
}

Answer TransactionEngine::awaitAnswer(quint8 n)
{
    QScopedValueRollback waiting(m_waiting, true);
    m_tickCount = 0.0f;
    switchTimerOn();
    const QDeadlineTimer deadline(m_replyTimeout.count() > 0 ? m_replyTimeout.count() : -1, Qt::PreciseTimer);
    QTimer wakeAtDeadline; // a wait bounded in milliseconds must wake when they run out
    if (m_replyTimeout.count() > 0)
        wakeAtDeadline.start(m_replyTimeout);
    for (;;) {
        if (m_line.inBufferCount() >= n)
            return takeReply();
        // A vanished device ends the wait at once instead of at its time-out.
        if (!m_line.isOpen())
            return endWait(Outcome::Lost, u"LOST");
        waitOnePass();
        if (waitExpired(deadline))
            return endWait(Outcome::TimedOut, u"TIMEOUT");
    }
}

Answer TransactionEngine::endWait(Outcome outcome, QStringView traceKind)
{
    traceLine(traceKind);
    if (outcome == Outcome::Lost)
        emit replyLost();
    else
        emit replyTimedOut();
    return {outcome, {}};
}

bool TransactionEngine::waitExpired(const QDeadlineTimer &deadline) const
{
    if (m_replyTimeout.count() > 0)
        return deadline.hasExpired();
    return m_tickCount > ReplyTimeoutTicks;
}

void TransactionEngine::WaitTicks(qint16 n)
{
    QScopedValueRollback waiting(m_waiting, true);
    m_tickCount = 0.0f;
    switchTimerOn();
    while (m_tickCount <= float(n))
        waitOnePass();
}

void TransactionEngine::processPendingEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TransactionEngine::Timer1_Timer()
{
    m_tickCount += 1.0f;
}

void TransactionEngine::switchTimerOn()
{
    // Switching on a running timer keeps its phase, as the first tick of a wait
    // may fall anywhere within one interval.
    if (!m_timer1.isActive())
        m_timer1.start();
}

void TransactionEngine::waitOnePass()
{
    // Blocks until something happens: serial data, a tick or a window event.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

Answer TransactionEngine::takeReply()
{
    m_timer1.stop();
    const QByteArray bytes = m_line.input();
    const qsizetype stored = qMin<qsizetype>(bytes.size(), MaxStoredReply);
    std::copy_n(bytes.constBegin(), stored, m_replyBuffer.begin());
    qCDebug(lcLink) << "reply" << hexBytes(bytes.left(stored));
    traceLine(u"RX", bytes);
    emit replyTaken(bytes);
    return {Outcome::Taken, bytes};
}

void TransactionEngine::traceLine(QStringView kind, QByteArrayView bytes)
{
    if (m_trace)
        m_trace->write(m_line.commPort(), kind, bytes);
}

} // namespace kestrava
