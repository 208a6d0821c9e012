#include "cli/checks.h"

#include "cli/request.h"

#include <QJsonArray>

#include <cmath>

namespace kestrava::cli {

long Words::number(qsizetype i, const char *what, long least, long most) const
{
    const std::optional<long> value = parseNumber(m_words[i]);
    if (!value || *value < least || *value > most)
        throw Refusal{QStringLiteral("%1 must be a number from %2 to %3, not \"%4\"")
                          .arg(QLatin1String(what)).arg(least).arg(most).arg(m_words[i])};
    return *value;
}

quint8 Words::address(qsizetype i) const
{
    const std::optional<quint8> address = parseAddress(m_words[i]);
    if (!address)
        throw Refusal{QStringLiteral("ADDR must be an even bus address from 02 to FE in hexadecimal, not \"%1\"")
                          .arg(m_words[i])};
    return *address;
}

QString Words::text(qsizetype i, const char *what, int longest) const
{
    if (m_words[i].toUcs4().size() > longest)
        throw Refusal{QStringLiteral("%1 holds at most %2 characters").arg(QLatin1String(what)).arg(longest)};
    return m_words[i];
}

long Params::number(const char *name, long least, long most) const
{
    const QJsonValue value = m_object.value(QLatin1String(name));
    const double number = value.toDouble(-1);
    if (!value.isDouble() || number != std::floor(number) || number < least || number > most)
        throw Refusal{QStringLiteral("\"%1\" must be a whole number from %2 to %3")
                          .arg(QLatin1String(name)).arg(least).arg(most)};
    return long(number);
}

quint8 Params::address(const char *name) const
{
    const long value = number(name, 0x02, 0xFE);
    if (value % 2 != 0)
        throw Refusal{QStringLiteral("\"%1\" must be an even bus address (192 for 0xC0)").arg(QLatin1String(name))};
    return quint8(value);
}

std::vector<quint8> Params::bytes(const char *name, int most) const
{
    const QJsonValue value = m_object.value(QLatin1String(name));
    const QJsonArray array = value.toArray();
    if (!value.isArray() || array.isEmpty() || array.size() > most)
        throw Refusal{QStringLiteral("\"%1\" must be a list of 1 to %2 bytes").arg(QLatin1String(name)).arg(most)};
    std::vector<quint8> bytes;
    for (const QJsonValue &element : array) {
        const double byte = element.toDouble(-1);
        if (!element.isDouble() || byte != std::floor(byte) || byte < 0 || byte > 255)
            throw Refusal{QStringLiteral("\"%1\" must hold whole numbers from 0 to 255").arg(QLatin1String(name))};
        bytes.push_back(quint8(byte));
    }
    return bytes;
}

bool Params::flag(const char *name, bool byDefault) const
{
    const QJsonValue value = m_object.value(QLatin1String(name));
    if (value.isUndefined())
        return byDefault;
    if (!value.isBool())
        throw Refusal{QStringLiteral("\"%1\" must be true or false").arg(QLatin1String(name))};
    return value.toBool();
}

QString Params::text(const char *name, int longest) const
{
    const QJsonValue value = m_object.value(QLatin1String(name));
    if (!value.isString())
        throw Refusal{QStringLiteral("\"%1\" must be a string").arg(QLatin1String(name))};
    if (longest >= 0 && value.toString().toUcs4().size() > longest)
        throw Refusal{QStringLiteral("\"%1\" holds at most %2 characters").arg(QLatin1String(name)).arg(longest)};
    return value.toString();
}

QString Params::oneLine(const char *name) const
{
    const QString value = text(name);
    if (value.trimmed().isEmpty() || value.size() > 1024 || value.contains(u'\n') || value.contains(u'\r'))
        throw Refusal{QStringLiteral("\"%1\" must be a name or a path on one line").arg(QLatin1String(name))};
    return value;
}

double Params::decimal(const char *name, double least, double most) const
{
    const QJsonValue value = m_object.value(QLatin1String(name));
    const double number = value.toDouble(least - 1);
    if (!value.isDouble() || !(number >= least && number <= most))
        throw Refusal{QStringLiteral("\"%1\" must be a number from %2 to %3").arg(QLatin1String(name)).arg(least).arg(most)};
    return number;
}

} // namespace kestrava::cli
