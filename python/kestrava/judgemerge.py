"""kestrava-judge --merge: the trials of JSON lines that --json wrote, read back."""

from __future__ import annotations

import json
import sys
from dataclasses import fields

from .judgescores import Result, Trial
from .judgetrials import UsageError

KNOWN = {f.name for f in fields(Trial)} - {"path"}


def merged(files: list[str]) -> list[Trial]:
    """The trials of JSON lines written by --json (their rankings left out), by program and seed."""
    trials = []
    for name in files or ["-"]:
        try:
            stream = sys.stdin if name == "-" else open(name, encoding="utf-8")
        except OSError as error:
            raise UsageError(f"{name}: {error.strerror}") from None
        with stream:
            for number, line in enumerate(stream, 1):
                try:
                    record = json.loads(line) if line.strip() else {}
                    if isinstance(record, dict) and "seed" in record:
                        trials.append(trial_from_record(record))
                except (ValueError, TypeError):
                    raise UsageError(f"{name}:{number}: not a trial of kestrava-judge --json") from None
    return sorted(trials, key=lambda trial: (trial.program, trial.seed))


def trial_from_record(record: dict) -> Trial:
    """Raises ValueError or TypeError on a line that is not a trial."""
    known = {key: value for key, value in record.items() if key in KNOWN}
    known["result"] = Result(known.get("result"))
    return Trial(**known)
