#pragma once

#include "link/reading.h"

namespace kestrava {

// The window's captions of the modules' values. The window shows its readings as
// it always has, in single precision, so they are made here, apart from the
// values the modules mean, which the command line and the server show exactly.

// A reading's caption: whole numbers in decimal digits; counts, volts, amperes
// and the bearing as single-precision numbers (formatSingle, the user's locale).
QString captionOf(const Reading &reading);

// An encoder count as the caption holds it: the controller's 32 bits taken
// unsigned and held in single precision (exact up to 16777216, 24 bits beyond).
float captionCount(qint64 count);
// Battery voltage and motor currents: the tenths divided in double precision,
// then held in single precision.
float captionTenths(qint64 tenths);
// The bearing in degrees: the word divided by ten in single precision.
float captionBearing(qint64 tenths);

// The needle's angle in radians, counterclockwise from 3 o'clock: 90° − bearing,
// brought into [0, 6.2832]. Single precision throughout, with π taken as 3.1416,
// so that every bearing word, however wrong, gives a drawable angle.
float needleAngle(float bearing);

} // namespace kestrava
