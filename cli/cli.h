#pragma once

#include "cli/limits.h"

namespace kestrava::cli {

// The kestrava-cli program. Returns its exit status (a Status).
int runCli(int argc, char *argv[]);

} // namespace kestrava::cli
