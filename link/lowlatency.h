#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace kestrava {

// ioctl(fd, request, argument): the driver call, replaceable by tests.
using SerialIoctl = std::function<int(int fd, unsigned long request, void *argument)>;
SerialIoctl systemIoctl();

// How an opened port is tuned for short answers: where the kernel's device tree is
// read and how the driver is asked. Tests point both at fakes.
struct PortTuning
{
    QString sysfsRoot = QStringLiteral("/sys");
    SerialIoctl ioctl = systemIoctl();
};

// Asks the driver of the open port `fd` to pass received bytes on at once. False
// where the driver has no such setting (a pseudo-terminal, most non-USB drivers).
bool requestLowLatency(int fd, const SerialIoctl &ioctl);

// The kernel's name for a device path, through any links: /dev/serial/by-id/… → ttyUSB0.
QString kernelTtyName(const QString &device);

// <root>/class/tty/<name>/device/latency_timer: where a USB serial chip's timer is set.
QString latencyTimerPath(const QString &sysfsRoot, const QString &ttyName);
// The timer in milliseconds; nothing where the device has none or it cannot be read.
std::optional<int> readLatencyTimerMs(const QString &path);

// The one line telling what a latency timer of `timerMs` costs and how to lower it;
// empty when the timer does not hold answers back.
QString latencyTimerHint(const QString &ttyName, const QString &path, int timerMs);

// On open: low latency asked for, and the hint printed on standard error when the
// chip still holds answers back.
void tuneForShortAnswers(int fd, const QString &device, const PortTuning &tuning);

} // namespace kestrava
