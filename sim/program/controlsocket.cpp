#include "sim/program/controlsocket.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kestrava::sim {

struct ControlSocket::Connection
{
    int fd = -1;
    std::unique_ptr<QSocketNotifier> reading, writing;
    QByteArray pending; // the line being received
    bool tooLong = false;
    QByteArray unsent;  // answers the client has not taken yet
};

namespace {

bool allowedWhenJudged(const QString &line)
{
    const QString name = line.trimmed().section(QLatin1Char(' '), 0, 0).toLower();
    return name == QLatin1String("run") || name == QLatin1String("path");
}

} // namespace

ControlSocket::ControlSocket(Execute execute, bool judged, QObject *parent)
    : QObject(parent)
    , m_execute(std::move(execute))
    , m_judged(judged)
{
}

ControlSocket::~ControlSocket()
{
    for (const std::unique_ptr<Connection> &connection : m_connections)
        close(*connection);
    if (m_listener >= 0) {
        ::close(m_listener);
        QFile::remove(m_path);
    }
}

bool ControlSocket::listen(const QString &path, QString &error)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    if (size_t(name.size()) >= sizeof address.sun_path) {
        error = QStringLiteral("the control socket's path %1 is too long").arg(path);
        return false;
    }
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    address.sun_family = AF_UNIX;
    struct stat existing{};
    if (::lstat(name.constData(), &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode)) {
            error = QStringLiteral("cannot make the control socket %1 (is something else there?)").arg(path);
            return false;
        }
        ::unlink(name.constData()); // left by a simulator that did not end tidily
    }
    m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    // Made with no rights for others from the start: no moment when another user could connect.
    const mode_t previous = ::umask(0077);
    const bool bound = m_listener >= 0 && ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::umask(previous);
    if (!bound || ::listen(m_listener, MaxConnections) != 0) {
        error = QStringLiteral("cannot make the control socket %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        if (m_listener >= 0)
            ::close(m_listener);
        m_listener = -1;
        return false;
    }
    m_path = path;
    m_accepting = std::make_unique<QSocketNotifier>(m_listener, QSocketNotifier::Read);
    connect(m_accepting.get(), &QSocketNotifier::activated, this, &ControlSocket::accept);
    return true;
}

void ControlSocket::accept()
{
    const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return;
    std::erase_if(m_connections, [](const std::unique_ptr<Connection> &connection) { return connection->fd < 0; });
    if (qsizetype(m_connections.size()) >= MaxConnections) {
        static const char busy[] = "error: too many connections\n";
        ::send(fd, busy, sizeof busy - 1, MSG_NOSIGNAL);
        ::close(fd);
        return;
    }
    auto connection = std::make_unique<Connection>();
    Connection *raw = connection.get();
    raw->fd = fd;
    raw->reading = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    raw->writing = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    raw->writing->setEnabled(false);
    connect(raw->reading.get(), &QSocketNotifier::activated, this, [this, raw] { readFrom(*raw); });
    connect(raw->writing.get(), &QSocketNotifier::activated, this, [this, raw] { flush(*raw); });
    m_connections.push_back(std::move(connection));
}

void ControlSocket::readFrom(Connection &connection)
{
    char buffer[4096];
    const ssize_t got = ::recv(connection.fd, buffer, sizeof buffer, 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (got <= 0) {
        close(connection);
        return;
    }
    for (ssize_t i = 0; i < got && connection.fd >= 0; ++i) {
        if (buffer[i] != '\n') {
            if (connection.pending.size() < MaxLine)
                connection.pending.append(buffer[i]);
            else
                connection.tooLong = true;
            continue;
        }
        answer(connection, connection.pending);
        connection.pending.clear();
        connection.tooLong = false;
    }
}

void ControlSocket::answer(Connection &connection, const QByteArray &line)
{
    const QString command = QString::fromUtf8(line);
    if (connection.tooLong)
        send(connection, {QStringLiteral("error: line longer than %1 characters").arg(MaxLine)});
    else if (m_judged && !command.trimmed().isEmpty() && !command.trimmed().startsWith(QLatin1Char('#'))
             && !allowedWhenJudged(command))
        send(connection, {QStringLiteral("error: not during a judged trial: only run and path are allowed")});
    else
        send(connection, m_execute(command));
}

void ControlSocket::send(Connection &connection, const QStringList &lines)
{
    for (const QString &line : lines)
        connection.unsent += line.toUtf8() + '\n';
    if (connection.unsent.size() > MaxUnsentBytes) {
        close(connection);
        return;
    }
    flush(connection);
}

void ControlSocket::flush(Connection &connection)
{
    while (!connection.unsent.isEmpty()) {
        const ssize_t sent = ::send(connection.fd, connection.unsent.constData(), size_t(connection.unsent.size()), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && errno == EAGAIN)
            break;
        if (sent <= 0) {
            close(connection);
            return;
        }
        connection.unsent.remove(0, sent);
    }
    connection.writing->setEnabled(!connection.unsent.isEmpty());
}

// Closed now, forgotten at the next accept: the notifier that called may still be on the stack.
void ControlSocket::close(Connection &connection)
{
    if (connection.fd < 0)
        return;
    connection.reading->setEnabled(false);
    connection.writing->setEnabled(false);
    ::close(connection.fd);
    connection.fd = -1;
}

} // namespace kestrava::sim
