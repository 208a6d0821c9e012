#include "sensors/compass.h"

#include "sensors/cmps03.h"
#include "numbers/numberformat.h"

#include <cmath>

namespace kestrava {

namespace {
constexpr double Pi = 3.1416;
// Computed from the rounded π on purpose: the needle's whole turn is this, not 2π.
constexpr double FullTurn = 360 * Pi / 180;

double bearingValue(const std::vector<quint8> &b)
{
    return bearingFromWord(b[0], b[1]);
}

QString bearingCaption(double value)
{
    return formatSingle(float(value));
}

const std::vector<FieldRead> &readOut()
{
    using namespace cmps03;
    static const std::vector<FieldRead> fields{
        {&fields::Version, -1, {Version}, firstByte, wholeCaption},
        {&fields::Bearing, -1, {BearingHigh, BearingLow}, bearingValue, bearingCaption},
    };
    return fields;
}
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

Outcome readCompass(TransactionEngine &engine, const ReadingSink &sink)
{
    // The needle follows the bearing, whatever became of its reads, as the caption does.
    const auto withNeedle = [&sink](const Reading &reading) {
        sink(reading);
        if (reading.key != &cmps03::fields::Bearing)
            return;
        Reading needle = reading;
        needle.key = &cmps03::fields::Needle;
        needle.field = QLatin1String(cmps03::fields::Needle.name);
        needle.value = needleAngle(float(reading.value));
        needle.shown.clear();
        sink(needle);
    };
    return readFields(engine, cmps03::Address, readOut(), withNeedle);
}

Outcome readCompassAtOnce(InStepLink &link, const ReadingSink &sink)
{
    return readFieldsAtOnce(link, cmps03::Address, readOut(), sink);
}

} // namespace kestrava
