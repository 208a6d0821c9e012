#pragma once

#include "sim/program/controllines.h"

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>

class QLocalSocket;

namespace kestrava::sim {

// The control commands on a local socket beside the link, so that programs reach a
// simulator whose standard input is not theirs. Only its user may connect. Each
// connection sends one command per line and gets one answer per line, whose last line
// is "ok..." or "error: ...". One line is carried out whole before the next is read,
// from any connection, so two programs never mix their commands.
class ControlSocket : public QObject
{
    Q_OBJECT
public:
    using Execute = std::function<QStringList(const QString &line)>;

    static constexpr int MaxConnections = 8;
    static constexpr qint64 MaxUnsentBytes = 256 * 1024; // a client that never reads is dropped

    static QString besideLink(const QString &link) { return link + QStringLiteral(".control"); }

    // `execute` carries out a line as its caller may: in a judged trial, the program
    // on this socket may use only the commands whose rows allow it.
    explicit ControlSocket(Execute execute, QObject *parent = nullptr);

    // Listens at `path`; a stale socket there is replaced, any other file refused.
    bool listen(const QString &path, QString &error);
    // Takes no more connections and removes the socket's file; those taken still get their answers.
    void close() { m_server.close(); }
    // While `holds` says so, no client's line is read: each waits for its answer.
    // takeInputAgain() reads them once `holds` no longer does.
    void holdInputWhile(std::function<bool()> holds) { m_holds = std::move(holds); }
    void takeInputAgain();

private:
    void accept();
    void readFrom(QLocalSocket *client);
    QStringList answer(const ControlLine &line) const;

    Execute m_execute;
    std::function<bool()> m_holds;
    // Each client's line being received. Declared before the server, whose clients
    // leave it as they are destroyed, so that it outlives them.
    std::map<QLocalSocket *, ControlLines> m_clients;
    QLocalServer m_server;
};

} // namespace kestrava::sim
