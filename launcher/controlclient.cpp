#include "launcher/controlclient.h"

#include "launcher/simanswers.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>

#include <sys/stat.h>

namespace kestrava::launcher {

namespace {

constexpr qint64 LongestAnswer = 1 << 20;

QString whyNotReached(QLocalSocket::LocalSocketError error)
{
    switch (error) {
    case QLocalSocket::ServerNotFoundError: return QStringLiteral("no simulator listens there");
    case QLocalSocket::ConnectionRefusedError: return QStringLiteral("the simulator refused the connection");
    case QLocalSocket::SocketAccessError: return QStringLiteral("it belongs to another user");
    case QLocalSocket::SocketTimeoutError: return QStringLiteral("no answer in time");
    default: return QStringLiteral("the connection failed");
    }
}

} // namespace

QString controlSocketBeside(const QString &device)
{
    // A name without a folder would be looked for in the temporary folder.
    const QString path = QFileInfo(device + QStringLiteral(".control")).absoluteFilePath();
    struct stat found{};
    return ::stat(QFile::encodeName(path).constData(), &found) == 0 && S_ISSOCK(found.st_mode) ? path : QString();
}

QStringList commandOverSocket(const QString &socketPath, const QString &line, QString &error, int timeoutMs)
{
    return ControlConnection(socketPath).command(line, error, timeoutMs);
}

ControlConnection::ControlConnection(QString socketPath)
    : m_path(std::move(socketPath))
{
}

ControlConnection::~ControlConnection() = default;

bool ControlConnection::connectWithin(int timeoutMs, QString &error)
{
    if (m_socket && m_socket->state() == QLocalSocket::ConnectedState)
        return true;
    m_socket = std::make_unique<QLocalSocket>();
    m_socket->connectToServer(m_path);
    if (m_socket->waitForConnected(timeoutMs))
        return true;
    error = QStringLiteral("cannot reach the simulator at %1: %2").arg(m_path, whyNotReached(m_socket->error()));
    m_socket.reset();
    return false;
}

QStringList ControlConnection::command(const QString &line, QString &error, int timeoutMs)
{
    if (line.contains(u'\n') || line.contains(u'\r')) {
        error = QStringLiteral("a control command is one line");
        return {};
    }
    const QDeadlineTimer deadline(timeoutMs);
    if (!connectWithin(int(deadline.remainingTime()), error))
        return {};
    QLocalSocket &socket = *m_socket;
    socket.write(line.toUtf8() + '\n');
    QStringList lines;
    qint64 received = 0;
    while (received <= LongestAnswer) {
        while (socket.canReadLine()) {
            const QByteArray answerLine = socket.readLine();
            received += answerLine.size();
            lines << QString::fromUtf8(answerLine.chopped(1));
            if (endsAnswer(lines.last()))
                return lines;
        }
        if (socket.bytesAvailable() > LongestAnswer || !socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
    }
    m_socket.reset(); // what is left of that answer must not be taken for the next one's
    error = QStringLiteral("the simulator at %1 gave no whole answer").arg(m_path);
    return {};
}

} // namespace kestrava::launcher
