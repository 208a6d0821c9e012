#pragma once

#include <QtGlobal>

namespace kestrava {

// The display with keypad: register 0 takes command codes and text at the cursor.
inline constexpr quint8 DisplayAddress = 0xC6;
inline constexpr quint8 DisplayCommandRegister = 0;

} // namespace kestrava
