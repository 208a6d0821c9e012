#pragma once

#include "link/reading.h"

namespace kestrava {

// The CMPS03 bearing word counts tenths of a degree, clockwise from north.
float bearingFromWord(quint8 high, quint8 low);

// The needle's angle in radians, counterclockwise from 3 o'clock: 90° − bearing,
// brought into [0, 6.2832]. Single precision throughout, with π taken as 3.1416,
// so that every bearing word, however wrong, gives a drawable angle.
float needleAngle(float bearing);

// CmdBrujula: the compass's version, its bearing in degrees and the needle's
// angle (module "cmps03"; fields version, bearing, needle, the needle with no caption).
Outcome readCompass(TransactionEngine &engine, const ReadingSink &sink);
// The version and the bearing from one read of registers 0 to 3 (no needle).
Outcome readCompassAtOnce(InStepLink &link, const ReadingSink &sink);

} // namespace kestrava
