#include "sensors/rangers.h"

#include "link/instep.h"
#include "sensors/srf02.h"

#include <QElapsedTimer>

namespace kestrava {

namespace {

// The ranging wait: whole ticks, one more while the ranger may still be measuring.
void waitForRanging(TransactionEngine &engine, const QElapsedTimer &sinceCommand)
{
    do
        engine.WaitTicks(0);
    while (sinceCommand.elapsed() < srf02::RangingTime.count());
}

Outcome measure(TransactionEngine &engine, int index, const ReadingSink &sink)
{
    const quint8 address = rangerAddress(index);
    Reading reading = newReading(srf02::fields::Range, index);
    QElapsedTimer sinceCommand;
    sinceCommand.start();
    if (engine.send(registerWriteFrame(address, srf02::Command, srf02::RangeInCentimetres)) != Outcome::Sent)
        return Outcome::NotSent;
    const Outcome commanded = engine.WaitForReply(1);
    noteOutcome(reading, address, srf02::Command, commanded);
    waitForRanging(engine, sinceCommand);
    // A late acknowledgement can be taken here with the high byte; the window then
    // shows that mix, as nothing tells the two apart.
    const Outcome read = engine.readRegisters(address, srf02::RangeHigh, 2);
    if (read == Outcome::NotSent)
        return Outcome::NotSent;
    noteOutcome(reading, address, srf02::RangeHigh, read);
    reading.value = rangeFromBytes(engine.reply(0), engine.reply(1));
    reading.shown = QString::number(qint64(reading.value));
    sink(reading);
    return worseOf(commanded, read);
}

Outcome measureInStep(InStepLink &link, int index, const ReadingSink &sink)
{
    const quint8 address = rangerAddress(index);
    Reading reading = newReading(srf02::fields::Range, index);
    const char command = char(srf02::RangeInCentimetres);
    const Answer commanded = link.writeRegisters(address, srf02::Command, QByteArrayView(&command, 1));
    noteOutcome(reading, address, srf02::Command, commanded.outcome);
    if (commanded.taken() && !link.pause(srf02::RangingTime))
        noteOutcome(reading, address, srf02::Command, Outcome::OutOfStep);
    Answer read{Outcome::Taken, {}};
    if (reading.answered()) {
        read = link.readRegisters(address, srf02::RangeHigh, 2);
        noteOutcome(reading, address, srf02::RangeHigh, read.outcome);
    }
    if (reading.answered()) {
        reading.value = rangeFromBytes(quint8(read.bytes[0]), quint8(read.bytes[1]));
        reading.shown = QString::number(qint64(reading.value));
    }
    if (commanded.outcome != Outcome::NotSent && read.outcome != Outcome::NotSent)
        sink(reading);
    return reading.unanswered ? reading.unanswered->outcome : Outcome::Taken;
}

} // namespace

quint8 rangerAddress(int index)
{
    return quint8(srf02::FirstAddress + 2 * index);
}

quint16 rangeFromBytes(quint8 high, quint8 low)
{
    return quint16(high * 256 + low);
}

Outcome readRanges(TransactionEngine &engine, const ReadingSink &sink)
{
    Outcome result = Outcome::Taken;
    // A closed port ends the sequence: nothing more is sent and nothing is shown.
    for (int i = 0; i < srf02::Count; ++i) {
        const Outcome measured = measure(engine, i, sink);
        result = worseOf(result, measured);
        if (measured == Outcome::NotSent)
            break;
    }
    return result;
}

Outcome readRangesInStep(InStepLink &link, const ReadingSink &sink)
{
    Outcome result = Outcome::Taken;
    // A closed or lost port ends the sequence.
    for (int i = 0; i < srf02::Count && result != Outcome::NotSent && result != Outcome::Lost; ++i)
        result = worseOf(result, measureInStep(link, i, sink));
    return result;
}

} // namespace kestrava
