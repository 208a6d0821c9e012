#include "tests/support/remotepath.h"

#include <QDeadlineTimer>
#include <QStandardPaths>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrava::test {

namespace {

constexpr int StartTimeoutMs = 5000;

// ser2net lives in sbin, which a user's PATH may leave out.
QString findTool(const QString &name)
{
    const QStringList path = qEnvironmentVariable("PATH").split(u':') << QStringLiteral("/usr/sbin");
    return QStandardPaths::findExecutable(name, path);
}

// A TCP port on 127.0.0.1 that nothing uses now, chosen by the kernel; -1 if none.
int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), size) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0;
    ::close(fd);
    return bound ? ntohs(address.sin_port) : -1;
}

} // namespace

bool RemotePath::toolsPresent()
{
    return !findTool(QStringLiteral("ser2net")).isEmpty() && !findTool(QStringLiteral("socat")).isEmpty();
}

bool RemotePath::start(const QString &device)
{
    stop();
    const int port = freeLoopbackPort(); // -1 makes socat's complaint name it
    return startServer(device, port) && startClient(port);
}

bool RemotePath::startServer(const QString &device, int port)
{
    // 19200 baud, no parity, 8 data bits, 2 stop bits; raw TCP; modem lines ignored;
    // each answer passed on at once. A '#' starts a new line of the configuration.
    const QString config = QStringLiteral("connection: &robot#  accepter: tcp,127.0.0.1,%1#"
                                          "  connector: serialdev,%2,19200n82,local#"
                                          "  options:#    kickolduser: true#    chardelay: false")
                               .arg(port)
                               .arg(device);
    m_server.start(findTool(QStringLiteral("ser2net")), {QStringLiteral("-n"), QStringLiteral("-u"),
                                                         QStringLiteral("-Y"), config});
    return m_server.waitForStarted(StartTimeoutMs) || fail(QStringLiteral("cannot start ser2net"));
}

bool RemotePath::startClient(int port)
{
    // The connection first, so that the link appears only once it stands; retried
    // while ser2net is still starting.
    m_client.setReadChannel(QProcess::StandardError);
    m_client.start(findTool(QStringLiteral("socat")),
                   {QStringLiteral("-d"), QStringLiteral("-d"),
                    QStringLiteral("TCP:127.0.0.1:%1,retry=100,interval=0.05").arg(port),
                    QStringLiteral("PTY,link=%1,rawer").arg(linkPath())});
    const QDeadlineTimer deadline(StartTimeoutMs);
    QString notices;
    while (!notices.contains(u"starting data transfer loop")) {
        if (!m_client.waitForReadyRead(int(deadline.remainingTime())))
            return fail(QStringLiteral("socat did not connect to port %1: %2").arg(port).arg(notices));
        notices += QString::fromLocal8Bit(m_client.readAll());
    }
    return true;
}

void RemotePath::cutConnection()
{
    m_server.kill();
    m_server.waitForFinished(2000);
}

void RemotePath::stop()
{
    // Asked to end rather than killed, so that socat removes its link.
    for (QProcess *process : {&m_client, &m_server}) {
        process->terminate();
        process->waitForFinished(2000);
    }
}

bool RemotePath::fail(const QString &why)
{
    m_error = why;
    stop();
    return false;
}

} // namespace kestrava::test
