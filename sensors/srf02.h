#pragma once

#include "link/field.h"
#include "link/frames.h"

#include <chrono>

// The SRF02 rangers: five of them, at E0, E2, E4, E6 and E8.
namespace kestrava::srf02 {

namespace fields {
inline constexpr Field Range{"srf02", "range"};
} // namespace fields

inline constexpr quint8 FirstAddress = 0xE0;
inline constexpr int Count = 5;

// Registers.
inline constexpr quint8 Command = CommandRegister;
inline constexpr quint8 RangeHigh = 2; // the last range, high byte then low byte
inline constexpr quint8 RangeLow = 3;

// The last range in centimetres, from its high and low register.
constexpr quint16 rangeFromBytes(quint8 high, quint8 low)
{
    return quint16(high * 256 + low);
}

// Values of the command register.
inline constexpr quint8 RangeInCentimetres = 0x51;

// A ranger needs about 65 ms to measure and reads as 255 in every register until
// then, so its range is read no sooner than this after the command went out.
inline constexpr std::chrono::milliseconds RangingTime{70};

} // namespace kestrava::srf02
