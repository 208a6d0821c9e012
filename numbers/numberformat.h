#pragma once

#include <QLocale>
#include <QString>

namespace kestrava {

// A single-precision reading as a caption (encoder counts, battery voltage, motor
// currents, the bearing): the general format with at most 7 significant digits,
// rounded to nearest (an exact tie, such as 1234566.5, rounds away from zero).
// - From 10000000 up the text is a mantissa, "E+" and a two-digit exponent:
//   16777216 -> "1.677722E+07", 10000000 -> "1E+07".
// - Below that it is plain decimal, with trailing zeros and a trailing separator
//   dropped and the leading zero kept: 12.1, 0.5, 0, 1234567.
// - Plain decimal goes down to 0.0001; smaller magnitudes, where plain decimal
//   would be mostly zeros, use the exponent form too: 0.00001 -> "1E-05".
// The decimal separator is the locale's; digits and signs are plain ASCII.
QString formatSingle(float value, const QLocale &locale = QLocale());

} // namespace kestrava
