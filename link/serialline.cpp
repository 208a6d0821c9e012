#include "link/serialline.h"

#include "link/linklog.h"

#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kestrava {

QByteArray comPortVariable(int number)
{
    return "KESTRAVA_COM" + QByteArray::number(number);
}

namespace {

// The serial port library reads a name without a slash as one under /dev; the
// operator means the folder they stand in.
QString pathAsTheShellTakesIt(const QString &device)
{
#ifdef Q_OS_UNIX
    if (!device.isEmpty() && !QFileInfo(device).isAbsolute())
        return QFileInfo(device).absoluteFilePath();
#endif
    return device;
}

} // namespace

void mapComPort(int number, const QString &device)
{
    // Absolute, so that programs started in another folder find it too.
    qputenv(comPortVariable(number).constData(), QFile::encodeName(pathAsTheShellTakesIt(device)));
}

QString deviceForComPort(int number)
{
    const QString mapped = qEnvironmentVariable(comPortVariable(number).constData());
    if (!mapped.isEmpty())
        return pathAsTheShellTakesIt(mapped);
#if defined(Q_OS_WIN)
    return QStringLiteral("COM%1").arg(number);
#elif defined(Q_OS_MACOS)
    return QStringLiteral("/dev/cu.usbserial-%1").arg(number);
#else
    return QStringLiteral("/dev/ttyUSB%1").arg(number - 1);
#endif
}

namespace {

// The device itself tells what went wrong better than the port's error: a busy
// device is reported as a permission error too, and a plain file as an odd ioctl.
OpenFailure failureOf(const QString &device, QSerialPort::SerialPortError error)
{
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(device);
    struct stat info = {};
    if (::stat(path.constData(), &info) != 0)
        return errno == EACCES ? OpenFailure::NoPermission : OpenFailure::NoDevice;
    if (!S_ISCHR(info.st_mode))
        return OpenFailure::NotSerial;
    if (::access(path.constData(), R_OK | W_OK) != 0)
        return OpenFailure::NoPermission;
#endif
    switch (error) {
    case QSerialPort::DeviceNotFoundError: return OpenFailure::NoDevice;
    case QSerialPort::PermissionError: return OpenFailure::InUse;
    default: return OpenFailure::Other;
    }
}

QString reasonFor(OpenFailure failure, const QString &portError)
{
    switch (failure) {
    case OpenFailure::NoDevice: return QStringLiteral("no such device");
    case OpenFailure::NotSerial: return QStringLiteral("not a serial port");
    case OpenFailure::NoPermission: return QStringLiteral("permission denied");
    case OpenFailure::InUse: return QStringLiteral("in use by another program");
    default: return portError;
    }
}

} // namespace

SerialLine::SerialLine(QObject *parent)
    : QObject(parent)
{
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialLine::handleError);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLine::readyRead);
}

bool SerialLine::setCommPort(int number)
{
    m_commPortValid = number >= FirstPort && number <= LastPort;
    if (m_commPortValid)
        m_commPort = number;
    return m_commPortValid;
}

QString SerialLine::portName() const
{
    return QStringLiteral("COM%1 (%2)").arg(m_commPort).arg(m_device);
}

bool SerialLine::open()
{
    if (m_port.isOpen())
        return false;
    if (!m_commPortValid)
        return failToOpen(OpenFailure::NoPortNumber, QStringLiteral("no port number from 1 to 16 was chosen"));
    const QString device = deviceForComPort(m_commPort);
    m_device = device;
    m_port.setPortName(device);
    m_port.setBaudRate(QSerialPort::Baud19200);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::TwoStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (m_port.open(QIODevice::ReadWrite)) {
        qCInfo(lcLink).noquote() << "opened" << portName();
        m_openFailure = OpenFailure::None;
        tuneForShortAnswers(int(m_port.handle()), device, m_tuning);
        setState(PortState::Open);
        return true;
    }
    const OpenFailure failure = failureOf(device, m_port.error());
    return failToOpen(failure, reasonFor(failure, m_port.errorString()));
}

