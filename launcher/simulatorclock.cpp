#include "launcher/simulatorclock.h"

#include "launcher/controlanswer.h"

namespace kestrava::launcher {

namespace {

// A wait on the stepped clock answers at once; this long without an answer, the simulator is gone
// (a busy machine delays it by far less).
constexpr int AnswerTimeoutMs = 10000;

std::optional<ControlAnswer> ask(ControlConnection &connection, const QString &line)
{
    QString error;
    return answerOf(connection.command(line, error, AnswerTimeoutMs));
}

QString secondsText(LinkClock::Time span)
{
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(span);
    return QStringLiteral("%1.%2").arg(whole.count()).arg((span - whole).count(), 9, 10, QLatin1Char('0'));
}

} // namespace

std::unique_ptr<SimulatorClock> SimulatorClock::ifStepped(const QString &socketPath)
{
    ControlConnection connection(socketPath);
    const std::optional<ControlAnswer> answer = ask(connection, QStringLiteral("clock"));
    const std::optional<ClockAnswer> clock = answer ? clockOf(*answer) : std::nullopt;
    if (!clock || !clock->stepped)
        return nullptr;
    return std::unique_ptr<SimulatorClock>(new SimulatorClock(socketPath, clock->time));
}

SimulatorClock::SimulatorClock(const QString &socketPath, Time time)
    : m_connection(socketPath)
    , m_known(time)
{
}

LinkClock::Time SimulatorClock::now() const
{
    const std::optional<ControlAnswer> answer = ask(m_connection, QStringLiteral("clock"));
    if (const std::optional<ClockAnswer> clock = answer ? clockOf(*answer) : std::nullopt)
        m_known = clock->time;
    return m_known;
}

bool SimulatorClock::advance(Time span)
{
    if (span <= Time{0})
        return true;
    const std::optional<ControlAnswer> answer = ask(m_connection, QStringLiteral("wait ") + secondsText(span));
    const std::optional<Time> reached = answer ? waitedTo(*answer) : std::nullopt;
    if (reached)
        m_known = *reached;
    return reached.has_value();
}

} // namespace kestrava::launcher
