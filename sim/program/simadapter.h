#pragma once

#include "sim/program/adapterframes.h"
#include "sim/world/simtime.h"

#include <QByteArray>

#include <deque>
#include <optional>

namespace kestrava::sim {

class SimBus;

// The USB-to-I2C adapter between the line and the bus. Bytes come in with the time
// they reached the simulator; answers go out when their time has come. With a byte
// time above zero every byte takes that long on the wire in each direction. The
// adapter handles one frame at a time, so answers keep the order of their frames
// even when a module delays its answer.
class SimAdapter
{
public:
    // Frames beyond this many waiting their turn are dropped, as a full input
    // buffer of a real adapter drops them; memory stays bounded however fast the
    // line sends.
    static constexpr qsizetype MaxWaitingFrames = 64;

    SimAdapter(SimBus &bus, SimTime byteTime);

    void receive(QByteArrayView bytes, SimTime now);
    // Carries out the frames whose turn has come and returns the answer bytes whose
    // wire time has passed by `now`.
    QByteArray takeDue(SimTime now);
    // When takeDue has something to do next; nothing while the adapter is idle.
    std::optional<SimTime> nextWake() const;
    // The line was dropped: partial frames, waiting frames and unsent answers go.
    void reset();

    qsizetype waitingFrames() const { return qsizetype(m_frames.size()); }
    qsizetype droppedFrames() const { return m_droppedFrames; }

private:
    struct WaitingFrame
    {
        BusRequest request;
        SimTime complete; // when its last byte has crossed the wire
    };
    struct OutgoingByte
    {
        char byte;
        SimTime due;
    };

    SimTime startOf(const WaitingFrame &frame) const;
    void carryOut(const WaitingFrame &frame);

    SimBus &m_bus;
    SimTime m_byteTime;
    FrameParser m_parser;
    SimTime m_inboundFreeAt{};
    SimTime m_busyUntil{};
    std::deque<WaitingFrame> m_frames;
    std::deque<OutgoingByte> m_output;
    qsizetype m_droppedFrames = 0;
};

} // namespace kestrava::sim