// The caller reports the failure in its own words (a message box, a line on
// standard error); the link only says what it was.
bool SerialLine::failToOpen(OpenFailure failure, const QString &reason)
{
    m_openFailure = failure;
    m_lastReason = reason;
    m_lastError = m_commPortValid ? portName() + QStringLiteral(": ") + reason : reason;
    qCInfo(lcLink).noquote() << "cannot open" << m_lastError;
    setState(PortState::NotOpened);
    return false;
}

void SerialLine::close()
{
    if (!m_port.isOpen())
        return;
    m_port.close();
    setState(PortState::Closed);
}

// Every failed open is told, even after another: it may have been another port.
void SerialLine::setState(PortState state)
{
    m_state = state;
    emit stateChanged(state);
}

bool SerialLine::isOpen() const
{
    return m_port.isOpen();
}

bool SerialLine::output(QByteArrayView bytes)
{
    if (!m_port.isOpen())
        return false;
    if (m_port.write(bytes.data(), bytes.size()) != bytes.size())
        return false;
    m_port.flush();
    return m_port.isOpen();
}

int SerialLine::inBufferCount()
{
    if (!m_port.isOpen())
        return 0;
    return int(qMin<qint64>(m_port.bytesAvailable() + pendingInOperatingSystem(), 0x7FFF));
}

void SerialLine::discardInput()
{
    if (!m_port.isOpen())
        return;
    m_port.clear(QSerialPort::Input); // Qt's buffer and the kernel's
    readFromOperatingSystem();        // and whatever arrived in between
}

QByteArray SerialLine::input()
{
    if (!m_port.isOpen())
        return {};
    // Qt's buffer holds the older bytes, so it is emptied first.
    QByteArray bytes = m_port.readAll();
    bytes += readFromOperatingSystem();
    return bytes;
}

bool SerialLine::waitForInput(std::chrono::microseconds within)
{
    if (!m_port.isOpen() || inBufferCount() > 0)
        return inBufferCount() > 0;
#ifdef Q_OS_UNIX
    pollfd watched{int(m_port.handle()), POLLIN, 0};
    const auto seconds = std::chrono::floor<std::chrono::seconds>(within);
    const timespec timeout{time_t(seconds.count()), long((within - seconds).count() * 1000)};
    while (::ppoll(&watched, 1, &timeout, nullptr) < 0 && errno == EINTR) {
    }
#else
    m_port.waitForReadyRead(int(std::chrono::ceil<std::chrono::milliseconds>(within).count()));
#endif
    return inBufferCount() > 0;
}

void SerialLine::handleError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
        return;
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
    case QSerialPort::NotOpenError:
    case QSerialPort::UnsupportedOperationError:
        return; // reported by the call that caused them
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::UnknownError:
        break;
    }
    if (!m_port.isOpen())
        return;
    m_lastError = portName() + QStringLiteral(" lost: ") + m_port.errorString();
    qCInfo(lcLink).noquote() << m_lastError;
    m_port.close();
    setState(PortState::Lost);
    emit deviceLost();
}

int SerialLine::pendingInOperatingSystem() const
{
#ifdef Q_OS_UNIX
    int pending = 0;
    if (::ioctl(int(m_port.handle()), FIONREAD, &pending) == 0)
        return qMax(pending, 0);
#endif
    return 0;
}

QByteArray SerialLine::readFromOperatingSystem()
{
    QByteArray bytes;
#ifdef Q_OS_UNIX
    const int pending = pendingInOperatingSystem();
    if (pending <= 0)
        return bytes;
    bytes.resize(pending);
    ssize_t got;
    do {
        got = ::read(int(m_port.handle()), bytes.data(), size_t(pending));
    } while (got < 0 && errno == EINTR);
    bytes.resize(got > 0 ? qsizetype(got) : 0);
#endif
    return bytes;
}

} // namespace kestrava
