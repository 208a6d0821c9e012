"""The simulator's control answers read into typed values: the package's one reader of them.

A program asks the simulator with ``json COMMAND`` and gets one line back, a JSON object:
``{"ok": true, ...}`` with the answer's values, or ``{"ok": false, "error": REASON}``.
:func:`answer` reads that line; the other functions read its values into types, and raise
:class:`ValueError` on anything the simulator would not have said.
"""

from __future__ import annotations

import json
from dataclasses import dataclass
from typing import Literal


@dataclass(frozen=True)
class RunAnswer:
    """``run`` (and ``end``): the state, the run's clock in seconds and its contacts."""

    state: Literal["not started", "running", "finished", "ended"]
    time: float
    contacts: int


@dataclass(frozen=True)
class PathPoint:
    """One point of ``path``: seconds into the run, where the robot was, the fan, a contact begun."""

    t: float
    x: float
    y: float
    heading: float
    fan: bool
    contact: bool


@dataclass(frozen=True)
class WorldAnswer:
    """``world``: the arena, the robot's pose, the candle, walls and boxes (cm, degrees)."""

    name: str
    width: float
    height: float
    robot: tuple[float, float, float]
    candle: tuple[float, float]
    candle_lit: bool
    walls: list[tuple[float, float, float, float]]
    boxes: list[tuple[float, float, float, float]]
    fan_relay: int = 1


@dataclass(frozen=True)
class RegistersAnswer:
    """``get``: the registers' bytes and, on the motor controller, whether its speed registers
    hold the stop of its mode (as the simulated controller works it out)."""

    values: list[int]
    wheels_at_stop: bool | None


RUN_STATES = ("not started", "running", "finished", "ended")


def asking(command: str) -> str:
    """The line that asks for ``command``'s answer as JSON."""
    return "json " + command


def read_answer(stream) -> dict:
    """One command's answer from the simulator's standard output, its one JSON line, as :func:`answer`
    reads it. Raises EOFError when the simulator ends first."""
    line = stream.readline()
    if not line:
        raise EOFError("the simulator ended during its answer")
    return answer(line)


def answer(line: str) -> dict:
    """The values of an answer carried out; :class:`ValueError` with the simulator's reason otherwise."""
    try:
        values = json.loads(line)
    except ValueError:
        raise ValueError(f"not an answer of the simulator: {line!r}") from None
    if not isinstance(values, dict) or not isinstance(values.get("ok"), bool):
        raise ValueError(f"not an answer of the simulator: {line!r}")
    if not values["ok"]:
        raise ValueError(str(values.get("error", "refused")))
    return values


def _numbers(values, count: int) -> tuple:
    if not isinstance(values, list) or len(values) != count or not all(
            isinstance(v, (int, float)) and not isinstance(v, bool) for v in values):
        raise ValueError(f"expected {count} numbers, not {values!r}")
    return tuple(float(v) for v in values)


def _members(values: dict, *names: str) -> tuple:
    try:
        return _numbers([values[name] for name in names], len(names))
    except (KeyError, TypeError):
        raise ValueError(f"expected {', '.join(names)} in {values!r}") from None


def run(values: dict) -> RunAnswer:
    """``{"state": "running", "time": 12.3, "contacts": 1}``."""
    if values.get("state") not in RUN_STATES:
        raise ValueError(f"no such state of a run: {values.get('state')!r}")
    time, contacts = _members(values, "time", "contacts")
    return RunAnswer(values["state"], time, int(contacts))


def clock(values: dict) -> tuple[str, float]:
    """``{"clock": "stepped", "time": 12.3, ...}``: the simulator's clock and its time in seconds."""
    if values.get("clock") not in ("stepped", "real"):
        raise ValueError(f"no such clock: {values.get('clock')!r}")
    time, = _members(values, "time")
    return values["clock"], time


def points(values: list) -> list[PathPoint]:
    """``path``'s points, each ``{"t", "x", "y", "heading", "fan", "contact"}``."""
    if not isinstance(values, list):
        raise ValueError(f"expected a list of points, not {values!r}")
    read = []
    for point in values:
        if not isinstance(point, dict) or not all(isinstance(point.get(k), bool) for k in ("fan", "contact")):
            raise ValueError(f"not a point of the path: {point!r}")
        read.append(PathPoint(*_members(point, "t", "x", "y", "heading"), point["fan"], point["contact"]))
    return read


def path(values: dict) -> list[PathPoint]:
    """``{"points": [...]}``."""
    return points(values.get("points"))


def world(values: dict) -> WorldAnswer:
    """``{"arena": {"name", "width", "height", "fan_relay"}, "robot": {"x", "y", "heading"}, "candle": {"x", "y", "lit"},
    "walls": [[x1, y1, x2, y2]...], "obstacles": [[x, y, w, h]...]}``."""
    try:
        arena, robot, candle = values["arena"], values["robot"], values["candle"]
        return WorldAnswer(str(arena["name"]), *_members(arena, "width", "height"),
                           _members(robot, "x", "y", "heading"), _members(candle, "x", "y"), bool(candle["lit"]),
                           [_numbers(wall, 4) for wall in values["walls"]],
                           [_numbers(box, 4) for box in values["obstacles"]], int(_members(arena, "fan_relay")[0]))
    except (KeyError, TypeError):
        raise ValueError("the world's answer lacks the arena, the robot or the candle") from None


def registers(values: dict) -> RegistersAnswer:
    """``{"bytes": [128, 128], "wheels_at_stop": true}`` (the last on the motor controller only)."""
    raw = values.get("bytes")
    if not isinstance(raw, list) or not all(isinstance(b, int) and 0 <= b <= 255 for b in raw):
        raise ValueError(f"expected the registers' bytes, not {raw!r}")
    at_stop = values.get("wheels_at_stop")
    return RegistersAnswer(raw, at_stop if isinstance(at_stop, bool) else None)
