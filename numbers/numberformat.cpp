#include "numbers/numberformat.h"

#include <cmath>

namespace kestrava {

namespace {

constexpr int SignificantDigits = 7;
// Decimal exponents shown in plain notation: 0.0001 up to 9999999.
constexpr int SmallestPlainExponent = -4;
constexpr int LargestPlainExponent = SignificantDigits - 1;

// The value rounded to 7 significant digits: the digits (no separator) and the
// decimal exponent of the first one. Rounding may carry into a new digit
// (9999999.6 -> 1.000000E+07), so the exponent is read after rounding.
struct RoundedDecimal
{
    QString digits;
    int exponent = 0;
};

RoundedDecimal roundToSignificant(double magnitude)
{
    const QString scientific = QString::number(magnitude, 'e', SignificantDigits - 1);
    const qsizetype e = scientific.indexOf(u'e');
    RoundedDecimal rounded;
    rounded.digits = scientific.left(e).remove(u'.');
    rounded.exponent = scientific.mid(e + 1).toInt();
    return rounded;
}

QString withoutTrailingZeros(QString digits)
{
    while (digits.endsWith(u'0'))
        digits.chop(1);
    return digits;
}

QString joined(const QString &whole, const QString &fraction, const QLocale &locale)
{
    const QString kept = withoutTrailingZeros(fraction);
    return kept.isEmpty() ? whole : whole + locale.decimalPoint() + kept;
}

QString plainForm(const RoundedDecimal &r, const QLocale &locale)
{
    if (r.exponent < 0) {
        const QString fraction = QString(-r.exponent - 1, u'0') + r.digits;
        return joined(QStringLiteral("0"), fraction, locale);
    }
    return joined(r.digits.left(r.exponent + 1), r.digits.mid(r.exponent + 1), locale);
}

QString exponentForm(const RoundedDecimal &r, const QLocale &locale)
{
    const QString exponent = QString::number(std::abs(r.exponent)).rightJustified(2, u'0');
    return joined(r.digits.left(1), r.digits.mid(1), locale)
           + (r.exponent < 0 ? QStringLiteral("E-") : QStringLiteral("E+")) + exponent;
}

} // namespace

QString formatSingle(float value, const QLocale &locale)
{
    if (value == 0.0f)
        return QStringLiteral("0"); // minus zero too
    if (!std::isfinite(value))
        return locale.toString(double(value));
    const RoundedDecimal rounded = roundToSignificant(std::fabs(double(value)));
    const bool plain = rounded.exponent >= SmallestPlainExponent
                       && rounded.exponent <= LargestPlainExponent;
    const QString text = plain ? plainForm(rounded, locale) : exponentForm(rounded, locale);
    return value < 0.0f ? u'-' + text : text;
}

} // namespace kestrava
