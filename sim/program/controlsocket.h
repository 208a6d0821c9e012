#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace kestrava::sim {

// The control commands on a local socket beside the link, so that programs reach a
// simulator whose standard input is not theirs. Only its user may connect (mode 0600).
// Each connection sends one command per line and gets its answer, whose last line is
// "ok..." or "error: ...". One line is carried out whole before the next is read,
// from any connection, so two programs never mix their commands.
class ControlSocket : public QObject
{
    Q_OBJECT
public:
    using Execute = std::function<QStringList(const QString &line)>;

    static constexpr qsizetype MaxLine = 4096;
    static constexpr int MaxConnections = 8;
    static constexpr qsizetype MaxUnsentBytes = 256 * 1024; // a client that never reads is dropped

    static QString besideLink(const QString &link) { return link + QStringLiteral(".control"); }

    // In a judged trial the program may look at its run and nothing else.
    ControlSocket(Execute execute, bool judged, QObject *parent = nullptr);
    ~ControlSocket() override;

    // Listens at `path`; a stale socket there is replaced, any other file refused.
    bool listen(const QString &path, QString &error);

private:
    struct Connection;
    void accept();
    void readFrom(Connection &connection);
    void answer(Connection &connection, const QByteArray &line);
    void send(Connection &connection, const QStringList &lines);
    void flush(Connection &connection);
    void close(Connection &connection);

    Execute m_execute;
    bool m_judged;
    QString m_path;
    int m_listener = -1;
    unsigned long m_inode = 0; // of the socket's file, so that only our own is removed
    std::unique_ptr<QSocketNotifier> m_accepting;
    std::vector<std::unique_ptr<Connection>> m_connections;
};

} // namespace kestrava::sim
