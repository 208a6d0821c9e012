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
    reading.value = srf02::rangeFromBytes(engine.reply(0), engine.reply(1));
    sink(reading);
    return worseOf(commanded, read);
}

// Tells the reading's ranger to measure; false, with the reading unanswered, when
// it did not take it. `takenAt`, on the link's clock, is once the ranger has surely heard it.
bool commandInStep(InStepLink &link, Reading &reading, LinkClock::Time &takenAt)
{
    const quint8 address = rangerAddress(reading.index);
    const char command = char(srf02::RangeInCentimetres);
    const Answer commanded = link.writeRegisters(address, srf02::Command, QByteArrayView(&command, 1));
    noteOutcome(reading, address, srf02::Command, commanded.outcome);
    takenAt = link.clock().now();
    return commanded.taken();
}

void readRangeInStep(InStepLink &link, Reading &reading)
{
    const quint8 address = rangerAddress(reading.index);
    const Answer read = link.readRegisters(address, srf02::RangeHigh, 2);
    noteOutcome(reading, address, srf02::RangeHigh, read.outcome);
    if (reading.answered())
        reading.value = srf02::rangeFromBytes(quint8(read.bytes[0]), quint8(read.bytes[1]));
}

// Waits, on a line that must stay quiet, until RangingTime after `takenAt` on the link's clock.
bool waitUntilMeasured(InStepLink &link, LinkClock::Time takenAt)
{
    const LinkClock::Time left = takenAt + srf02::RangingTime - link.clock().now();
    return left <= LinkClock::Time{0} || link.pause(left);
}

Outcome outcomeOf(const Reading &reading)
{
    return reading.unanswered ? reading.unanswered->outcome : Outcome::Taken;
}

// A closed or lost port ends the sequence; a reading whose frame never went out is not shown.
bool endsSequence(Outcome outcome)
{
    return outcome == Outcome::NotSent || outcome == Outcome::Lost;
}

Outcome handOver(const Reading &reading, const ReadingSink &sink)
{
    if (outcomeOf(reading) != Outcome::NotSent)
        sink(reading);
    return outcomeOf(reading);
}

Outcome measureInStep(InStepLink &link, int index, const ReadingSink &sink)
{
    Reading reading = newReading(srf02::fields::Range, index);
    LinkClock::Time commandedAt{};
    if (commandInStep(link, reading, commandedAt) && !waitUntilMeasured(link, commandedAt))
        noteOutcome(reading, rangerAddress(index), srf02::Command, Outcome::OutOfStep);
    if (reading.answered())
        readRangeInStep(link, reading);
    return handOver(reading, sink);
}

} // namespace

quint8 rangerAddress(int index)
{
    return quint8(srf02::FirstAddress + 2 * index);
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
    for (int i = 0; i < srf02::Count && !endsSequence(result); ++i)
        result = worseOf(result, measureInStep(link, i, sink));
    return result;
}

Outcome readRangesTogether(InStepLink &link, const ReadingSink &sink)
{
    std::vector<Reading> readings;
    std::vector<LinkClock::Time> commandedAt(srf02::Count);
    for (int i = 0; i < srf02::Count; ++i) {
        readings.push_back(newReading(srf02::fields::Range, i));
        commandInStep(link, readings.back(), commandedAt[size_t(i)]);
        if (endsSequence(outcomeOf(readings.back())))
            return handOver(readings.back(), sink);
    }
    // Each ranger is read once the measuring time has passed since its own command:
    // the five measure side by side, so the whole takes one measuring time and the
    // frames around it.
    Outcome result = Outcome::Taken;
    for (int i = 0; i < srf02::Count; ++i) {
        Reading &reading = readings[size_t(i)];
        if (reading.answered() && !waitUntilMeasured(link, commandedAt[size_t(i)]))
            noteOutcome(reading, rangerAddress(i), srf02::Command, Outcome::OutOfStep);
        if (reading.answered())
            readRangeInStep(link, reading);
        result = worseOf(result, handOver(reading, sink));
        if (endsSequence(outcomeOf(reading)))
            break;
    }
    return result;
}

} // namespace kestrava
