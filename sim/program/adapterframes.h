#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace kestrava::sim {

inline constexpr quint8 FrameStart = 0x55;

// One frame as the adapter takes it off the line.
struct BusRequest
{
    quint8 address = 0; // as sent: even to write, odd to read
    quint8 firstRegister = 0;
    quint8 count = 0;   // data bytes that follow a write, bytes wanted by a read
    QByteArray data;    // a write's data bytes

    bool isRead() const { return address & 1; }
    quint8 moduleAddress() const { return address & 0xFE; }
};

// Splits the bytes arriving from the line into frames, one byte at a time, so a
// frame may arrive in any number of pieces. Bytes that cannot start a frame are
// skipped, as a resynchronising adapter skips them. At most one frame (259 bytes)
// is ever held, whatever the line sends.
class FrameParser
{
public:
    static constexpr qsizetype HeaderSize = 4;
    static constexpr qsizetype LongestFrame = HeaderSize + 255;

    std::optional<BusRequest> push(quint8 byte);
    qsizetype pendingSize() const { return m_pending.size(); }
    void clear() { m_pending.clear(); }

private:
    qsizetype expectedLength() const;
    BusRequest takeRequest();

    QByteArray m_pending;
};

} // namespace kestrava::sim
