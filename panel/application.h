#pragma once

namespace kestrava {

// The kestrava program: options (--trace, --simulate, --quit-after), the window and
// its event loop. Returns the exit code.
int runKestrava(int argc, char *argv[]);

} // namespace kestrava
