#pragma once

namespace kestrava::cli {

// Exit statuses.
enum Status { AllAnswered = 0, NoAnswer = 1, Usage = 2, PortNotOpened = 3, DeviceLost = 4 };

// The kestrava-cli program. Returns its exit status.
int runCli(int argc, char *argv[]);

} // namespace kestrava::cli
