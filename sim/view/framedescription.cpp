#include "framedescription.h"

namespace kestrava::simview {

namespace {

constexpr qsizetype HeaderSize = 4;

QString hex(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex(' ').toUpper());
}

QString byteCount(int count)
{
    return count == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(count);
}

QString outcome(const QByteArray &answer, bool isRead)
{
    if (answer.isEmpty())
        return QStringLiteral("no answer");
    if (!isRead && answer == QByteArray(1, '\x01'))
        return QStringLiteral("ack");
    return hex(answer);
}

} // namespace

QString describeFrame(const QByteArray &frame, const QByteArray &answer, const QString &module)
{
    if (frame.size() < HeaderSize || quint8(frame[0]) != 0x55)
        return QStringLiteral("? %1").arg(hex(frame));
    const quint8 address = quint8(frame[1]);
    const bool isRead = address & 1;
    const int reg = quint8(frame[2]);
    const int count = quint8(frame[3]);
    const QString who = QStringLiteral("%1 %2").arg(address & 0xFE, 2, 16, QLatin1Char('0')).toUpper()
                            .arg(module.isEmpty() ? QStringLiteral("(none)") : module);
    const QString what = isRead ? QStringLiteral("read  reg %1, %2").arg(reg).arg(byteCount(count))
                                : QStringLiteral("write reg %1: %2").arg(reg).arg(hex(frame.sliced(HeaderSize)));
    return QStringLiteral("%1  %2 → %3").arg(who, what, outcome(answer, isRead));
}

} // namespace kestrava::simview
