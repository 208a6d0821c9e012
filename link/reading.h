#pragma once

#include "link/field.h"
#include "link/transactionengine.h"

#include <QString>

#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace kestrava {

class InStepLink;

// A register that went unanswered, and how its wait ended.
struct Unanswered
{
    quint8 address;
    quint8 reg;
    Outcome outcome; // TimedOut or Lost
};

// One value a module's sequence has completed: which module and field, and the
// number the module means by its registers, in the field's scale (a signed count,
// tenths of a volt or a degree, degrees Celsius, centimetres), exact. Whoever
// shows it makes its own text of it.
//
// Over the engine, a register that timed out is decoded from what ReplyBuffer
// still holds, as the window has always shown it; `unanswered` then says that the
// value was not read, and outside the window it is no number at all.
struct Reading
{
    const Field *key = nullptr;
    QString module;  // the key's, as text
    QString field;
    int index = -1;  // element of a repeated field (pixel 0..7, range 0..4)
    qint64 value = 0;
    // The caption the window showed it with, set by the window alone; empty elsewhere.
    QString shown;
    std::optional<Unanswered> unanswered;

    bool answered() const { return !unanswered; }
};

// A reading of `field` not yet read.
Reading newReading(const Field &field, int index = -1);

// Receives each reading as soon as it is complete, before the next frame goes out.
using ReadingSink = std::function<void(const Reading &)>;

// How one field is read: its registers in reading order (one single-byte read
// each) and the module's decoder of their bytes.
struct FieldRead
{
    const Field *field;
    int index;
    std::vector<quint8> registers;
    qint64 (*value)(const std::vector<quint8> &bytes);
};

// A sequence's result: Taken when every wait took its reply; otherwise the worst
// outcome met (a lost or closed port over a time-out), the first of equals. NotSent ends a sequence at once (nothing more is sent and
// nothing is shown for a frame that never went out).
Outcome worseOf(Outcome sofar, Outcome next);

// Frames 0..count-1, each a transaction answered by one byte, answered or not,
// until one cannot go out (a closed port ends the operation).
Outcome transactEach(TransactionEngine &engine, int count, const std::function<QByteArray(int)> &frameAt);
Outcome transactEach(TransactionEngine &engine, std::span<const QByteArray> frames);

// One single-byte register read: the outcome and ReplyBuffer[0] after it.
struct ByteRead
{
    Outcome outcome;
    quint8 byte;
};
ByteRead readByte(TransactionEngine &engine, quint8 address, quint8 reg);

// Reads the fields in order, handing each to `sink` once its last register is in.
Outcome readFields(TransactionEngine &engine, quint8 address,
                   const std::vector<FieldRead> &fields, const ReadingSink &sink);

// The same fields in one read frame from their lowest register to their highest,
// over a link kept in step: a field is a value only when that frame's own answer
// came; otherwise every field is unanswered at the frame's first register.
Outcome readFieldsAtOnce(InStepLink &link, quint8 address,
                         const std::vector<FieldRead> &fields, const ReadingSink &sink);

// Notes an unanswered register in the reading, keeping the first one.
void noteOutcome(Reading &reading, quint8 address, quint8 reg, Outcome outcome);

// The decoder of a field held in one register: the byte, unsigned.
qint64 firstByte(const std::vector<quint8> &bytes);

} // namespace kestrava
