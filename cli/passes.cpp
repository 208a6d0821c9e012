// --every and --count: the passes of a reading, each due `every` after the one before was due.
#include "cli/passes.h"


namespace kestrava::cli {

namespace {

// Once: a log that cannot keep its period should say so, not drift in silence.
void warnOfSlowPass(QTextStream &errors, qint64 passMs, int everyMs, bool &warned)
{
    if (everyMs <= 0 || passMs <= everyMs || warned)
        return;
    warned = true;
    errors << "warning: a pass took " << passMs << " ms, longer than --every " << everyMs
           << " ms; the readings follow one another back to back\n";
    errors.flush();
}

Status statusOf(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Taken:
    case Outcome::Sent: return AllAnswered;
    case Outcome::NotSent:
    case Outcome::Lost: return DeviceLost;
    case Outcome::TimedOut:
    case Outcome::Refused:
    case Outcome::OutOfStep: return NoAnswer;
    }
    return NoAnswer;
}

} // namespace

Status carryOutPasses(const Passes &passes, const Request &request)
{
    const LinkClock::Time start = passes.clock.now();
    const auto elapsedMs = [&] {
        return qint64(std::chrono::duration_cast<std::chrono::milliseconds>(passes.clock.now() - start).count());
    };
    Outcome worst = Outcome::Taken;
    bool warned = false;
    for (int pass = 1;; ++pass) {
        const qint64 started = elapsedMs();
        const Result result = passes.executor.carryOut(request);
        passes.printer.print(result, double(started) / 1000.0);
        warnOfSlowPass(passes.errors, elapsedMs() - started, passes.everyMs, warned);
        worst = worseOf(worst, result.outcome);
        if (result.outcome == Outcome::NotSent || result.outcome == Outcome::Lost) {
            passes.errors << "error: the device was lost\n";
            break;
        }
        if (passes.everyMs < 0 || passes.interrupted || (passes.count > 0 && pass >= passes.count))
            break;
        // The next reading is due `every` after this one was due, not after it ended.
        const qint64 due = qint64(pass) * passes.everyMs;
        passes.pause(std::chrono::milliseconds(qMax<qint64>(0, due - elapsedMs())));
        if (passes.interrupted)
            break;
    }
    return statusOf(worst);
}

} // namespace kestrava::cli
