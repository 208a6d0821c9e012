#include "link/lowlatency.h"

#include "link/linklog.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#endif

namespace kestrava {

namespace {

// What one telemetry click costs on the wire: its transactions and each one's wire time.
constexpr int TelemetryTransactions = 12;
constexpr double TransactionWireMs = 2.9;
// Only a timer beyond this holds answers back noticeably.
constexpr int LowestTimerMs = 1;

int telemetryClickMs(int timerMs)
{
    return int(TelemetryTransactions * (TransactionWireMs + timerMs) + 0.5);
}

} // namespace

SerialIoctl systemIoctl()
{
    return [](int fd, unsigned long request, void *argument) {
#ifdef Q_OS_UNIX
        return ::ioctl(fd, request, argument);
#else
        Q_UNUSED(fd);
        Q_UNUSED(request);
        Q_UNUSED(argument);
        return -1;
#endif
    };
}

bool requestLowLatency(int fd, const SerialIoctl &ioctl)
{
#ifdef Q_OS_LINUX
    serial_struct settings{};
    if (ioctl(fd, TIOCGSERIAL, &settings) != 0)
        return false;
    settings.flags |= ASYNC_LOW_LATENCY;
    return ioctl(fd, TIOCSSERIAL, &settings) == 0;
#else
    Q_UNUSED(fd);
    Q_UNUSED(ioctl);
    return false;
#endif
}

QString kernelTtyName(const QString &device)
{
    const QFileInfo info(device);
    const QString real = info.canonicalFilePath();
    return real.isEmpty() ? info.fileName() : QFileInfo(real).fileName();
}

QString latencyTimerPath(const QString &sysfsRoot, const QString &ttyName)
{
    return QStringLiteral("%1/class/tty/%2/device/latency_timer").arg(sysfsRoot, ttyName);
}

std::optional<int> readLatencyTimerMs(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool valid = false;
    const int ms = file.read(16).trimmed().toInt(&valid);
    if (!valid || ms < 0)
        return std::nullopt;
    return ms;
}

QString latencyTimerHint(const QString &ttyName, const QString &path, int timerMs)
{
    if (timerMs <= LowestTimerMs)
        return {};
    return QStringLiteral("kestrava: %1 holds every answer up to %2 ms (its latency timer), so a telemetry "
                          "click takes about %3 ms instead of %4 ms. Install the kestrava package's udev rule "
                          "and plug the adapter in again, or now: echo 1 | sudo tee %5")
        .arg(ttyName).arg(timerMs).arg(telemetryClickMs(timerMs)).arg(telemetryClickMs(0)).arg(path);
}

void tuneForShortAnswers(int fd, const QString &device, const PortTuning &tuning)
{
    const bool granted = requestLowLatency(fd, tuning.ioctl);
    qCDebug(lcLink) << "low latency" << (granted ? "granted" : "not offered") << "on" << device;
    const QString name = kernelTtyName(device);
    const QString path = latencyTimerPath(tuning.sysfsRoot, name);
    const QString hint = latencyTimerHint(name, path, readLatencyTimerMs(path).value_or(0));
    if (!hint.isEmpty())
        qWarning("%s", qPrintable(hint));
}

} // namespace kestrava
