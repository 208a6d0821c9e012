#include "numbers/numberreading.h"

#include <cmath>
#include <limits>

namespace kestrava {
namespace {

QString withoutBlanks(QStringView text)
{
    QString kept;
    kept.reserve(text.size());
    for (QChar c : text) {
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r')
            kept.append(c);
    }
    return kept;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}

// One to four digits are a 16-bit two's-complement value (FFFF is -1), five to
// eight a 32-bit one; longer runs keep their plain magnitude, which no 16-bit
// conversion accepts.
double readHex(QStringView digits)
{
    double magnitude = 0;
    quint64 bits = 0;
    int count = 0;
    for (QChar c : digits) {
        const int d = hexDigit(c);
        if (d < 0)
            break;
        magnitude = magnitude * 16 + d;
        bits = (bits << 4 | quint64(d)) & 0xFFFFFFFFFull;
        ++count;
    }
    if (count <= 4)
        return qint16(quint16(bits));
    if (count <= 8)
        return qint32(quint32(bits));
    return magnitude;
}

bool isDigit(QStringView s, qsizetype i)
{
    return i < s.size() && s[i] >= u'0' && s[i] <= u'9';
}

qsizetype skipDigits(QStringView s, qsizetype i)
{
    while (isDigit(s, i))
        ++i;
    return i;
}

// Length of the longest prefix of s that forms a decimal number, or 0.
qsizetype decimalPrefixLength(QStringView s)
{
    qsizetype i = 0;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        ++i;
    const qsizetype intStart = i;
    i = skipDigits(s, i);
    bool haveDigits = i > intStart;
    if (i < s.size() && s[i] == u'.') {
        const qsizetype fracEnd = skipDigits(s, i + 1);
        haveDigits = haveDigits || fracEnd > i + 1;
        i = fracEnd;
    }
    if (!haveDigits)
        return 0;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        qsizetype e = i + 1;
        if (e < s.size() && (s[e] == u'+' || s[e] == u'-'))
            ++e;
        if (isDigit(s, e))
            i = skipDigits(s, e);
    }
    return i;
}

} // namespace

double readNumber(QStringView text)
{
    const QString s = withoutBlanks(text);
    if (s.size() >= 2 && s[0] == u'&' && (s[1] == u'H' || s[1] == u'h'))
        return readHex(QStringView(s).mid(2));
    const qsizetype length = decimalPrefixLength(s);
    if (length == 0)
        return 0;
    // The prefix is plain ASCII digits, sign, point and exponent: the C locale parse is exact.
    return QStringView(s).left(length).toString().toDouble();
}

std::optional<qint16> roundToInt16(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value); // default rounding mode: ties to even
    if (rounded < std::numeric_limits<qint16>::min() || rounded > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return qint16(rounded);
}

std::optional<qint16> readInt16(QStringView text)
{
    return roundToInt16(readNumber(text));
}

} // namespace kestrava
