#pragma once

#include "link/field.h"
#include <QtGlobal>

// The CMPS03 compass.
namespace kestrava::cmps03 {

namespace fields {
inline constexpr Field Version{"cmps03", "version"};
inline constexpr Field Bearing{"cmps03", "bearing"};
// The bearing again, as the needle's angle in radians.
inline constexpr Field Needle{"cmps03", "needle"};
} // namespace fields

inline constexpr quint8 Address = 0xC0;

// Registers.
inline constexpr quint8 Version = 0;
inline constexpr quint8 BearingHigh = 2; // the bearing word, tenths of a degree
inline constexpr quint8 BearingLow = 3;

} // namespace kestrava::cmps03
