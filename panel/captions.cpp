#include "panel/captions.h"

#include "drive/md23.h"
#include "numbers/numberformat.h"
#include "sensors/cmps03.h"

#include <cmath>

namespace kestrava {

namespace {
constexpr double Pi = 3.1416;
// Computed from the rounded π on purpose: the needle's whole turn is this, not 2π.
constexpr double FullTurn = 360 * Pi / 180;

// The reading's value as the caption's single-precision number, or none for a
// field shown as a whole number.
std::optional<float> singleOf(const Reading &reading)
{
    using namespace md23::fields;
    const Field *key = reading.key;
    if (key == &Encoder1 || key == &Encoder2)
        return captionCount(reading.value);
    if (key == &Battery || key == &Current1 || key == &Current2)
        return captionTenths(reading.value);
    if (key == &cmps03::fields::Bearing)
        return captionBearing(reading.value);
    return std::nullopt;
}
} // namespace

QString captionOf(const Reading &reading)
{
    const std::optional<float> single = singleOf(reading);
    return single ? formatSingle(*single) : QString::number(reading.value);
}

float captionCount(qint64 count)
{
    return float(quint32(count)); // nearest single, ties to even
}

float captionTenths(qint64 tenths)
{
    return float(double(tenths) / 10.0);
}

float captionBearing(qint64 tenths)
{
    return float(tenths) / 10.0f;
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

} // namespace kestrava
