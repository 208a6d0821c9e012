#include "launcher/simulatedbus.h"

#include "launcher/simanswers.h"

#include "link/serialline.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>

#include <cstdio>

namespace kestrava::launcher {

SimulatedBus::SimulatedBus(QObject *parent)
    : QObject(parent)
{
    connect(&m_process, &QProcess::readyReadStandardError, this, &SimulatedBus::passOnErrors);
    connect(&m_process, &QProcess::finished, this, &SimulatedBus::ended);
}

// The simulator's complaints go on to this program's standard error once it has started;
// before that, the last one is kept to say why it would not start.
void SimulatedBus::passOnErrors()
{
    constexpr qsizetype Longest = 1024;
    const QByteArray text = m_process.readAllStandardError();
    if (!m_devicePath.isEmpty()) {
        std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
        return;
    }
    const QList<QByteArray> lines = text.trimmed().split('\n');
    if (!lines.last().isEmpty())
        m_lastError = lines.last().left(Longest);
}

SimulatedBus::~SimulatedBus()
{
    stop();
}

QString SimulatedBus::programBesideApplication()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kestrava-sim"));
}

bool SimulatedBus::start(const QString &program, const QStringList &arguments, int timeoutMs)
{
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(timeoutMs))
        return fail(QStringLiteral("cannot start %1: %2").arg(program, m_process.errorString()));
    const std::optional<QString> path = readLine(timeoutMs);
    if (!path || !path->startsWith(QLatin1Char('/'))) {
        passOnErrors(); // a simulator that refused to start has said why

        return fail(m_lastError.isEmpty() ? QStringLiteral("%1 gave no device path").arg(program)
                                          : QString::fromLocal8Bit(m_lastError));
    }
    m_devicePath = *path;
    return true;
}

void SimulatedBus::mapComPorts(int first, int last, const QString &target) const
{
    for (int number = first; number <= last; ++number)
        mapComPort(number, target.isEmpty() ? m_devicePath : target);
}

QStringList SimulatedBus::command(const QString &line, int timeoutMs)
{
    if (!isRunning())
        return {};
    m_process.write(line.toUtf8() + '\n');
    const QDeadlineTimer deadline(timeoutMs);
    QStringList lines;
    while (std::optional<QString> answer = readLine(int(deadline.remainingTime()))) {
        if (!endsAnswer(*answer)) {
            lines << *answer;
            continue;
        }
        if (m_unansweredPosts > 0) { // the answer to an earlier post, with anything before it
            --m_unansweredPosts;
            lines.clear();
            continue;
        }
        return lines << *answer;
    }
    return {};
}

void SimulatedBus::post(const QString &line)
{
    if (!isRunning())
        return;
    m_process.write(line.toUtf8() + '\n');
    ++m_unansweredPosts;
}

void SimulatedBus::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("quit\n");
    m_process.closeWriteChannel();
    if (m_process.waitForFinished(2000))
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(2000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

bool SimulatedBus::fail(const QString &why)
{
    m_error = why;
    stop();
    return false;
}

std::optional<QString> SimulatedBus::readLine(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (!isRunning() || !m_process.waitForReadyRead(int(deadline.remainingTime())))
            return std::nullopt;
    }
    return QString::fromUtf8(m_process.readLine()).trimmed();
}

} // namespace kestrava::launcher
