"""kestrava-judge's trials as data, their scores and the programs' ranking; the one place the score rule is
written."""

from __future__ import annotations

import enum
import statistics
from dataclasses import dataclass, field

from .simanswers import PathPoint


class Result(enum.Enum):
    """How a trial ended; the value is what the table, the CSV and the JSON show."""

    CANDLE_OUT = "candle out"
    TIME_LIMIT = "time limit"
    CRASHED = "crashed"
    ENDED = "ended"


@dataclass(kw_only=True)
class Trial:
    program: str
    seed: int
    candle: list[float]
    result: Result
    time: float             # seconds: the run's time when the candle went out, the limit, else the program's
    contacts: int
    motors_stopped: bool    # the motor controller's speed registers hold its mode's stop
    status: int | None = None   # the program's exit status, when it ended by itself
    error: str = ""         # a crash's last line of standard error
    output: list[str] = field(default_factory=list)  # its last lines, standard output and error
    pose: list[float] = field(default_factory=list)  # where the robot ended: x, y, heading
    closest: float | None = None  # its centre's closest approach to the candle, cm
    fan_seconds: float = 0.0      # how long the fan's relay was on during the run
    path: list[PathPoint] = field(default_factory=list, repr=False)  # for --report

    @property
    def put_out(self) -> bool:
        return self.result is Result.CANDLE_OUT

    def reason(self, status: str = "status") -> str:
        """Why a program that did not put the candle out ended: its status, and its error or last line."""
        if self.result not in (Result.CRASHED, Result.ENDED):
            return ""
        said = self.error if self.result is Result.CRASHED else self.output[-1] if self.output else ""
        return f"{status} {self.status}" + (f": {said}" if said else "")


@dataclass
class Standing:
    rank: int
    program: str
    trials: int
    out: int
    score: float
    median: float | None
    contacts: int


def plural(count: int, noun: str) -> str:
    return f"{count} {noun}" if count == 1 else f"{count} {noun}s"


@dataclass(frozen=True)
class Scoring:
    """The rule a teacher can explain in a sentence: every trial's time, a failed one the limit, plus a
    penalty per contact; lower is better."""

    limit: float = 120.0
    penalty: float = 5.0

    def rule(self) -> str:
        return (f"score: the sum of the trials' times, a trial that did not put the candle out counting the time "
                f"limit ({self.limit:g} s), plus {self.penalty:g} s per contact; lower is better")

    def trial_score(self, trial: Trial) -> float:
        return (trial.time if trial.put_out else self.limit) + self.penalty * trial.contacts

    def ranking(self, trials: list[Trial]) -> list[Standing]:
        """Lowest score first; equal scores share a rank and keep the programs' name order."""
        by_program: dict[str, list[Trial]] = {}
        for trial in trials:
            by_program.setdefault(trial.program, []).append(trial)
        standings = [self._standing(program, by_program[program]) for program in sorted(by_program)]
        standings.sort(key=lambda s: s.score)
        for place, standing in enumerate(standings, 1):
            same = place > 1 and standings[place - 2].score == standing.score
            standing.rank = standings[place - 2].rank if same else place
        return standings

    def _standing(self, program: str, own: list[Trial]) -> Standing:
        out = [t.time for t in own if t.put_out]
        return Standing(rank=0, program=program, trials=len(own), out=len(out),
                        score=round(sum(self.trial_score(t) for t in own), 1),
                        median=round(statistics.median(out), 1) if out else None,
                        contacts=sum(t.contacts for t in own))
