#include "numbers/commandnumbers.h"

namespace kestrava {

std::optional<long> parseNumber(const QString &text)
{
    bool ok = false;
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const long value = hex ? text.mid(2).toLong(&ok, 16) : text.toLong(&ok, 10);
    if (!ok || text.contains(u'+') || text.contains(u'-') || text.contains(u' '))
        return std::nullopt;
    return value;
}

std::optional<quint8> parseAddress(const QString &text)
{
    const QString digits = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2) : text;
    bool ok = false;
    const int value = digits.toInt(&ok, 16);
    if (!ok || digits.isEmpty() || digits.size() > 2 || digits.contains(u'+') || digits.contains(u'-') || value % 2 != 0)
        return std::nullopt;
    return quint8(value);
}

QString addressText(quint8 address)
{
    return QStringLiteral("%1").arg(address, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace kestrava
