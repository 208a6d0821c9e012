#include "sim/program/simadapter.h"

#include "sim/program/simbus.h"

#include <algorithm>

namespace kestrava::sim {

SimAdapter::SimAdapter(SimBus &bus, SimTime byteTime)
    : m_bus(bus)
    , m_byteTime(byteTime)
{
}

void SimAdapter::receive(QByteArrayView bytes, SimTime now)
{
    for (const char byte : bytes) {
        m_inboundFreeAt = std::max(m_inboundFreeAt, now) + m_byteTime;
        std::optional<BusRequest> request = m_parser.push(quint8(byte));
        if (!request)
            continue;
        if (waitingFrames() >= MaxWaitingFrames) {
            ++m_droppedFrames;
            continue;
        }
        m_frames.push_back({std::move(*request), m_inboundFreeAt});
    }
}

QByteArray SimAdapter::takeDue(SimTime now)
{
    while (!m_frames.empty() && startOf(m_frames.front()) <= now) {
        const WaitingFrame frame = std::move(m_frames.front());
        m_frames.pop_front();
        carryOut(frame);
    }
    QByteArray due;
    while (!m_output.empty() && m_output.front().due <= now) {
        due.append(m_output.front().byte);
        m_output.pop_front();
    }
    return due;
}

std::optional<SimTime> SimAdapter::nextWake() const
{
    std::optional<SimTime> wake;
    if (!m_output.empty())
        wake = m_output.front().due;
    if (!m_frames.empty()) {
        const SimTime start = startOf(m_frames.front());
        wake = wake ? std::min(*wake, start) : start;
    }
    return wake;
}

void SimAdapter::reset()
{
    m_parser.clear();
    m_frames.clear();
    m_output.clear();
    m_inboundFreeAt = m_busyUntil = SimTime{};
}

SimTime SimAdapter::startOf(const WaitingFrame &frame) const
{
    return std::max(frame.complete, m_busyUntil);
}

void SimAdapter::carryOut(const WaitingFrame &frame)
{
    const SimTime start = startOf(frame);
    m_busyUntil = start;
    const std::optional<BusAnswer> answer = m_bus.carryOut(frame.request, start);
    if (!answer)
        return;
    SimTime due = start + answer->delay;
    for (const char byte : answer->bytes) {
        due += m_byteTime;
        m_output.push_back({byte, due});
    }
    m_busyUntil = due;
}

} // namespace kestrava::sim
