#include "sim/program/ptyline.h"

#include "sim/program/simadapter.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace kestrava::sim {

namespace {

std::optional<SimTime> earliest(std::optional<SimTime> a, std::optional<SimTime> b)
{
    if (a && b)
        return std::min(*a, *b);
    return a ? a : b;
}

} // namespace

PtyLine::PtyLine(SimAdapter &adapter, SimClock &clock, QObject *parent)
    : QObject(parent)
    , m_adapter(adapter)
    , m_clock(clock)
{
    connect(&m_timer, &PreciseTimer::timeout, this, &PtyLine::pump);
}

PtyLine::~PtyLine()
{
    close();
}

bool PtyLine::open()
{
    close();
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        return fail("posix_openpt");
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail("unlockpt");
    const char *name = ::ptsname(m_master);
    if (!name)
        return fail("ptsname");
    m_devicePath = QString::fromLocal8Bit(name);
    m_slaveKeeper = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slaveKeeper < 0)
        return fail("open slave");
    termios raw{};
    if (::tcgetattr(m_slaveKeeper, &raw) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&raw);
    if (::tcsetattr(m_slaveKeeper, TCSANOW, &raw) != 0)
        return fail("tcsetattr");
    m_readNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &PtyLine::readMaster);
    return true;
}

void PtyLine::close()
{
    m_readNotifier.reset();
    m_timer.stop();
    m_adapter.reset();
    m_latency.reset();
    for (int *fd : {&m_master, &m_slaveKeeper}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool PtyLine::fail(const char *step)
{
    m_error = QStringLiteral("%1: %2").arg(QLatin1String(step), QString::fromLocal8Bit(std::strerror(errno)));
    close();
    m_devicePath.clear();
    return false;
}

void PtyLine::readMaster()
{
    if (m_holds && m_holds()) {
        m_readNotifier->setEnabled(false); // the bytes wait in the line, and do not wake the loop
        return;
    }
    char buffer[4096];
    const ssize_t got = ::read(m_master, buffer, sizeof buffer);
    if (got <= 0)
        return;
    m_adapter.receive(QByteArrayView(buffer, got), m_clock.now());
    if (m_clock.stepped())
        pumpStepped();
    else
        pump();
}

void PtyLine::takeInputAgain()
{
    if (m_readNotifier && !m_readNotifier->isEnabled() && !(m_holds && m_holds())) {
        m_readNotifier->setEnabled(true);
        readMaster();
    }
}

void PtyLine::pump()
{
    if (!isOpen())
        return;
    const SimTime now = m_clock.now();
    m_latency.hold(m_adapter.takeDue(now), now);
    writeMaster(m_latency.takeDue(now));
    if (const std::optional<SimTime> wake = earliest(m_adapter.nextWake(), m_latency.nextWake()))
        m_timer.startAt(*wake);
    else
        m_timer.stop();
}

// Every answer due is written now, the clock moved on to the last one.
void PtyLine::pumpStepped()
{
    QByteArray due;
    for (;;) {
        const SimTime now = m_clock.now();
        m_latency.hold(m_adapter.takeDue(now), now);
        due += m_latency.takeDue(now);
        const std::optional<SimTime> wake = earliest(m_adapter.nextWake(), m_latency.nextWake());
        if (!wake)
            break;
        m_clock.advanceTo(*wake);
    }
    writeMaster(due);
}

void PtyLine::writeMaster(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return; // the panel's input is full: the rest is lost, as on a real line
    }
}

} // namespace kestrava::sim
