#include "transactionengine.h"

#include "frames.h"
#include "linklog.h"
#include "serialline.h"
#include "trace.h"

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
}

bool TransactionEngine::transact(const QByteArray &frame, quint8 replyLength)
{
    if (!send(frame))
        return false;
    return WaitForReply(replyLength);
}

bool TransactionEngine::writeRegister(quint8 address, quint8 reg, quint8 value)
{
    return transact(registerWriteFrame(address, reg, value), 1);
}

bool TransactionEngine::writeRegisters(quint8 address, quint8 firstRegister, QByteArrayView data)
{
    return transact(registerWriteFrame(address, firstRegister, data), 1);
}

bool TransactionEngine::readRegisters(quint8 address, quint8 firstRegister, quint8 count)
{
    return transact(registerReadFrame(address, firstRegister, count), count);
}

bool TransactionEngine::send(const QByteArray &frame)
{
    if (m_waiting) {
        qCCritical(lcLink) << "transaction started inside a wait:" << hexBytes(frame);
        traceLine(u"OVERLAP", frame);
        emit overlapDetected(frame);
    }
    if (!m_line.output(frame)) {
        qCDebug(lcLink) << "not sent, port closed:" << hexBytes(frame);
        traceLine(u"CLOSED", frame);
        emit frameNotSent(frame);
        return false;
    }
    qCDebug(lcLink) << "sent" << hexBytes(frame);
    traceLine(u"TX", frame);
    emit frameSent(frame);
    processPendingEvents();
    return true;
}

bool TransactionEngine::WaitForReply(quint8 n)
{
    QScopedValueRollback waiting(m_waiting, true);
    m_tickCount = 0.0f;
    switchTimerOn();
    bool complete = false;
    for (;;) {
        if (m_line.inBufferCount() >= n) {
            complete = true;
            break;
        }
        // A vanished device ends the wait at once instead of after 11 ticks.
        if (!m_line.isOpen())
            break;
        waitOnePass();
        if (m_tickCount > ReplyTimeoutTicks)
            break;
    }
    if (!complete) {
        traceLine(u"TIMEOUT");
        emit replyTimedOut();
        return false;
    }
    m_timer1.stop();
    takeReply();
    return true;
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

void TransactionEngine::takeReply()
{
    const QByteArray bytes = m_line.input();
    const qsizetype stored = qMin<qsizetype>(bytes.size(), MaxStoredReply);
    std::copy_n(bytes.constBegin(), stored, m_replyBuffer.begin());
    qCDebug(lcLink) << "reply" << hexBytes(bytes.left(stored));
    traceLine(u"RX", bytes);
    emit replyTaken(bytes);
}

void TransactionEngine::traceLine(QStringView kind, QByteArrayView bytes)
{
    if (m_trace)
        m_trace->write(m_line.commPort(), kind, bytes);
}

} // namespace kestrava
