#pragma once

#include "actuators/lcd03.h"
#include "actuators/sd21.h"
#include "drive/md23.h"

// The bounds, defaults and statuses the command line and its server both hold to, each
// written once. The server tells them in hello's "limits" and "codes", so that the
// Python package's own copies are checked against these (tests/python/test_robot.py).
namespace kestrava::cli {

// Exit statuses; the server's errors use the same numbers as codes.
enum Status { AllAnswered = 0, NoAnswer = 1, Usage = 2, PortNotOpened = 3, DeviceLost = 4 };

inline constexpr int DefaultWatchdogMs = 1000;
inline constexpr int LongestWaitMs = 60000; // --timeout and --watchdog
inline constexpr int LongestClockWaitSeconds = 86400; // the server's wait: a day
inline constexpr int MaxDriveMs = 10000;
inline constexpr int MaxWheelStep = md23::FullestStep; // a wheel's speed, steps either side of the stop
inline constexpr int MinServoPosition = 500;
inline constexpr int MaxServoPosition = 2500;
inline constexpr int ServoCount = sd21::ServoCount;
inline constexpr int MaxReadCount = 255; // registers read, or bytes written, in one frame
inline constexpr int MaxTextLength = int(lcd03::TextLimit);
inline constexpr int DumpRowLength = 16; // dump's registers a line, and its count when none is given

} // namespace kestrava::cli
