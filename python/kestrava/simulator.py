"""The simulated robot's own account: its run, its pose, and where it stands."""

from __future__ import annotations

from dataclasses import dataclass
from pathlib import Path
from typing import Literal

from . import simanswers
from ._server import Server
from .simanswers import PathPoint

REPLY_SECONDS = 10.0


@dataclass(frozen=True)
class Run:
    """The run at putting the candle out, as the simulator times it.

    ``state`` is ``"not started"`` (the clock starts with the first motor command),
    ``"running"``, ``"ended"`` (ended by hand, ``kestrava-cli sim end``: its clock stopped)
    or ``"finished"`` (the candle is out). ``time`` is in seconds.
    """

    time: float
    contacts: int
    candle_out: bool
    state: Literal["not started", "running", "ended", "finished"]


@dataclass(frozen=True)
class Pose:
    """Where the robot is: cm from the arena's south-west corner, heading in degrees (0 north, 90 east)."""

    x: float
    y: float
    heading: float


class Simulator:
    """The simulator behind a simulated robot, as ``robot.simulator``.

    Every call asks the simulator itself, through ``kestrava-cli serve``. During a
    judged trial (``kestrava-judge``) only :meth:`run` and :meth:`path` are allowed; the others raise
    :class:`kestrava.KestravaError` saying so.
    """

    def __init__(self, server: Server) -> None:
        self._server = server

    def run(self) -> Run:
        """The run so far: time, contacts, whether the candle is out, and its state."""
        reply = self._call("run")
        return Run(float(reply["time"]), int(reply["contacts"]), bool(reply["candle_out"]), str(reply["state"]))

    def start(self) -> None:
        """Puts the robot back at its start, lights the candle again and readies a new run."""
        self._call("start")

    def arena(self, name_or_file: str | Path) -> None:
        """Loads a bundled arena (``"open"``, ``"house"``, ``"corridor"``) or an arena file."""
        self._call("arena", {"arena": str(name_or_file)})

    def candle(self, x: float, y: float) -> None:
        """Puts a new, lit candle at x, y cm."""
        for name, value in (("x", x), ("y", y)):
            if isinstance(value, bool) or not isinstance(value, (int, float)):
                raise ValueError(f"{name} must be a number of centimetres, not {value!r}")
        self._call("candle", {"x": x, "y": y})

    def pose(self) -> Pose:
        """Where the robot is now."""
        reply = self._call("pose")
        return Pose(float(reply["x"]), float(reply["y"]), float(reply["heading"]))

    def path(self) -> list[PathPoint]:
        """The run's path so far: a :class:`PathPoint` every 0.1 s (t, x, y, heading, fan, contact), and at
        each contact and fan switch; a long run keeps every other point."""
        return simanswers.points(self._call("path").get("points"))

    def _call(self, method: str, params: dict | None = None) -> dict:
        return self._server.call("simulator." + method, params, REPLY_SECONDS)
