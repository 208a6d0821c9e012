"""kestrava-judge's trials as data, their scores and the programs' ranking; the one place the score rule is
written."""

from __future__ import annotations

import collections
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
    STUCK = "stuck"                      # a stepped clock that stood still: neither a wait nor a request
    DID_NOT_COMPILE = "did not compile"  # a Python file that does not compile: no simulator was started
    MISSING = "missing"                  # --merge --partial: a seed the others have and this program lacks

    @property
    def program_said(self) -> bool:
        """The program ended by itself, and its output is all that says why."""
        return self in (Result.CRASHED, Result.ENDED)


@dataclass(kw_only=True)
class Trial:
    program: str
    seed: int
    candle: list[float]
    result: Result
    time: float             # seconds on the trial's clock from the program's start: to the candle going out,
                            # the limit, or the program's end
    contacts: int
    motors_stopped: bool    # the motor controller's speed registers hold its mode's stop
    status: int | None = None   # the program's own exit status; None when the judge ended it
    ended_by_judge: bool = False  # the judge ended it: the candle was out, the limit came, or a stop
    error: str = ""         # a crash's last line of standard error; why a file did not compile
    output: list[str] = field(default_factory=list)  # its last lines, standard output and error
    pose: list[float] = field(default_factory=list)  # where the robot ended: x, y, heading
    closest: float | None = None  # its centre's closest approach to the candle, cm
    fan_seconds: float = 0.0      # how long the fan's relay was on during the run
    left_on: list[str] = field(default_factory=list)  # on at the program's end: "fan", "relay N", "motors"
    path: list[PathPoint] = field(default_factory=list, repr=False)  # for --report
    clock: str = "real"     # the trial's simulator's clock: "stepped" (the judge's default) or "real"

    @property
    def put_out(self) -> bool:
        return self.result is Result.CANDLE_OUT

    def reason(self, say: dict[str, str] | None = None) -> str:
        """Why the trial ended as it did, in the words of `say` (English by default): a program's own status,
        and its last line quoted as its own; what was left on at its end."""
        say = say or REASON_WORDS
        parts = []
        if self.result is Result.CRASHED and self.status is None:  # ended by its sandbox, for a bound it hit
            parts.append(self.error)
        elif self.result.program_said:
            said = self.error if self.result is Result.CRASHED else self.output[-1] if self.output else ""
            quoted = f'; {say["last line"]}: "{said}"'
            parts.append(f'{say["status"]} {self.status}' + (quoted if said else ""))
        elif self.result is Result.DID_NOT_COMPILE:
            parts.append(self.error)
        elif self.result is Result.MISSING:
            parts.append(say["missing"])
        elif self.result is Result.STUCK:
            parts.append(say["stuck why"])
        elif self.ended_by_judge and self.result is not Result.CANDLE_OUT:
            parts.append(say["ended by the judge"])
        if self.left_on:
            parts.append(f'{say["left on"]}: {", ".join(_in_words(part, say) for part in self.left_on)}')
        return "; ".join(parts)


def _in_words(thing: str, say: dict[str, str]) -> str:
    """"relay 3" as `say` words it."""
    word, _, number = thing.partition(" ")
    return f"{say.get(word, word)} {number}".strip()


REASON_WORDS = {"status": "status", "last line": "last line",
                "ended by the judge": "ended by the judge", "left on": "left on",
                "missing": "not in the merged files, counted as failed",
                "stuck why": "neither waited nor asked the robot anything for 10 s of real time"}


@dataclass
class Standing:
    rank: int
    program: str
    trials: int
    out: int
    score: float
    median: float | None
    contacts: int
    why: str = ""   # its commonest failure, with an example's reason


def failures(own: list[Trial], say: dict[str, str] | None = None) -> str:
    """"crashed ×3: status 1; last line: "..."": what went wrong most often, and once why."""
    failed = [t for t in own if not t.put_out]
    if not failed:
        return ""
    commonest, count = collections.Counter(t.result for t in failed).most_common(1)[0]
    example = next(t for t in failed if t.result is commonest).reason(say)
    times = f" ×{count}" if count > 1 and commonest is not Result.DID_NOT_COMPILE else ""
    return f"{(say or {}).get(commonest.value, commonest.value)}{times}" + (f": {example}" if example else "")


def clocks_of(trials: list[Trial]) -> str:
    """The clocks the trials ran on: "stepped", "real", "real and stepped", or "" when none ran."""
    ran = {trial.clock for trial in trials if trial.result not in (Result.MISSING, Result.DID_NOT_COMPILE)}
    return " and ".join(sorted(ran))


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

    def summary(self, standing: "Standing") -> str:
        """One program's figures, as the table's footer gives them."""
        median = "—" if standing.median is None else f"{standing.median:.1f} s"
        return f"{standing.out} out, score {standing.score:.1f} s, median {median}"

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
                        contacts=sum(t.contacts for t in own), why=failures(own))
