#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <array>
#include <chrono>

namespace kestrava {

class SerialLine;
class Trace;

// The bus transaction engine: frames go out whole, then a bounded wait collects
// the answer into ReplyBuffer. The only clock is TickCount, advanced by Timer1.
//
// A wait never spins: each pass blocks in the event loop until serial data, a
// tick or a window event arrives. Window events handled during a wait must not
// start another transaction (see EventGate); a send during a wait is traced as
// an overlap so that tests can prove it never happens.
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
    // A frame that cannot be sent (port closed) is not waited for. Returns whether
    // a reply was taken.
    bool transact(const QByteArray &frame, quint8 replyLength);
    bool writeRegister(quint8 address, quint8 reg, quint8 value);
    bool writeRegisters(quint8 address, quint8 firstRegister, QByteArrayView data);
    bool readRegisters(quint8 address, quint8 firstRegister, quint8 count);

    // The building blocks, for operations that depart from the pattern above.
    bool send(const QByteArray &frame); // Output, then one event pass; false when not sent
    bool WaitForReply(quint8 n);        // true when a reply was taken, false on time-out
    void WaitTicks(qint16 n);           // n + 1 ticks
    void processPendingEvents();        // one non-blocking pass of the event loop

    const ReplyBytes &ReplyBuffer() const { return m_replyBuffer; }
    quint8 reply(int position) const { return m_replyBuffer.at(size_t(position)); }
    float TickCount() const { return m_tickCount; }
    bool timerRunning() const { return m_timer1.isActive(); }
    bool isWaiting() const { return m_waiting; }
    SerialLine &line() { return m_line; }

    void setTrace(Trace *trace) { m_trace = trace; }
    // The fuzzer runs the same waits on a faster clock; the program never changes it.
    void setTickInterval(std::chrono::milliseconds interval) { m_timer1.setInterval(interval); }

signals:
    // Emitted for every frame handed to the port, and every frame refused because
    // the port is closed; tests and the trace follow the wire through these.
    void frameSent(const QByteArray &frame);
    void frameNotSent(const QByteArray &frame);
    void replyTaken(const QByteArray &bytes);
    void replyTimedOut();
    // A transaction started while another was waiting: a fault of the caller.
    void overlapDetected(const QByteArray &frame);

private:
    void Timer1_Timer();
    void switchTimerOn();
    void waitOnePass();
    void takeReply();
    void traceLine(QStringView kind, QByteArrayView bytes = {});

    SerialLine &m_line;
    QTimer m_timer1;
    float m_tickCount = 0.0f;
    ReplyBytes m_replyBuffer{};
    bool m_waiting = false;
    Trace *m_trace = nullptr;
};

} // namespace kestrava
