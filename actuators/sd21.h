#pragma once

#include <QtGlobal>

// The SD21 servo controller: 21 servos, three registers each (speed, position
// low, position high), written one byte at a time. Nothing is read back.
namespace kestrava::sd21 {

inline constexpr quint8 Address = 0xC2;
inline constexpr int ServoCount = 21;
inline constexpr int RegistersPerServo = 3;

// Registers of servo i: Speed + 3i, PositionLow + 3i, PositionHigh + 3i.
inline constexpr quint8 Speed = 0;
inline constexpr quint8 PositionLow = 1;
inline constexpr quint8 PositionHigh = 2;

} // namespace kestrava::sd21
