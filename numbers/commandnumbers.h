#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// Numbers as a script or a shell user types them on the command line, where a typo must
// be refused rather than read as some number: the window's rule (numberreading.h) reads
// "12abc" as 12 and nothing as 0, as the operator's boxes always have.
namespace kestrava {

// An even byte in hexadecimal, "B0" or "0xB0"; the range of bus addresses is the caller's.
std::optional<quint8> parseAddress(const QString &text);
// A whole number not below zero: decimal, or hexadecimal after "0x".
std::optional<long> parseNumber(const QString &text);
// "B0".
QString addressText(quint8 address);

} // namespace kestrava
