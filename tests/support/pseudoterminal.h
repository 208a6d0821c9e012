#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include "link/serialline.h"

#include <memory>

namespace kestrava::test {

// The far end of a serial line: a pseudo-terminal whose slave device the code
// under test opens as its COM port, while the test reads and writes the master.
class PseudoTerminal : public QObject
{
    Q_OBJECT
public:
    PseudoTerminal();
    ~PseudoTerminal() override;

    bool isValid() const { return m_master >= 0; }
    QString devicePath() const { return m_devicePath; }

    // Bytes the code under test has sent, in order, since the last take.
    QByteArray received() const { return m_received; }
    QByteArray takeReceived();
    // Waits (in the event loop) until at least `count` bytes have been received.
    bool waitForReceived(qsizetype count, int timeoutMs = 2000);

    void write(const QByteArray &bytes);
    // Closes the master: the device vanishes for the code under test.
    void hangUp();

signals:
    void bytesReceived(const QByteArray &bytes);

private:
    void readMaster();

    int m_master = -1;
    QString m_devicePath;
    QByteArray m_received;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

using kestrava::mapComPort;

} // namespace kestrava::test
