#pragma once

#include "link/linkclock.h"
#include "link/transactionengine.h"

#include <chrono>

namespace kestrava {

// The engine as the command line and the server use it, where a value counts
// only when the answer to its own frame came, whole and alone, inside that
// frame's wait. The window keeps using the engine directly, late bytes and all.
//
// The adapter's answers carry no sequence number, so the line is kept in step by
// timing alone:
// - before each frame, whatever is waiting is discarded;
// - an answer is taken only when exactly its bytes came and the line then stays
//   quiet for AnswerGuard; anything more means the line was out of step, and the
//   answer is refused (OutOfStep);
// - after a wait that gave up, or an answer refused as out of step, the next
//   frame goes out only once the line has been quiet as long as a reply wait
//   lasts (between ResyncQuiet's bounds; at most ResyncLimit in all), so that a
//   late answer lands in that guard and is discarded instead of being taken for
//   the next frame's answer.
// On a clean line the only cost is AnswerGuard after each answer. A stepped simulator writes
// a frame's answer and whatever follows it at once, so on its clock the guard only looks at
// what has already come, without waiting. The guards
// block on the line itself, not in the event loop: nothing else runs meanwhile.
class InStepLink
{
public:
    // Two byte times at 19200 baud 8N2 (0.573 ms each): the next byte of a
    // stream that goes on after an answer arrives inside it.
    static constexpr std::chrono::microseconds AnswerGuard{1200};
    // The quiet asked for after a failed wait: as long as the wait itself, so
    // that a module late by as much again still has its answer discarded; never
    // less than a long block answer's wire time, never more than a moment.
    static constexpr std::chrono::milliseconds ShortestResyncQuiet{30};
    static constexpr std::chrono::milliseconds LongestResyncQuiet{150};
    // A line that keeps talking is not waited for longer than this.
    static constexpr std::chrono::milliseconds ResyncLimit{1500};
    // On opening, what another process left is discarded, and the line must then
    // stay quiet this long: the tail of an answer still on the wire lands in it.
    static constexpr std::chrono::milliseconds StartQuiet{2};

    explicit InStepLink(TransactionEngine &engine);

    // One frame and its own answer of `replyLength` bytes.
    Answer exchange(const QByteArray &frame, quint8 replyLength);
    Answer readRegisters(quint8 address, quint8 firstRegister, quint8 count);
    Answer writeRegisters(quint8 address, quint8 firstRegister, QByteArrayView data);

    // Waits `duration` on the link's clock, on a line that must stay quiet meanwhile; false
    // (and the line out of step) when bytes came, or a stepped clock could not be reached.
    bool pause(std::chrono::nanoseconds duration);
    // For a freshly opened line: discards what an earlier user left in it.
    void start();
    // Before the line is let go: a late answer is not left for the next user.
    void finish();

    bool inStep() const { return m_inStep; }
    // The clock the link's waits follow: real until a stepped simulator's is set.
    void setClock(LinkClock &clock) { m_clock = &clock; }
    LinkClock &clock() const { return *m_clock; }
    TransactionEngine &engine() { return m_engine; }

private:
    void resynchronise();
    std::chrono::milliseconds resyncQuiet() const;
    // Discards input until the line has been quiet for `quiet`, for at most `limit`.
    void settle(std::chrono::milliseconds quiet, std::chrono::milliseconds limit);
    bool byteArrivesWithin(std::chrono::microseconds window);
    void discardWaiting();
    Answer outOfStep();

    TransactionEngine &m_engine;
    bool m_inStep = true;
    LinkClock *m_clock = &realClock();
};

} // namespace kestrava
