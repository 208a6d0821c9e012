#pragma once

#include <QString>

namespace kestrava::process {

// The exit status of a program with windows (kestrava, kestrava-sim --view) started where no
// window can open: over ssh, in a container, on a console. Qt would otherwise abort (134)
// with advice to reinstall.
inline constexpr int NoDisplayStatus = 4;

// Whether a window can open: a display named (DISPLAY for X11, WAYLAND_DISPLAY), or a Qt
// platform chosen that needs none (QT_QPA_PLATFORM=offscreen, as the tests run). The judge's
// --view follows the same rule (python/kestrava/display.py).
bool displayAvailable();

// One line saying so and naming a way: a desktop session, or xvfb-run for a test.
QString noDisplayMessage();

} // namespace kestrava::process
