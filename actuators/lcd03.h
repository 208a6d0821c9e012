#pragma once

#include "link/frames.h"

// The LCD03 display with keypad.
namespace kestrava::lcd03 {

inline constexpr quint8 Address = 0xC6;

// Registers: the command register takes command codes and text at the cursor;
// the keypad registers hold one bit per key held down.
inline constexpr quint8 Command = CommandRegister;
inline constexpr quint8 KeypadLow = 1;
inline constexpr quint8 KeypadHigh = 2;

inline constexpr qsizetype TextLimit = 40;

} // namespace kestrava::lcd03
