#pragma once

#include "link/frames.h"

#include <array>

// The LCD03 display with keypad.
namespace kestrava::lcd03 {

inline constexpr quint8 Address = 0xC6;

// Registers: the command register takes command codes and text at the cursor;
// the keypad registers hold one bit per key held down.
inline constexpr quint8 Command = CommandRegister;
inline constexpr quint8 KeypadLow = 1;
inline constexpr quint8 KeypadHigh = 2;

inline constexpr qsizetype TextLimit = 40;

// The keys in the order of their bits: bits 0 to 7 of KeypadLow, then bits 0 to 3
// of KeypadHigh, whose four upper bits belong to no key.
inline constexpr std::array<char, 12> Keys{'1', '2', '3', '4', '5', '6', '7', '8',
                                           '9', '*', '0', '#'};
inline constexpr int LowKeyCount = 8;

// The two keypad registers as one word, bit k set while Keys[k] is held.
constexpr quint16 keyBits(quint8 low, quint8 high)
{
    return quint16((high & 0x0F) << LowKeyCount | low);
}

} // namespace kestrava::lcd03
