#pragma once

#include "md23.h"
#include "transactionengine.h"

namespace kestrava {

// One register of the MD23 written once (the setting buttons).
Outcome writeSetting(TransactionEngine &engine, md23::SettingButton setting);

// Drive, wait the move's ticks, stop. Once the drive frame is out, the stop frame
// always follows, whatever became of the drive frame's answer. With the port
// closed nothing is sent and nothing is waited for.
void runTimedMove(TransactionEngine &engine, quint8 reg, md23::TimedMove move);

// Speed 1 then speed 2 (or turn); a first frame that cannot go out ends it.
Outcome driveMotors(TransactionEngine &engine, quint8 speed1, quint8 speed2);
// Both registers to 128.
Outcome stopMotors(TransactionEngine &engine);

} // namespace kestrava
