#include "sim/program/controllines.h"

namespace kestrava::sim {

std::vector<ControlLine> ControlLines::take(QByteArrayView bytes)
{
    std::vector<ControlLine> lines;
    for (const char byte : bytes) {
        if (byte != '\n') {
            if (m_pending.size() < MaxLine)
                m_pending.append(byte);
            else
                m_tooLong = true;
            continue;
        }
        lines.push_back(m_tooLong ? ControlLine{{}, true} : ControlLine{QString::fromUtf8(m_pending), false});
        m_pending.clear();
        m_tooLong = false;
    }
    return lines;
}

QString ControlLines::tooLongAnswer()
{
    return QStringLiteral("error: line longer than %1 characters").arg(MaxLine);
}

} // namespace kestrava::sim
