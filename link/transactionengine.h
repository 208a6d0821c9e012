#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <array>
#include <chrono>

namespace kestrava {

class SerialLine;
class Trace;

// How a transaction (or one of its steps) ended.
enum class Outcome {
    Taken,    // the reply is in ReplyBuffer
    Sent,     // send() only: the frame went out
    TimedOut, // the wait gave up; ReplyBuffer holds what an earlier reply left
    NotSent,  // the port is closed: nothing went out and nothing was waited for
    Lost,     // the device vanished during the wait
    Refused,  // a send attempted inside a wait: a fault of the caller, nothing sent
    OutOfStep, // outside the window: bytes came that were not this frame's answer alone
};
const char *outcomeName(Outcome outcome);

// A transaction's outcome with the bytes its own wait took (all of them, as
// WaitForReply takes them), so that callers need not read the shared ReplyBuffer.
struct Answer
{
    Outcome outcome = Outcome::NotSent;
    QByteArray bytes;

    bool taken() const { return outcome == Outcome::Taken; }
};

// The bus transaction engine: frames go out whole, then a bounded wait collects
// the answer into ReplyBuffer. The only clock is TickCount, advanced by Timer1.
//
// A wait never spins: each pass blocks in the event loop until serial data, a
// tick or a window event arrives. Window events handled during a wait must not
// start another transaction (see EventGate); the engine refuses a send during a
// wait and traces it as an overlap, so a fault of the gate cannot corrupt a wait.
class TransactionEngine : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds TickInterval{50};
    // The reply wait gives up at the first test after the 11th tick.
    static constexpr float ReplyTimeoutTicks = 10.0f;
    static constexpr int ReplyBufferSize = 1000;
    static constexpr int MaxStoredReply = 999;
    using ReplyBytes = std::array<quint8, ReplyBufferSize>;

    explicit TransactionEngine(SerialLine &line, QObject *parent = nullptr);

    // One transaction: the frame in one output call, one event pass, WaitForReply.
    // A frame that cannot be sent (port closed, or refused) is not waited for.
    Outcome transact(const QByteArray &frame, quint8 replyLength);
    // The same transaction, handing back what its wait took.
    Answer exchange(const QByteArray &frame, quint8 replyLength);
    Outcome writeRegister(quint8 address, quint8 reg, quint8 value);
    Outcome writeRegisters(quint8 address, quint8 firstRegister, QByteArrayView data);
    Outcome readRegisters(quint8 address, quint8 firstRegister, quint8 count);

    // The building blocks, for operations that depart from the pattern above.
    Outcome send(const QByteArray &frame); // Output, then one event pass: Sent, NotSent or Refused
    Outcome WaitForReply(quint8 n);        // Taken, TimedOut or Lost
    Answer awaitAnswer(quint8 n);          // WaitForReply, with the bytes it took
    void WaitTicks(qint16 n);           // n + 1 ticks
    void processPendingEvents();        // one non-blocking pass of the event loop

    const ReplyBytes &ReplyBuffer() const { return m_replyBuffer; }
    quint8 reply(int position) const { return m_replyBuffer.at(size_t(position)); }
    float TickCount() const { return m_tickCount; }
    bool timerRunning() const { return m_timer1.isActive(); }
    bool isWaiting() const { return m_waiting; }

    // What the operations need of the line, so that none of them reaches past the
    // engine: whether a frame can go out now, and InBufferCount = 0.
    bool isOpen() const;
    void discardInput();
    // The COM port number the line stands for.
    int commPort() const;
    // The line itself, for whoever opens and closes it (the program that owns it).
    SerialLine &line() { return m_line; }

    void setTrace(Trace *trace) { m_trace = trace; }
    // The fuzzer runs the same waits on a faster clock; the program never changes it.
    void setTickInterval(std::chrono::milliseconds interval) { m_timer1.setInterval(interval); }
    // The command line bounds each reply wait in milliseconds instead of ticks;
    // zero restores the window's 11 ticks.
    void setReplyTimeout(std::chrono::milliseconds timeout) { m_replyTimeout = timeout; }
    // How long a reply wait lasts at most: the milliseconds set, or the 11 ticks.
    std::chrono::milliseconds replyWaitBound() const
    {
        return m_replyTimeout.count() > 0 ? m_replyTimeout : TickInterval * 11;
    }
    // One trace line of the link's own, such as bytes discarded to get back in step.
    void traceLine(QStringView kind, QByteArrayView bytes = {});

signals:
    // Emitted for every frame handed to the port, and every frame refused because
    // the port is closed; tests and the trace follow the wire through these.
    void frameSent(const QByteArray &frame);
    void frameNotSent(const QByteArray &frame);
    void replyTaken(const QByteArray &bytes);
    void replyTimedOut();
    void replyLost();
    // The device went away (unplugged, read or write error); the port is already closed.
    void lineLost();
    // A transaction started while another was waiting (a fault of the caller); refused.
    void overlapDetected(const QByteArray &frame);

private:
    void Timer1_Timer();
    void switchTimerOn();
    void waitOnePass();
    bool waitExpired(const QDeadlineTimer &deadline) const;
    Answer endWait(Outcome outcome, QStringView traceKind);
    Answer takeReply();

    SerialLine &m_line;
    QTimer m_timer1;
    float m_tickCount = 0.0f;
    ReplyBytes m_replyBuffer{};
    bool m_waiting = false;
    std::chrono::milliseconds m_replyTimeout{0};
    Trace *m_trace = nullptr;
};

} // namespace kestrava
