#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace kestrava {

// Reads a number the way the operator types it: blanks, tabs and line feeds are
// dropped first; "&H" introduces hexadecimal digits, otherwise the longest leading
// decimal number (sign, digits, fraction, exponent) is read. No number gives 0.
double readNumber(QStringView text);

// Rounds to the nearest integer, ties to even. Values outside the signed 16-bit
// range (and anything not finite) make the conversion fail.
std::optional<qint16> roundToInt16(double value);

// readNumber followed by roundToInt16.
std::optional<qint16> readInt16(QStringView text);

} // namespace kestrava
