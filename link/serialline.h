#pragma once

#include "link/lowlatency.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <chrono>

namespace kestrava {

// Device that COM port n stands for: the variable comPortVariable(n) when set,
// otherwise the platform's name (COMn on Windows, /dev/ttyUSB<n-1> on Linux,
// /dev/cu.usbserial-<n> on macOS, where adapters are best named through the variable).
// A relative path is taken from the current folder, as the shell takes it.
QString deviceForComPort(int number);
QByteArray comPortVariable(int number);
// Points COM n at a device for this process and the programs it starts.
void mapComPort(int number, const QString &device);

// Why an open failed, in the terms of what the operator can do about it.
enum class OpenFailure { None, NoPortNumber, NoDevice, NotSerial, NoPermission, InUse, Other };

// The way out of a refused permission on Linux.
inline constexpr auto DialoutHint =
    "add yourself to the dialout group and log in again: sudo usermod -aG dialout $USER";

// Where the line stands, for whoever shows it to the operator. Closed only
// before the first open and for the moment of a port change.
enum class PortState { Closed, Open, NotOpened, Lost };

// The one serial line to the USB-to-I2C adapter, with its fixed line settings
// (19200 baud, 8 data bits, no parity, 2 stop bits, raw bytes). It owns the port:
// every error of the port is handled here, once, and a device that vanishes is
// closed at once so that later sends fail quietly instead of waiting.
class SerialLine : public QObject
{
    Q_OBJECT
public:
    explicit SerialLine(QObject *parent = nullptr);

    static constexpr int FirstPort = 1;
    static constexpr int LastPort = 16;

    // CommPort: refuses numbers outside 1..16; a refused number leaves no port to open.
    bool setCommPort(int number);
    int commPort() const { return m_commPort; }

    // PortOpen = True / False.
    bool open();
    void close();
    bool isOpen() const;
    PortState state() const { return m_state; }
    // "COM1 (/dev/ttyUSB0)": the port and the device its last open tried.
    QString portName() const;
    // The last failure, one line: "COM1 (/dev/ttyUSB0): no such device".
    QString lastError() const { return m_lastError; }
    // lastError() without the port's name: "no such device".
    QString lastReason() const { return m_lastReason; }
    OpenFailure lastOpenFailure() const { return m_openFailure; }
    // How the next open asks for short answers; tests replace the system's calls.
    void setTuning(PortTuning tuning) { m_tuning = std::move(tuning); }

    // Output: hands the whole frame to the port; false when the port is closed.
    bool output(QByteArrayView bytes);
    // InBufferCount: bytes received and not yet taken, including those the
    // operating system holds and Qt has not yet been told about.
    int inBufferCount();
    // InBufferCount = 0.
    void discardInput();
    // Input: every waiting byte, in the order received.
    QByteArray input();
    // Blocks until a byte is waiting or `within` has passed, without running the
    // event loop (finer than its milliseconds); whether a byte is waiting.
    bool waitForInput(std::chrono::microseconds within);

signals:
    // The device went away (unplugged, read or write error). The port is already closed.
    void deviceLost();
    void stateChanged(kestrava::PortState state);
    // Bytes became readable; wakes anything that waits for input.
    void readyRead();

private:
    void handleError(QSerialPort::SerialPortError error);
    bool failToOpen(OpenFailure failure, const QString &reason);
    void setState(PortState state);
    int pendingInOperatingSystem() const;
    QByteArray readFromOperatingSystem();

    QSerialPort m_port;
    int m_commPort = FirstPort;
    bool m_commPortValid = true;
    QString m_device;
    QString m_lastError;
    QString m_lastReason;
    OpenFailure m_openFailure = OpenFailure::None;
    PortState m_state = PortState::Closed;
    PortTuning m_tuning;
};

} // namespace kestrava
