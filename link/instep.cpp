#include "link/instep.h"

#include "link/frames.h"
#include "link/linklog.h"
#include "link/serialline.h"

#include <QDeadlineTimer>

#include <algorithm>

namespace kestrava {

InStepLink::InStepLink(TransactionEngine &engine)
    : m_engine(engine)
{
}

Answer InStepLink::exchange(const QByteArray &frame, quint8 replyLength)
{
    resynchronise();
    Answer answer = m_engine.exchange(frame, replyLength);
    if (answer.outcome == Outcome::TimedOut)
        m_inStep = false;
    if (!answer.taken())
        return answer;
    const std::chrono::microseconds guard = m_clock->stepped() ? std::chrono::microseconds{0} : AnswerGuard;
    if (answer.bytes.size() != replyLength || byteArrivesWithin(guard))
        return outOfStep();
    return answer;
}

Answer InStepLink::readRegisters(quint8 address, quint8 firstRegister, quint8 count)
{
    return exchange(registerReadFrame(address, firstRegister, count), count);
}

Answer InStepLink::writeRegisters(quint8 address, quint8 firstRegister, QByteArrayView data)
{
    return exchange(registerWriteFrame(address, firstRegister, data), 1);
}

bool InStepLink::pause(std::chrono::nanoseconds duration)
{
    if (m_clock->stepped()) {
        if (m_clock->advance(duration) && !byteArrivesWithin(std::chrono::microseconds{0}))
            return true;
        outOfStep();
        return false;
    }
    const QDeadlineTimer deadline(std::chrono::ceil<std::chrono::milliseconds>(duration), Qt::PreciseTimer);
    while (!deadline.hasExpired()) {
        if (byteArrivesWithin(std::chrono::ceil<std::chrono::microseconds>(deadline.remainingTimeAsDuration()))) {
            outOfStep();
            return false;
        }
    }
    return true;
}

void InStepLink::start()
{
    settle(StartQuiet, ResyncLimit);
    m_inStep = true;
}

void InStepLink::finish()
{
    resynchronise();
}

void InStepLink::resynchronise()
{
    if (!m_inStep)
        settle(resyncQuiet(), ResyncLimit);
    m_inStep = true;
    discardWaiting();
}

std::chrono::milliseconds InStepLink::resyncQuiet() const
{
    return std::clamp(m_engine.replyWaitBound(), ShortestResyncQuiet, LongestResyncQuiet);
}

void InStepLink::settle(std::chrono::milliseconds quiet, std::chrono::milliseconds limit)
{
    const QDeadlineTimer deadline(limit, Qt::PreciseTimer);
    do
        discardWaiting();
    while (byteArrivesWithin(quiet) && !deadline.hasExpired());
    discardWaiting();
}

bool InStepLink::byteArrivesWithin(std::chrono::microseconds window)
{
    return m_engine.line().waitForInput(window);
}

void InStepLink::discardWaiting()
{
    const QByteArray dropped = m_engine.line().input();
    if (dropped.isEmpty())
        return;
    qCDebug(lcLink) << "discarded, out of step:" << hexBytes(dropped);
    m_engine.traceLine(u"DISCARDED", dropped);
}

Answer InStepLink::outOfStep()
{
    m_inStep = false;
    m_engine.traceLine(u"OUT-OF-STEP");
    return {Outcome::OutOfStep, {}};
}

} // namespace kestrava
