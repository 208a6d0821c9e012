#include "sim/program/controlsocket.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>

#include <sys/stat.h>
#include <sys/un.h>

namespace kestrava::sim {

namespace {

// The room of a socket's address less its ending zero and, as Qt's local sockets count it, one more.
constexpr qsizetype LongestSocketPath = sizeof(sockaddr_un::sun_path) - 2;

// Left by a simulator that did not end tidily; anything else there is not ours to remove.
bool isSocket(const QString &path)
{
    struct stat found{};
    return ::lstat(QFile::encodeName(path).constData(), &found) == 0 && S_ISSOCK(found.st_mode);
}

} // namespace

ControlSocket::ControlSocket(Execute execute, QObject *parent)
    : QObject(parent)
    , m_execute(std::move(execute))
{
    // Made with no rights for others from the start: no moment when another user could connect.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &ControlSocket::accept);
}

bool ControlSocket::listen(const QString &path, QString &error)
{
    // A name without a folder would be taken as one in the temporary folder.
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (QFile::encodeName(absolute).size() > LongestSocketPath) {
        error = QStringLiteral("the control socket's path %1 is too long").arg(path);
        return false;
    }
    if (isSocket(absolute))
        QLocalServer::removeServer(absolute);
    else if (QFileInfo::exists(absolute) || QFileInfo(absolute).isSymLink()) {
        error = QStringLiteral("cannot make the control socket %1 (is something else there?)").arg(path);
        return false;
    }
    if (!m_server.listen(absolute)) {
        error = QStringLiteral("cannot make the control socket %1: %2").arg(path, m_server.errorString());
        return false;
    }
    return true;
}

void ControlSocket::accept()
{
    while (QLocalSocket *client = m_server.nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        if (m_clients.size() >= std::size_t(MaxConnections)) {
            client->write("error: too many connections\n");
            client->disconnectFromServer();
            continue;
        }
        m_clients.emplace(client, ControlLines());
        connect(client, &QLocalSocket::readyRead, this, [this, client] { readFrom(client); });
        connect(client, &QObject::destroyed, this, [this, client] { m_clients.erase(client); });
    }
}

void ControlSocket::takeInputAgain()
{
    std::vector<QLocalSocket *> clients;
    for (const auto &[client, lines] : m_clients)
        clients.push_back(client);
    for (QLocalSocket *client : clients)
        readFrom(client);
}

void ControlSocket::readFrom(QLocalSocket *client)
{
    const auto found = m_clients.find(client);
    if (found == m_clients.end() || (m_holds && m_holds()))
        return;
    // A client that wrote and went at once still has its lines carried out.
    while (client->bytesAvailable() > 0) {
        for (const ControlLine &line : found->second.take(client->read(ControlLines::MaxLine))) {
            for (const QString &answerLine : answer(line))
                client->write(answerLine.toUtf8() + '\n');
            // Out now: after quit the event loop that would have sent it never runs again.
            client->flush();
            if (client->bytesToWrite() > MaxUnsentBytes) {
                client->abort();
                return;
            }
        }
    }
}

QStringList ControlSocket::answer(const ControlLine &line) const
{
    if (line.tooLong)
        return {ControlLines::tooLongAnswer()};
    return m_execute(line.text);
}

} // namespace kestrava::sim
