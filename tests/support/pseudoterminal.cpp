#include "tests/support/pseudoterminal.h"

#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace kestrava::test {

PseudoTerminal::PseudoTerminal()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0)
        return;
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        ::close(m_master);
        m_master = -1;
        return;
    }
    // A program the test starts must not hold the master open: hanging up would not reach it.
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    m_devicePath = QString::fromLocal8Bit(::ptsname(m_master));
    termios raw{};
    ::tcgetattr(m_master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(m_master, TCSANOW, &raw);
    m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &PseudoTerminal::readMaster);
}

PseudoTerminal::~PseudoTerminal()
{
    hangUp();
}

QByteArray PseudoTerminal::takeReceived()
{
    return std::exchange(m_received, {});
}

bool PseudoTerminal::waitForReceived(qsizetype count, int timeoutMs)
{
    return QTest::qWaitFor([&] {
        readMaster();
        return m_received.size() >= count;
    }, timeoutMs);
}

void PseudoTerminal::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size() && m_master >= 0) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (errno != EAGAIN && errno != EINTR)
            return;
        else
            QTest::qWait(1);
    }
}

void PseudoTerminal::hangUp()
{
    m_notifier.reset();
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void PseudoTerminal::readMaster()
{
    if (m_master < 0)
        return;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        const QByteArray bytes(buffer, qsizetype(n));
        m_received += bytes;
        emit bytesReceived(bytes);
    }
}


} // namespace kestrava::test
