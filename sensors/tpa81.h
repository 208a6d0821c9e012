#pragma once

#include "link/field.h"
#include <QtGlobal>

// The TPA81 thermal array.
namespace kestrava::tpa81 {

namespace fields {
inline constexpr Field Version{"tpa81", "version"};
inline constexpr Field Ambient{"tpa81", "ambient"};
inline constexpr Field Pixel{"tpa81", "pixel"};
} // namespace fields

inline constexpr quint8 Address = 0xD0;

// Registers, one byte each: version, ambient temperature, then pixels 1 to 8.
// A temperature is the byte, unsigned, in degrees Celsius.
inline constexpr quint8 Version = 0;
inline constexpr quint8 Ambient = 1;
inline constexpr quint8 FirstPixel = 2;
inline constexpr int PixelCount = 8;

} // namespace kestrava::tpa81
