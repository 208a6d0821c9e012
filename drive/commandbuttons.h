#pragma once

#include "md23.h"

namespace kestrava {
struct ModuleContext;
class TransactionEngine;

// The twelve setting buttons and the two arrays of timed moves of the MD23 frame.
void installCommandButtons(const ModuleContext &context);

// Drive, wait the move's ticks, stop. Once the drive frame is out, the stop frame
// always follows, whatever became of the drive frame's answer. With the port
// closed nothing is sent and nothing is waited for.
void runTimedMove(TransactionEngine &engine, quint8 reg, md23::TimedMove move);

} // namespace kestrava
