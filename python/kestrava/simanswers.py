"""The simulator's control answers read into typed values: the package's one reader of its prose.

Each function takes the answer's lines as the simulator wrote them, the last ``ok ...`` or
``error: ...``, and raises :class:`ValueError` on anything else.
"""

from __future__ import annotations

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


def read_answer(stream) -> list[str]:
    """One command's whole answer from the simulator's standard output: lines up to the one that starts
    ``ok`` or ``error:``. Raises EOFError when the simulator ends first."""
    lines: list[str] = []
    while not lines or not lines[-1].startswith(("ok", "error:")):
        read = stream.readline()
        if not read:
            raise EOFError("the simulator ended during its answer")
        lines.append(read.rstrip("\n"))
    return lines


def registers(lines: list[str]) -> list[int]:
    """``get``'s ``ok 80 80``: the registers' bytes, in order."""
    try:
        return [int(byte, 16) for byte in _ok(lines).split()]
    except ValueError:
        raise ValueError(f"not a register's bytes: {lines[-1]!r}") from None


def _ok(lines: list[str]) -> str:
    if not lines or not lines[-1].startswith("ok"):
        raise ValueError(lines[-1] if lines else "no answer")
    return lines[-1][2:].strip()


def _after(words: list[str], key: str, default: str = "0") -> str:
    return words[words.index(key) + 1] if key in words else default


def run(lines: list[str]) -> RunAnswer:
    """``ok time 41.2 contacts 2 candle out``, ``ok running time 12.3 contacts 1``,
    ``ok ended time 9.0 contacts 0`` or ``ok not started``."""
    words = _ok(lines).split()
    state = ("finished" if words[-1:] == ["out"] else "running" if "running" in words
             else "ended" if "ended" in words else "not started")
    return RunAnswer(state, float(_after(words, "time")), int(_after(words, "contacts")))


def path(lines: list[str]) -> list[PathPoint]:
    """Lines ``t 1.2 x 30.0 y 125.0 heading 90.0 [fan] [contact]``, then ``ok N points``."""
    _ok(lines)
    points = []
    for line in lines[:-1]:
        words = line.split()
        points.append(PathPoint(float(_after(words, "t")), float(_after(words, "x")), float(_after(words, "y")),
                                float(_after(words, "heading")), "fan" in words, "contact" in words))
    return points


def world(lines: list[str]) -> WorldAnswer:
    """The lines of ``world``: ``arena house, 250 x 250 cm, fan on relay 1``, ``robot at X Y heading H``,
    ``candle at X Y, lit``, ``wall N from X1 Y1 to X2 Y2``, ``obstacle N at X Y size W x H``."""
    _ok(lines)
    found: dict = {"walls": [], "boxes": []}
    for line in lines[:-1]:
        words = line.replace(",", " ").split()
        if words[0] == "arena":
            found["name"] = line[len("arena "):].rsplit(",", 2)[0]
            found["width"], found["height"] = float(words[-8]), float(words[-6])
            found["fan_relay"] = int(words[-1])
        elif words[0] == "robot":
            found["robot"] = (float(words[2]), float(words[3]), float(words[5]))
        elif words[0] == "candle":
            found["candle"], found["candle_lit"] = (float(words[2]), float(words[3])), words[4] == "lit"
        elif words[0] == "wall":
            found["walls"].append((float(words[3]), float(words[4]), float(words[6]), float(words[7])))
        elif words[0] == "obstacle":
            found["boxes"].append((float(words[3]), float(words[4]), float(words[6]), float(words[8])))
    try:
        return WorldAnswer(**found)
    except TypeError:
        raise ValueError("the world's answer lacks the arena, the robot or the candle") from None
