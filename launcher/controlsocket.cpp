#include "launcher/controlsocket.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kestrava::launcher {

namespace {

constexpr qsizetype LongestAnswer = 1 << 20;

bool isLastLine(const QByteArray &line)
{
    return line == "ok" || line.startsWith("ok ") || line.startsWith("error: ");
}

// A socket file closed however the exchange ends.
struct Socket
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ~Socket()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool waitFor(int fd, short events, const QDeadlineTimer &deadline)
{
    pollfd watched{fd, events, 0};
    int ready = 0;
    do {
        ready = ::poll(&watched, 1, int(qMax<qint64>(0, deadline.remainingTime())));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

} // namespace

QString controlSocketBeside(const QString &device)
{
    const QString path = device + QStringLiteral(".control");
    struct stat found{};
    return ::stat(QFile::encodeName(path).constData(), &found) == 0 && S_ISSOCK(found.st_mode) ? path : QString();
}

QStringList commandOverSocket(const QString &socketPath, const QString &line, QString &error, int timeoutMs)
{
    if (line.contains(u'\n') || line.contains(u'\r')) {
        error = QStringLiteral("a control command is one line");
        return {};
    }
    const QDeadlineTimer deadline(timeoutMs);
    const QByteArray name = QFile::encodeName(socketPath);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    Socket socket;
    if (size_t(name.size()) >= sizeof address.sun_path || socket.fd < 0) {
        error = QStringLiteral("cannot reach the simulator at %1").arg(socketPath);
        return {};
    }
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    if (::connect(socket.fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        error = QStringLiteral("cannot reach the simulator at %1: %2").arg(socketPath, QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }
    const QByteArray request = line.toUtf8() + '\n';
    if (::send(socket.fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) != request.size()) {
        error = QStringLiteral("the simulator at %1 took no command").arg(socketPath);
        return {};
    }
    QByteArray received;
    QStringList lines;
    while (waitFor(socket.fd, POLLIN, deadline)) {
        char buffer[4096];
        const ssize_t got = ::recv(socket.fd, buffer, sizeof buffer, 0);
        if (got <= 0 || received.size() > LongestAnswer)
            break;
        received.append(buffer, got);
        for (qsizetype end = received.indexOf('\n'); end >= 0; end = received.indexOf('\n')) {
            const QByteArray answerLine = received.left(end);
            received.remove(0, end + 1);
            lines << QString::fromUtf8(answerLine);
            if (isLastLine(answerLine))
                return lines;
        }
    }
    error = QStringLiteral("the simulator at %1 gave no whole answer").arg(socketPath);
    return {};
}

} // namespace kestrava::launcher
