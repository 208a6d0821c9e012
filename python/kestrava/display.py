"""Whether a window can open: the rule kestrava and kestrava-sim --view follow too (process/display.h)."""

from __future__ import annotations

import os

NO_DISPLAY = ("no display to open a window on: run it in a desktop session, or under xvfb-run "
              "(xvfb-run -a COMMAND) for a test")


def available(environment=os.environ) -> bool:
    """A display named (X11's DISPLAY, WAYLAND_DISPLAY), or a Qt platform chosen that needs none (offscreen)."""
    platform = environment.get("QT_QPA_PLATFORM", "")
    if platform and not platform.startswith(("xcb", "wayland")):
        return True
    return bool(environment.get("DISPLAY") or environment.get("WAYLAND_DISPLAY"))
