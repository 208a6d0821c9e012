#include "rangers.h"

#include "frames.h"

#include <QElapsedTimer>
#include <QLabel>

#include <chrono>

namespace kestrava {

namespace {
constexpr quint8 FirstAddress = 0xE0;
constexpr quint8 CommandRegister = 0;
constexpr quint8 RangeInCentimetres = 0x51;
constexpr quint8 RangeHighRegister = 2;
// A ranger needs about 65 ms to measure and reads as 255 in every register until
// then, so its range is read no sooner than this after the command went out.
constexpr std::chrono::milliseconds RangingTime{70};

// The ranging wait: whole ticks, one more while the ranger may still be measuring.
void waitForRanging(TransactionEngine &engine, const QElapsedTimer &sinceCommand)
{
    do
        engine.WaitTicks(0);
    while (sinceCommand.elapsed() < RangingTime.count());
}
} // namespace

quint8 rangerAddress(int index)
{
    return quint8(FirstAddress + 2 * index);
}

quint16 rangeFromBytes(quint8 high, quint8 low)
{
    return quint16(high * 256 + low);
}

Rangers::Rangers(const ModuleContext &context)
    : QObject(&context.panel)
    , m_context(context)
{
}

void Rangers::CmdDistancia_Click()
{
    // A closed port ends the sequence: nothing more is sent and no box changes.
    for (int i = 0; i < Count && measure(i); ++i) {
    }
}

bool Rangers::measure(int index)
{
    TransactionEngine &engine = m_context.engine;
    const quint8 address = rangerAddress(index);
    QElapsedTimer sinceCommand;
    sinceCommand.start();
    if (engine.send(registerWriteFrame(address, CommandRegister, RangeInCentimetres)) != Outcome::Sent)
        return false;
    engine.WaitForReply(1);
    waitForRanging(engine, sinceCommand);
    // A late acknowledgement can be taken here with the high byte; the box then
    // shows that mix, as nothing tells the two apart.
    if (engine.readRegisters(address, RangeHighRegister, 2) == Outcome::NotSent)
        return false;
    m_context.control<QLabel>(QStringLiteral("LblDistancia"), index)
        .setText(QString::number(rangeFromBytes(engine.reply(0), engine.reply(1))));
    return true;
}

} // namespace kestrava
