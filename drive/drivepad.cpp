#include "drive/drivepad.h"

#include <cmath>

namespace kestrava {

namespace {

constexpr int TwipsPerPixel = 15;
constexpr float ReferenceLineY = 3825.0f; // 255 pixels: vertical pixels count up from here
constexpr int Centre = 128;
constexpr int ScaleDivisor = 3;
constexpr int DeadBandLow = 121;
constexpr int DeadBandHigh = 135;
constexpr int UpperLimit = 255;
// Far beyond any screen; keeps the conversion to a whole number defined.
constexpr double FarthestTwips = 1.0e9;

} // namespace

PadSpeeds padSpeeds(float xTwips, float yTwips)
{
    return {padValue(padPixel(yTwips - ReferenceLineY)), padValue(padPixel(xTwips))};
}

int padPixel(float distanceTwips)
{
    const double distance = std::fabs(double(distanceTwips));
    // Not-a-number counts as far outside, like an infinite distance.
    const double bounded = distance < FarthestTwips ? distance : FarthestTwips;
    return int(std::nearbyint(bounded)) / TwipsPerPixel; // nearest, ties to even
}

quint8 padValue(int pixel)
{
    const int value = (pixel - Centre) / ScaleDivisor + Centre; // truncates toward zero
    if (value >= DeadBandLow && value <= DeadBandHigh)
        return Centre;
    return quint8(qMin(value, UpperLimit));
}

} // namespace kestrava
