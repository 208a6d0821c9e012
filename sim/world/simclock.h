#pragma once

#include "sim/world/simtime.h"

#include <algorithm>

namespace kestrava::sim {

// Where the simulator's time comes from: the steady clock (real time, the panel's and the
// view's), or a stepped clock that stands still until the program on the line lets it go on:
// a frame moves it by the frame's wire and module time, a `wait` by its length. Stepped time
// starts at zero, and never runs while the program computes, so the same program sees the
// same times, and the world the same moves, however loaded the machine is.
class SimClock
{
public:
    enum class Kind { Real, Stepped };

    explicit SimClock(Kind kind = Kind::Real) : m_kind(kind) {}

    Kind kind() const { return m_kind; }
    bool stepped() const { return m_kind == Kind::Stepped; }
    SimTime now() const { return stepped() ? m_time : simNow(); }

    // Stepped time moves on to `at`, never back.
    void advanceTo(SimTime at) { m_time = std::max(m_time, at); }

private:
    Kind m_kind;
    SimTime m_time{};
};

} // namespace kestrava::sim
