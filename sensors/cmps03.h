#pragma once

#include <QtGlobal>

// The CMPS03 compass.
namespace kestrava::cmps03 {

inline constexpr quint8 Address = 0xC0;

// Registers.
inline constexpr quint8 Version = 0;
inline constexpr quint8 BearingHigh = 2; // the bearing word, tenths of a degree
inline constexpr quint8 BearingLow = 3;

} // namespace kestrava::cmps03
