#include "cli/checks.h"

#include "numbers/commandnumbers.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

namespace kestrava::cli {

const Param &Values::param(const char *name) const
{
    const auto found = std::find_if(m_params.begin(), m_params.end(), [name](const Param &p) { return qstrcmp(p.name, name) == 0; });
    if (found == m_params.end())
        throw Refusal{QStringLiteral("\"%1\" is not in the method's row").arg(QLatin1String(name))};
    return *found;
}

Refusal Values::notGiven(const char *name)
{
    return Refusal{QStringLiteral("\"%1\" cannot be given this way").arg(QLatin1String(name))};
}

// Words -----------------------------------------------------------------------------

// Among the Params that have a word; past the end when the row gives it none.
qsizetype Words::position(const char *name) const
{
    const Param &wanted = param(name);
    if (!wanted.word)
        return m_words.size();
    return std::count_if(params().begin(), params().end(), [&wanted](const Param &p) { return p.word && &p < &wanted; });
}

long Words::numberAt(qsizetype i, const char *word, long least, long most) const
{
    const std::optional<long> value = parseNumber(m_words[i]);
    if (!value || *value < least || *value > most)
        throw Refusal{QStringLiteral("%1 must be a number from %2 to %3, not \"%4\"")
                          .arg(QLatin1String(word)).arg(least).arg(most).arg(m_words[i])};
    return *value;
}

long Words::number(const char *name, long most) const
{
    const Param &p = param(name);
    return numberAt(position(name), p.word, p.least, most);
}

quint8 Words::addressAt(qsizetype i, const Param &p) const
{
    const std::optional<quint8> address = parseAddress(m_words[i]);
    if (!address || *address < p.least || *address > p.most)
        throw Refusal{QStringLiteral("%1 must be an even bus address from %2 to %3 in hexadecimal, not \"%4\"")
                          .arg(QLatin1String(p.word), addressText(quint8(p.least)), addressText(quint8(p.most)), m_words[i])};
    return *address;
}

quint8 Words::address(const char *name) const
{
    return addressAt(position(name), param(name));
}

std::vector<quint8> Words::addresses(const char *name) const
{
    std::vector<quint8> addresses;
    for (qsizetype i = position(name); i < m_words.size(); ++i)
        addresses.push_back(addressAt(i, param(name)));
    return addresses;
}

std::vector<quint8> Words::bytes(const char *name) const
{
    const Param &p = param(name);
    std::vector<quint8> bytes;
    for (qsizetype i = position(name); i < m_words.size(); ++i)
        bytes.push_back(quint8(numberAt(i, p.word, 0, 255)));
    if (qsizetype(bytes.size()) > p.most)
        throw Refusal{QStringLiteral("at most %1 bytes go in one frame").arg(p.most)};
    return bytes;
}

QString Words::text(const char *name) const
{
    const Param &p = param(name);
    const QString &word = m_words[position(name)];
    if (word.toUcs4().size() > p.most)
        throw Refusal{QStringLiteral("%1 holds at most %2 characters").arg(QLatin1String(p.word)).arg(p.most)};
    return word;
}

QString Words::oneLine(const char *name) const
{
    const Param &p = param(name);
    const QString line = m_words.mid(position(name)).join(u' ');
    if (line.size() > p.most)
        throw Refusal{QStringLiteral("%1 holds at most %2 characters").arg(QLatin1String(p.word)).arg(p.most)};
    return line;
}

// Params ----------------------------------------------------------------------------

long Params::number(const char *name, long most) const
{
    const long least = param(name).least;
    const QJsonValue value = m_object.value(QLatin1String(name));
    const double number = value.toDouble(-1);
    if (!value.isDouble() || number != std::floor(number) || number < least || number > most)
        throw Refusal{QStringLiteral("\"%1\" must be a whole number from %2 to %3")
                          .arg(QLatin1String(name)).arg(least).arg(most)};
    return long(number);
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
