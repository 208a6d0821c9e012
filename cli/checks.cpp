#include "cli/checks.h"

#include "cli/request.h"

#include <QJsonArray>

#include <algorithm>
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

// The row's own Param; a name missing from it is a slip in the table, refused by every call of the method.
const Param &Params::param(const char *name) const
{
    const auto found = std::find_if(m_params.begin(), m_params.end(), [name](const Param &p) { return qstrcmp(p.name, name) == 0; });
    if (found == m_params.end())
        throw Refusal{QStringLiteral("\"%1\" is not in the method's row").arg(QLatin1String(name))};
    return *found;
}

long Params::whole(const char *name, long least, long most) const
{
    const QJsonValue value = m_object.value(QLatin1String(name));
    const double number = value.toDouble(-1);
    if (!value.isDouble() || number != std::floor(number) || number < least || number > most)
        throw Refusal{QStringLiteral("\"%1\" must be a whole number from %2 to %3")
                          .arg(QLatin1String(name)).arg(least).arg(most)};
    return long(number);
}

long Params::number(const char *name) const
{
    const Param &p = param(name);
    return whole(name, p.least, p.most);
}

quint8 Params::address(const char *name) const
{
    const long value = number(name);
    if (value % 2 != 0)
        throw Refusal{QStringLiteral("\"%1\" must be an even bus address (192 for 0xC0)").arg(QLatin1String(name))};
    return quint8(value);
}

std::vector<quint8> Params::bytes(const char *name) const
{
    const Param &p = param(name);
    const QJsonValue value = m_object.value(QLatin1String(name));
    const QJsonArray array = value.toArray();
    if (!value.isArray() || array.size() < p.least || array.size() > p.most)
        throw Refusal{QStringLiteral("\"%1\" must be a list of %2 to %3 bytes").arg(QLatin1String(name)).arg(p.least).arg(p.most)};
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

QString Params::string(const char *name) const
{
    const QJsonValue value = m_object.value(QLatin1String(name));
    if (!value.isString())
        throw Refusal{QStringLiteral("\"%1\" must be a string").arg(QLatin1String(name))};
    return value.toString();
}

QString Params::text(const char *name) const
{
    const QString value = string(name);
    if (value.toUcs4().size() > param(name).most)
        throw Refusal{QStringLiteral("\"%1\" holds at most %2 characters").arg(QLatin1String(name)).arg(param(name).most)};
    return value;
}

QString Params::oneLine(const char *name) const
{
    const QString value = string(name);
    if (value.trimmed().isEmpty() || value.size() > param(name).most || value.contains(u'\n') || value.contains(u'\r'))
        throw Refusal{QStringLiteral("\"%1\" must be a name or a path on one line").arg(QLatin1String(name))};
    return value;
}

double Params::decimal(const char *name) const
{
    const Param &p = param(name);
    const double least = double(p.least), most = double(p.most);
    const QJsonValue value = m_object.value(QLatin1String(name));
    const double number = value.toDouble(least - 1);
    if (!value.isDouble() || !(number >= least && number <= most))
        throw Refusal{QStringLiteral("\"%1\" must be a number from %2 to %3").arg(QLatin1String(name)).arg(least).arg(most)};
    return number;
}

} // namespace kestrava::cli
