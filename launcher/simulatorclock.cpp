#include "launcher/simulatorclock.h"

#include "launcher/simanswers.h"

namespace kestrava::launcher {

namespace {

// A wait on the stepped clock answers at once; this long without an answer, the simulator is gone
// (a busy machine delays it by far less).
constexpr int AnswerTimeoutMs = 10000;

// The clock's answer to `command` ("clock" or "wait S"), read from its JSON line.
std::optional<SimClock> ask(ControlConnection &connection, const QString &command)
{
    QString error;
    const QStringList lines = connection.command(askingForJson(command), error, AnswerTimeoutMs);
    const std::optional<SimAnswer> answer = lines.isEmpty() ? std::nullopt : simAnswerOf(lines.last());
    return answer ? clockOf(*answer) : std::nullopt;
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
    const std::optional<SimClock> clock = ask(connection, QStringLiteral("clock"));
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
    if (const std::optional<SimClock> clock = ask(m_connection, QStringLiteral("clock")))
        m_known = clock->time;
    return m_known;
}

bool SimulatorClock::advance(Time span)
{
    if (span <= Time{0})
        return true;
    const std::optional<SimClock> reached = ask(m_connection, QStringLiteral("wait ") + secondsText(span));
    if (reached)
        m_known = reached->time;
    return reached.has_value();
}

} // namespace kestrava::launcher
