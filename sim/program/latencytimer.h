#pragma once

#include "sim/world/simtime.h"

#include <QByteArray>

#include <optional>

namespace kestrava::sim {

// The latency timer of a USB serial chip: answer bytes wait in the chip until its
// timer runs out, counted from the first byte waiting, or until a USB packet's worth
// of them is waiting. With the timer at zero every byte passes at once.
class LatencyTimer
{
public:
    // 64-byte USB packets, two bytes of which are the chip's status.
    static constexpr qsizetype PacketPayload = 62;
    // The range the chip accepts, in milliseconds (0: no emulation).
    static constexpr int MaxMs = 255;

    explicit LatencyTimer(SimTime timer = SimTime{0}) : m_timer(timer) {}

    void hold(const QByteArray &bytes, SimTime now);
    // Every byte whose packet has gone out by `now`, in order.
    QByteArray takeDue(SimTime now);
    // When the held bytes go out; nothing while none are held.
    std::optional<SimTime> nextWake() const;
    void reset() { m_held.clear(); }

private:
    SimTime m_timer;
    QByteArray m_held;
    SimTime m_firstHeld{};
};

} // namespace kestrava::sim
