"""kestrava-judge --merge: the trials of JSON lines that --json wrote, read back and checked, so that every
program is ranked on the same seeds, each once."""

from __future__ import annotations

import json
import sys
from dataclasses import fields

from .judgescores import Result, Trial
from .judgeerrors import UsageError
from .simanswers import PathPoint

KNOWN = {f.name for f in fields(Trial)}


def merged(files: list[str], *, partial: bool = False) -> list[Trial]:
    """The trials of JSON lines written by --json (their rankings left out), by program and seed. The same
    (program, seed) twice is refused; so is a program that lacks a seed the others have, unless `partial`
    counts it as a failed trial."""
    where: dict[tuple[str, int], str] = {}
    trials = []
    for name in files:
        if files.count(name) > 1:
            raise UsageError(f"{name}: named twice; each file's trials count once")
    for name in files or ["-"]:
        for place, trial in _read(name):
            key = (trial.program, trial.seed)
            if key in where:
                raise UsageError(f"{place}: {trial.program} seed {trial.seed} again (first at {where[key]})")
            where[key] = place
            trials.append(trial)
    if not trials:
        raise UsageError(f"no trials in {', '.join(files or ['standard input'])} (write them with --json)")
    trials += _missing(trials, partial)
    return sorted(trials, key=lambda trial: (trial.program, trial.seed))


def _read(name: str):
    """(file:line, trial) for each trial line of the file."""
    try:
        stream = sys.stdin if name == "-" else open(name, encoding="utf-8")
    except OSError as error:
        raise UsageError(f"{name}: {error.strerror}") from None
    with stream:
        for number, line in enumerate(stream, 1):
            try:
                record = json.loads(line) if line.strip() else {}
                if isinstance(record, dict) and "seed" in record:
                    yield f"{name}:{number}", trial_from_record(record)
            except (ValueError, TypeError, IndexError):
                raise UsageError(f"{name}:{number}: not a trial of kestrava-judge --json") from None


def _missing(trials: list[Trial], partial: bool) -> list[Trial]:
    seeds = sorted({t.seed for t in trials})
    added = []
    for program in sorted({t.program for t in trials}):
        own = {t.seed for t in trials if t.program == program}
        lacking = [seed for seed in seeds if seed not in own]
        if lacking and not partial:
            raise UsageError(f"{program} lacks seeds {', '.join(map(str, lacking))} that the others have "
                             "(--partial counts them as failed trials)")
        added += [Trial(program=program, seed=seed, candle=[], result=Result.MISSING, time=0.0, contacts=0,
                        motors_stopped=True) for seed in lacking]
    return added


def trial_from_record(record: dict) -> Trial:
    """Raises ValueError, TypeError or IndexError on a line that is not a trial."""
    known = {key: value for key, value in record.items() if key in KNOWN}
    known["result"] = Result(known.get("result"))
    known["path"] = [PathPoint(*(float(v) for v in point[:4]), bool(point[4]), bool(point[5]))
                     for point in known.get("path", [])]
    return Trial(**known)
