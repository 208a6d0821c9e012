#include "serialline.h"

#include "linklog.h"

#include <QFile>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace kestrava {

QByteArray comPortVariable(int number)
{
    return "KESTRAVA_COM" + QByteArray::number(number);
}

void mapComPort(int number, const QString &device)
{
    qputenv(comPortVariable(number).constData(), QFile::encodeName(device));
}

QString deviceForComPort(int number)
{
    const QString mapped = qEnvironmentVariable(comPortVariable(number).constData());
    if (!mapped.isEmpty())
        return mapped;
#if defined(Q_OS_WIN)
    return QStringLiteral("COM%1").arg(number);
#elif defined(Q_OS_MACOS)
    return QStringLiteral("/dev/cu.usbserial-%1").arg(number);
#else
    return QStringLiteral("/dev/ttyUSB%1").arg(number - 1);
#endif
}

namespace {

// A busy device is reported as a permission error too; only a real lack of
// access deserves the hint about the serial group.
bool mayReadAndWrite(const QString &device)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
#else
    Q_UNUSED(device);
    return false;
#endif
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

bool SerialLine::open()
{
    if (!m_commPortValid || m_port.isOpen())
        return false;
    const QString device = deviceForComPort(m_commPort);
    m_port.setPortName(device);
    m_port.setBaudRate(QSerialPort::Baud19200);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::TwoStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (m_port.open(QIODevice::ReadWrite)) {
        qCInfo(lcLink) << "opened COM" << m_commPort << "on" << device;
        tuneForShortAnswers(int(m_port.handle()), device, m_tuning);
        return true;
    }
    m_lastError = QStringLiteral("COM%1 (%2): %3").arg(m_commPort).arg(device, m_port.errorString());
    qCWarning(lcLink).noquote() << m_lastError;
    if (m_port.error() == QSerialPort::PermissionError && !mayReadAndWrite(device)) {
        qWarning("kestrava: permission denied on %s. On Linux, add yourself to the serial "
                 "group and log in again: sudo usermod -aG dialout $USER",
                 qPrintable(device));
    }
    return false;
}

void SerialLine::close()
{
    if (m_port.isOpen())
        m_port.close();
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
    m_lastError = m_port.errorString();
    qCWarning(lcLink).noquote() << "COM" << m_commPort << "lost:" << m_lastError;
    m_port.close();
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
