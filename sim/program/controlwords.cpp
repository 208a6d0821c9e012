#include "sim/program/controlwords.h"

#include "sim/program/buslog.h"

namespace kestrava::sim {

void refuse(const QString &text)
{
    throw CommandError{text};
}

std::optional<quint8> parseAddress(const QString &text)
{
    QString digits = text;
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    bool valid = false;
    const uint value = digits.toUInt(&valid, 16);
    if (!valid || digits.size() > 2)
        return std::nullopt;
    return quint8(value);
}

QString ControlWords::take(const char *what)
{
    if (m_words.isEmpty())
        refuse(QStringLiteral("missing %1").arg(QLatin1String(what)));
    return m_words.takeFirst();
}

quint8 ControlWords::address()
{
    const QString text = take("address");
    const std::optional<quint8> address = parseAddress(text);
    if (!address)
        refuse(QStringLiteral("\"%1\" is not a bus address (hexadecimal 00..FE)").arg(text));
    if (*address & 1)
        refuse(QStringLiteral("module addresses are even (%1 is the read address of %2)")
                   .arg(text, hexAddress(*address & 0xFE)));
    return *address;
}

uint ControlWords::number(const char *what, uint max)
{
    const QString text = take(what);
    bool valid = false;
    const uint value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2).toUInt(&valid, 16)
                                                                                 : text.toUInt(&valid, 10);
    if (!valid || value > max)
        refuse(QStringLiteral("%1 must be a number from 0 to %2, not \"%3\"").arg(QLatin1String(what)).arg(max).arg(text));
    return value;
}

double ControlWords::decimal(const char *what, double low, double high)
{
    const QString text = take(what);
    bool valid = false;
    const double value = text.toDouble(&valid);
    if (!valid || !(value >= low && value <= high))
        refuse(QStringLiteral("%1 must be a number from %2 to %3, not \"%4\"")
                   .arg(QLatin1String(what)).arg(low).arg(high).arg(text));
    return value;
}

QByteArray ControlWords::bytes()
{
    QByteArray bytes;
    while (!m_words.isEmpty()) {
        bytes.append(char(number("byte", 255)));
        if (bytes.size() > MaxBytes)
            refuse(QStringLiteral("at most %1 bytes").arg(MaxBytes));
    }
    return bytes;
}

bool ControlWords::onOff(bool byDefault)
{
    if (m_words.isEmpty())
        return byDefault;
    const QString word = m_words.takeFirst().toLower();
    if (word != QLatin1String("on") && word != QLatin1String("off"))
        refuse(QStringLiteral("expected on or off, not \"%1\"").arg(word));
    return word == QLatin1String("on");
}

bool ControlWords::takeLast(QLatin1StringView word)
{
    if (m_words.isEmpty() || m_words.first().toLower() != word)
        return false;
    m_words.removeFirst();
    noMore();
    return true;
}

QString ControlWords::rest()
{
    const QString joined = m_words.join(QLatin1Char(' '));
    m_words.clear();
    return joined;
}

void ControlWords::noMore() const
{
    if (!m_words.isEmpty())
        refuse(QStringLiteral("unexpected \"%1\"").arg(m_words.join(QLatin1Char(' '))));
}

} // namespace kestrava::sim
