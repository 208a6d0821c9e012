#pragma once

#include <chrono>

namespace kestrava::sim {

// Time on the steady clock. The simulated bus is driven by explicit times so that
// its behaviour can be tested without waiting.
using SimTime = std::chrono::nanoseconds;

inline SimTime simNow()
{
    return std::chrono::duration_cast<SimTime>(std::chrono::steady_clock::now().time_since_epoch());
}

// 19200 baud, 8 data bits, no parity, 2 stop bits: 11 bit times per byte, 0.573 ms.
inline constexpr SimTime WireByteTime{11'000'000'000LL / 19200};

} // namespace kestrava::sim
