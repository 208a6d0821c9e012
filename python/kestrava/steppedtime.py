"""The ``time`` module on a stepped simulator's clock.

On a stepped simulator the robot's time stands still while the program computes and moves
on only by its requests and its waits. So that a program written for the real robot runs
unchanged, its ``time.sleep`` then waits on the robot's clock (at once, in real time), and
``time.monotonic``, ``time.perf_counter`` and ``time.time`` (the wall time when the robot
was opened, plus the robot's time since) read it, with their ``_ns`` forms.

Requests go to the robot one at a time from one thread, so only the thread that opened the
robot follows its clock; any other thread keeps the standard functions, and its sleeps take
real time without moving the robot's. With a real robot, or a simulator in real time,
nothing is replaced.
"""

from __future__ import annotations

import threading
import time
from collections.abc import Callable

from .limits import LONGEST_CLOCK_WAIT_S

NAMES = ("sleep", "monotonic", "time", "perf_counter", "monotonic_ns", "time_ns", "perf_counter_ns")
# As the interpreter made them: the package's own answer time-outs stay in real time.
STANDARD = {name: getattr(time, name) for name in NAMES}


class SteppedTime:
    """The robot's clock in the time module, from install() to uninstall()."""

    def __init__(self, now: Callable[[], float], wait: Callable[[float], None]) -> None:
        """`now`: the robot's time in seconds; `wait`: moves it on by so many seconds."""
        self._now = now
        self._wait = wait
        self._owner = threading.get_ident()
        self._wall_at_zero_ns = STANDARD["time_ns"]() - _ns(now())
        self._installed: dict[str, Callable] = {}

    def install(self) -> bool:
        """Puts the robot's clock into the time module; False when another clock is already there."""
        if any(getattr(time, name) is not STANDARD[name] for name in NAMES):
            return False
        self._installed = {
            "sleep": self._owned(self.sleep, "sleep"),
            "monotonic": self._owned(self._now, "monotonic"),
            "perf_counter": self._owned(self._now, "perf_counter"),
            "time": self._owned(lambda: self.time_ns() / 1e9, "time"),
            "monotonic_ns": self._owned(lambda: _ns(self._now()), "monotonic_ns"),
            "perf_counter_ns": self._owned(lambda: _ns(self._now()), "perf_counter_ns"),
            "time_ns": self._owned(self.time_ns, "time_ns"),
        }
        for name, function in self._installed.items():
            setattr(time, name, function)
        return True

    def uninstall(self) -> None:
        """The standard functions again, where ours still stand."""
        for name, function in self._installed.items():
            if getattr(time, name) is function:
                setattr(time, name, STANDARD[name])
        self._installed = {}

    def sleep(self, seconds: float) -> None:
        seconds = float(seconds)
        if seconds != seconds:  # NaN, as the standard sleep refuses it
            raise ValueError("Invalid value NaN (not a number)")
        if seconds < 0:
            raise ValueError("sleep length must be non-negative")
        while seconds > 0:
            part = min(seconds, LONGEST_CLOCK_WAIT_S)
            self._wait(part)
            seconds -= part

    def time_ns(self) -> int:
        return self._wall_at_zero_ns + _ns(self._now())

    def _owned(self, function: Callable, name: str) -> Callable:
        """`function` in the thread that opened the robot, the standard one in any other."""
        standard = STANDARD[name]
        owner = self._owner

        def follows_robot(*args):
            if threading.get_ident() != owner:
                return standard(*args)
            return function(*args)
        follows_robot.__name__ = name
        follows_robot.__doc__ = f"time.{name} on the robot's stepped clock (kestrava)."
        return follows_robot


def _ns(seconds: float) -> int:
    return round(seconds * 1_000_000_000)
