#pragma once

#include "link/reading.h"

namespace kestrava {

// "Leer Datos": the two encoder counts, battery voltage, version and motor
// currents of the MD23, one register read at a time, each handed to `sink` as
// soon as its value is complete (module "md23"; fields encoder1, encoder2,
// battery, version, current1, current2).
Outcome readTelemetry(TransactionEngine &engine, const ReadingSink &sink);
// The same fields from one 12-byte read of registers 2 to 13, so that the encoder
// counts are latched once and their four bytes agree; the counts are the
// controller's signed 32-bit numbers, exact, not the window's captions.
Outcome readTelemetryAtOnce(InStepLink &link, const ReadingSink &sink);

// An encoder count as the window's caption shows it: its four register bytes,
// most significant first, taken unsigned and held in single precision (exact up
// to 16777216, 24 bits beyond).
float encoderCount(quint8 b0, quint8 b1, quint8 b2, quint8 b3);

// Battery voltage and motor currents: the byte in tenths, divided in double
// precision and then held in single precision.
float tenths(quint8 byte);

} // namespace kestrava
