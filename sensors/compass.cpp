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
    const std::optional<quint8> version = readByte(VersionRegister);
    if (!version)
        return;
    m_context.control<QLabel>(QStringLiteral("LblVersionCMPS03")).setText(QString::number(*version));
    const std::optional<quint8> high = readByte(BearingHighRegister);
    const std::optional<quint8> low = high ? readByte(BearingLowRegister) : std::nullopt;
    if (!low)
        return;
    const float bearing = bearingFromWord(*high, *low);
    m_context.control<QLabel>(QStringLiteral("LblBrujula")).setText(formatSingle(bearing));

    auto &picture = m_context.control<CompassPicture>(QStringLiteral("Picture1"));
    picture.clearDrawing();
    picture.drawNeedle(needleAngle(bearing));
}

// One single-byte read; after a time-out the byte is whatever the last reply left,
// and nothing when the frame could not be sent.
std::optional<quint8> Compass::readByte(quint8 reg)
{
    if (m_context.engine.readRegisters(Address, reg, 1) == Outcome::NotSent)
        return std::nullopt;
    return m_context.engine.reply(0);
}

} // namespace kestrava
