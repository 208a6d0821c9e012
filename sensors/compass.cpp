#include "compass.h"

#include "compasspicture.h"
#include "numberformat.h"

#include <QLabel>

#include <cmath>

namespace kestrava {

namespace {
constexpr quint8 VersionRegister = 0;
constexpr quint8 BearingHighRegister = 2;
constexpr quint8 BearingLowRegister = 3;

constexpr double Pi = 3.1416;
// Computed from the rounded π on purpose: the needle's whole turn is this, not 2π.
constexpr double FullTurn = 360 * Pi / 180;
} // namespace

float bearingFromWord(quint8 high, quint8 low)
{
    return float(high * 256 + low) / 10.0f;
}

float needleAngle(float bearing)
{
    const float fromEast = bearing - 90.0f;
    float angle = float(std::fabs(double(fromEast) - 360) * Pi / 180);
    // At most 17 passes: the largest word, 65535, gives about 106.5 radians.
    while (double(angle) > FullTurn)
        angle = float(double(angle) - FullTurn);
    return angle;
}

Compass::Compass(const ModuleContext &context)
    : QObject(&context.panel)
    , m_context(context)
{
}

void Compass::CmdBrujula_Click()
{
    m_context.control<QLabel>(QStringLiteral("LblVersionCMPS03"))
        .setText(QString::number(readByte(VersionRegister)));
    const quint8 high = readByte(BearingHighRegister);
    const quint8 low = readByte(BearingLowRegister);
    const float bearing = bearingFromWord(high, low);
    m_context.control<QLabel>(QStringLiteral("LblBrujula")).setText(formatSingle(bearing));

    auto &picture = m_context.control<CompassPicture>(QStringLiteral("Picture1"));
    picture.clearDrawing();
    picture.drawNeedle(needleAngle(bearing));
}

// One single-byte read; after a time-out the byte is whatever the last reply left.
quint8 Compass::readByte(quint8 reg)
{
    m_context.engine.readRegisters(Address, reg, 1);
    return m_context.engine.reply(0);
}

} // namespace kestrava
