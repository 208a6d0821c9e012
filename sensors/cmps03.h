#pragma once

#include "link/field.h"
#include <QtGlobal>

// The CMPS03 compass.
namespace kestrava::cmps03 {

namespace fields {
inline constexpr Field Version{"cmps03", "version"};
inline constexpr Field Bearing{"cmps03", "bearing", Scale::Tenths};
} // namespace fields

inline constexpr quint8 Address = 0xC0;

// Registers.
inline constexpr quint8 Version = 0;
inline constexpr quint8 BearingHigh = 2; // the bearing word, tenths of a degree
inline constexpr quint8 BearingLow = 3;

// The bearing word in tenths of a degree, clockwise from north: 0 to 3599 from a
// sound compass, though any word up to 65535 may come.
constexpr quint16 bearingFromBytes(quint8 high, quint8 low)
{
    return quint16(high * 256 + low);
}

} // namespace kestrava::cmps03
