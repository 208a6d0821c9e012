#pragma once

#include "tests/support/pseudoterminal.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

namespace kestrava::test {

// Each frame as hex without blanks, as the tables write them.
QStringList hexList(const QList<QByteArray> &frames);

// An in-process stand-in for the USB-to-I2C adapter on the master side of a
// pseudo-terminal. It cuts the bytes into frames by the wire's own rule (55,
// address, register, N, and N data bytes after an even address) and keeps each
// frame exactly as its bytes arrived. Nothing is rebuilt, so a program that
// swaps two fields is seen swapping them.
class ScriptedAdapter : public QObject
{
    Q_OBJECT
public:
    explicit ScriptedAdapter(PseudoTerminal &line);

    QList<QByteArray> frames() const { return m_frames; }
    QStringList hexFrames() const { return hexList(m_frames); }
    void clearFrames() { m_frames.clear(); }

    // The answers to the next frames, in order, as hex; "-" answers nothing.
    // Once they are used up a write is answered 01 and a read of N bytes N zeros.
    void queueAnswers(const QStringList &hex) { m_queued += hex; }
    void setSilent(bool silent) { m_silent = silent; }
    // Replaces all of the above; return what to send (empty: nothing).
    void setResponder(std::function<QByteArray(const QByteArray &frame)> responder)
    {
        m_responder = std::move(responder);
    }

signals:
    void frameReceived(const QByteArray &frame);

private:
    void consume(const QByteArray &bytes);
    void answer(const QByteArray &frame);
    QByteArray answerTo(const QByteArray &frame);

    PseudoTerminal &m_line;
    QByteArray m_pending;
    QList<QByteArray> m_frames;
    QStringList m_queued;
    bool m_silent = false;
    std::function<QByteArray(const QByteArray &)> m_responder;
};

} // namespace kestrava::test
