#pragma once

#include "modulecontext.h"

#include <QObject>

#include <optional>

namespace kestrava {

// The CMPS03 bearing word counts tenths of a degree, clockwise from north.
float bearingFromWord(quint8 high, quint8 low);

// The needle's angle in radians, counterclockwise from 3 o'clock: 90° − bearing,
// brought into [0, 6.2832]. Single precision throughout, with π taken as 3.1416,
// so that every bearing word, however wrong, gives a drawable angle.
float needleAngle(float bearing);

// CmdBrujula: reads the compass version and bearing, shows them and draws the needle.
class Compass : public QObject
{
    Q_OBJECT
public:
    static constexpr quint8 Address = 0xC0;

    explicit Compass(const ModuleContext &context);
    void CmdBrujula_Click();

private:
    std::optional<quint8> readByte(quint8 reg);

    ModuleContext m_context;
};

} // namespace kestrava
