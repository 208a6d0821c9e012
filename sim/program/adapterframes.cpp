#include "sim/program/adapterframes.h"

namespace kestrava::sim {

std::optional<BusRequest> FrameParser::push(quint8 byte)
{
    if (m_pending.isEmpty() && byte != FrameStart)
        return std::nullopt;
    m_pending.append(char(byte));
    if (m_pending.size() < HeaderSize || m_pending.size() < expectedLength())
        return std::nullopt;
    return takeRequest();
}

qsizetype FrameParser::expectedLength() const
{
    const bool isRead = quint8(m_pending[1]) & 1;
    return isRead ? HeaderSize : HeaderSize + quint8(m_pending[3]);
}

BusRequest FrameParser::takeRequest()
{
    BusRequest request;
    request.address = quint8(m_pending[1]);
    request.firstRegister = quint8(m_pending[2]);
    request.count = quint8(m_pending[3]);
    if (!request.isRead())
        request.data = m_pending.mid(HeaderSize);
    m_pending.clear();
    return request;
}

} // namespace kestrava::sim
