#include "remotepath.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrava::test {

namespace {

// ser2net lives in sbin, which a user's PATH may leave out.
QString findTool(const QString &name)
{
    const QString onPath = QStandardPaths::findExecutable(name);
    return onPath.isEmpty() ? QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin")}) : onPath;
}

// A TCP port on 127.0.0.1 that nothing uses now, chosen by the kernel.
int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = -1;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), size) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

void end(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(2000)) {
        process.kill();
        process.waitForFinished(2000);
    }
}

} // namespace

RemotePath::RemotePath(const QString &folder)
    : m_folder(folder)
{
    m_client.setReadChannel(QProcess::StandardError);
    m_server.setProcessChannelMode(QProcess::MergedChannels); // ser2net's notices stay out of the log
}

RemotePath::~RemotePath()
{
    stop();
}

bool RemotePath::toolsPresent()
{
    return !findTool(QStringLiteral("ser2net")).isEmpty() && !findTool(QStringLiteral("socat")).isEmpty();
}

bool RemotePath::start(const QString &device)
{
    stop();
    m_error.clear();
    const int port = freeLoopbackPort();
    if (port < 0)
        return fail(QStringLiteral("no free TCP port on 127.0.0.1"));
    return startServer(device, port) && startClient(port);
}

bool RemotePath::startServer(const QString &device, int port)
{
    // 19200 baud, no parity, 8 data bits, 2 stop bits; raw TCP; modem lines ignored.
    const QString config = QStringLiteral("%YAML 1.1\n---\nconnection: &robot\n"
                                          "    accepter: tcp,127.0.0.1,%1\n"
                                          "    connector: serialdev,%2,19200n82,local\n"
                                          "    options:\n      kickolduser: true\n      chardelay: false\n")
                               .arg(port)
                               .arg(device);
    QFile file(m_folder + QStringLiteral("/ser2net.yaml"));
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0)
        return fail(QStringLiteral("cannot write %1").arg(file.fileName()));
    file.close();
    m_server.start(findTool(QStringLiteral("ser2net")),
                   {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"), file.fileName(),
                    QStringLiteral("-P"), m_folder + QStringLiteral("/ser2net.pid")});
    return m_server.waitForStarted(StartTimeoutMs) || fail(QStringLiteral("cannot start ser2net"));
}

bool RemotePath::startClient(int port)
{
    // The connection first, so that the link appears only once it stands; retried
    // while ser2net is still starting.
    m_client.start(findTool(QStringLiteral("socat")),
                   {QStringLiteral("-d"), QStringLiteral("-d"),
                    QStringLiteral("TCP:127.0.0.1:%1,retry=100,interval=0.05").arg(port),
                    QStringLiteral("PTY,link=%1,rawer").arg(linkPath())});
    const QDeadlineTimer deadline(StartTimeoutMs);
    QByteArray notices;
    while (!notices.contains("starting data transfer loop")) {
        if (!m_client.waitForReadyRead(int(deadline.remainingTime())))
            return fail(QStringLiteral("socat did not connect to 127.0.0.1:%1: %2").arg(port).arg(QString::fromLocal8Bit(notices)));
        notices += m_client.readAll();
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
    end(m_client);
    end(m_server);
}

bool RemotePath::fail(const QString &why)
{
    m_error = why;
    stop();
    return false;
}

} // namespace kestrava::test
