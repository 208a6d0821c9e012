#include "link/reading.h"

#include "link/frames.h"
#include "link/instep.h"

#include <algorithm>

namespace kestrava {

namespace {
int severity(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Taken:
    case Outcome::Sent: return 0;
    case Outcome::TimedOut:
    case Outcome::OutOfStep: return 1;
    case Outcome::Refused: return 2;
    case Outcome::Lost:
    case Outcome::NotSent: return 3;
    }
    return 3;
}
} // namespace

Outcome worseOf(Outcome sofar, Outcome next)
{
    return severity(next) > severity(sofar) ? next : sofar;
}

Outcome transactEach(TransactionEngine &engine, int count, const std::function<QByteArray(int)> &frameAt)
{
    Outcome result = Outcome::Taken;
    for (int i = 0; i < count; ++i) {
        const Outcome outcome = engine.transact(frameAt(i), 1);
        result = worseOf(result, outcome);
        if (outcome == Outcome::NotSent)
            break;
    }
    return result;
}

Outcome transactEach(TransactionEngine &engine, std::span<const QByteArray> frames)
{
    return transactEach(engine, int(frames.size()), [frames](int i) { return frames[size_t(i)]; });
}

ByteRead readByte(TransactionEngine &engine, quint8 address, quint8 reg)
{
    const Outcome outcome = engine.readRegisters(address, reg, 1);
    return {outcome, engine.reply(0)};
}

Reading newReading(const Field &field, int index)
{
    Reading reading;
    reading.key = &field;
    reading.module = QLatin1String(field.module);
    reading.field = QLatin1String(field.name);
    reading.index = index;
    return reading;
}

void noteOutcome(Reading &reading, quint8 address, quint8 reg, Outcome outcome)
{
    if (outcome != Outcome::Taken && !reading.unanswered)
        reading.unanswered = Unanswered{address, reg, outcome};
}

Outcome readFields(TransactionEngine &engine, quint8 address,
                   const std::vector<FieldRead> &fields, const ReadingSink &sink)
{
    Outcome result = Outcome::Taken;
    for (const FieldRead &field : fields) {
        Reading reading = newReading(*field.field, field.index);
        std::vector<quint8> bytes;
        for (quint8 reg : field.registers) {
            const ByteRead read = readByte(engine, address, reg);
            if (read.outcome == Outcome::NotSent)
                return worseOf(result, Outcome::NotSent);
            noteOutcome(reading, address, reg, read.outcome);
            result = worseOf(result, read.outcome);
            bytes.push_back(read.byte);
        }
        reading.value = field.value(bytes);
        sink(reading);
    }
    return result;
}

Outcome readFieldsAtOnce(InStepLink &link, quint8 address,
                         const std::vector<FieldRead> &fields, const ReadingSink &sink)
{
    quint8 first = 255;
    quint8 last = 0;
    for (const FieldRead &field : fields) {
        first = std::min(first, *std::min_element(field.registers.begin(), field.registers.end()));
        last = std::max(last, *std::max_element(field.registers.begin(), field.registers.end()));
    }
    const Answer answer = link.readRegisters(address, first, quint8(last - first + 1));
    if (answer.outcome == Outcome::NotSent)
        return answer.outcome;
    for (const FieldRead &field : fields) {
        Reading reading = newReading(*field.field, field.index);
        noteOutcome(reading, address, first, answer.outcome);
        if (answer.taken()) {
            std::vector<quint8> bytes;
            for (quint8 reg : field.registers)
                bytes.push_back(quint8(answer.bytes.at(reg - first)));
            reading.value = field.value(bytes);
        }
        sink(reading);
    }
    return answer.outcome;
}

qint64 firstByte(const std::vector<quint8> &bytes)
{
    return bytes.at(0);
}

} // namespace kestrava
