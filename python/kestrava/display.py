"""Whether a window can open: the rule kestrava and kestrava-sim --view follow too (process/display.h)."""

from __future__ import annotations

import os

NO_DISPLAY = ("no display to open a window on: run it in a desktop session, or under xvfb-run "
              "(xvfb-run -a COMMAND) for a test")


def available(environment=os.environ) -> bool:
    """A display named (X11 or Wayland), or a Qt platform chosen by hand (offscreen, for a test)."""
    return any(environment.get(name) for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"))
