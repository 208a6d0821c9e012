#pragma once

#include <QtGlobal>

namespace kestrava {

// The drive pad's arithmetic: a left-button drag steers (the pointer's height
// sets speed 1, its horizontal place the turn).

// The two values a pad position sends.
struct PadSpeeds
{
    quint8 speed; // vy, register 0, shown in Label9
    quint8 turn;  // vx, register 1, shown in Label10
};

// Pointer in twips from the pad's top-left corner, also far outside the pad.
PadSpeeds padSpeeds(float xTwips, float yTwips);

// Pixel from a distance in twips: |distance| rounded to whole twips (ties to
// even), 15 twips to a pixel.
int padPixel(float distanceTwips);

// (pixel - 128) / 3 truncated toward zero, + 128; 121..135 becomes 128, and
// anything above 255 is held at 255.
quint8 padValue(int pixel);

} // namespace kestrava
