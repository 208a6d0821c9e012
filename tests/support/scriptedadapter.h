#pragma once

#include "adapterframes.h"
#include "pseudoterminal.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

#include <functional>

namespace kestrava::test {

// An in-process stand-in for the USB-to-I2C adapter on the master side of a
// pseudo-terminal. It splits what the code sends into frames as the simulated
// adapter does (55, address, register, N, and N data bytes for an even address),
// records them with their arrival time,
// and answers like the adapter: one byte for a write, N register bytes for a read.
class ScriptedAdapter : public QObject
{
    Q_OBJECT
public:
    struct Frame
    {
        QByteArray bytes;
        qint64 atMs; // since the adapter was created
    };

    explicit ScriptedAdapter(PseudoTerminal &line);

    QList<Frame> frames() const { return m_frames; }
    QList<QByteArray> frameBytes() const;
    void clearFrames() { m_frames.clear(); }
    // Waits in the event loop until `count` frames have arrived.
    bool waitForFrames(qsizetype count, int timeoutMs = 5000);

    // Register contents by even module address; unset registers read 0.
    void setRegister(quint8 address, quint8 reg, quint8 value);
    quint8 registerValue(quint8 address, quint8 reg) const;
    // A silent address sends nothing back, so the code under test times out.
    void setSilent(quint8 address, bool silent = true);
    void setReplyDelayMs(int ms) { m_replyDelayMs = ms; }
    void setWriteAnswer(quint8 byte) { m_writeAnswer = byte; }
    // Replaces the answer to every frame; return what to send (may be empty).
    void setResponder(std::function<QByteArray(const QByteArray &frame)> responder)
    {
        m_responder = std::move(responder);
    }
    qint64 elapsedMs() const { return m_clock.elapsed(); }

signals:
    void frameReceived(const QByteArray &frame);

private:
    void consume(const QByteArray &bytes);
    void take(const sim::BusRequest &request);
    QByteArray answerTo(const sim::BusRequest &request, const QByteArray &frame);

    PseudoTerminal &m_line;
    sim::FrameParser m_parser;
    QList<Frame> m_frames;
    QHash<quint16, quint8> m_registers;
    QSet<quint8> m_silent;
    int m_replyDelayMs = 0;
    quint8 m_writeAnswer = 0x01;
    std::function<QByteArray(const QByteArray &)> m_responder;
    QElapsedTimer m_clock;
};

} // namespace kestrava::test
