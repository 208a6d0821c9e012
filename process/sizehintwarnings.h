#pragma once

namespace kestrava::process {

// Drops the one warning that platforms without a window manager, such as the
// offscreen one of headless runs and tests, print for every window that has a
// fixed or limited size. Every other message goes where it went before.
void dropSizeHintWarnings();

} // namespace kestrava::process
