#pragma once

#include "sim/program/adapterframes.h"
#include "sim/world/simtime.h"

#include <QByteArray>
#include <QString>

#include <deque>
#include <optional>

namespace kestrava::sim {

// A bus address as the control commands and the view show it: two upper-case hex digits.
QString hexAddress(quint8 address);

// One frame the adapter carried out, with its answer.
struct BusLogEntry
{
    SimTime at{};
    quint8 module = 0;        // the even bus address
    QString kind;             // the module's kind then ("" when nothing was there)
    bool read = false;
    quint8 firstRegister = 0;
    quint8 count = 0;         // bytes wanted by a read, bytes carried by a write
    QByteArray data;          // a write's bytes
    std::optional<QByteArray> answer; // nothing when no module answered
};

// The last frames on the bus for the view, and how many went by in the last second.
class BusLog
{
public:
    static constexpr qsizetype Kept = 20;

    void record(BusLogEntry entry);
    // Oldest first, at most Kept.
    const std::deque<BusLogEntry> &entries() const { return m_entries; }
    // Frames carried out in the second up to `now`.
    int framesPerSecond(SimTime now) const;
    quint64 total() const { return m_total; }

private:
    std::deque<BusLogEntry> m_entries;
    std::deque<SimTime> m_lastSecond;
    quint64 m_total = 0;
};

} // namespace kestrava::sim
