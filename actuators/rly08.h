#pragma once

#include <QtGlobal>

// The RLY08 relay board. It is never read: the pattern last written is the record.
namespace kestrava::rly08 {

inline constexpr quint8 Address = 0x70;

// Registers.
inline constexpr quint8 States = 1; // bit i for relay i + 1
inline constexpr int RelayCount = 8;

} // namespace kestrava::rly08
