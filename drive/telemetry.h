#pragma once

#include "link/reading.h"

namespace kestrava {

// "Leer Datos": the two encoder counts, battery voltage, version and motor
// currents of the MD23, one register read at a time, each handed to `sink` as
// soon as its value is complete (module "md23"; fields encoder1, encoder2,
// battery, version, current1, current2).
Outcome readTelemetry(TransactionEngine &engine, const ReadingSink &sink);
// The same fields from one 12-byte read of registers 2 to 13, so that the encoder
// counts are latched once and their four bytes agree.
Outcome readTelemetryAtOnce(InStepLink &link, const ReadingSink &sink);

} // namespace kestrava
