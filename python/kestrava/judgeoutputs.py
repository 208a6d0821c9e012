"""kestrava-judge's results on standard output: a table, CSV rows or JSON lines."""

from __future__ import annotations

import csv
import json
from dataclasses import asdict

from .judgescores import Scoring, Standing, Trial, plural


def print_results(trials: list[Trial], how: str, scoring: Scoring, out) -> None:
    """how: "table", "csv" or "json"."""
    standings = scoring.ranking(trials)
    {"json": print_json, "csv": print_csv, "table": print_table}[how](trials, standings, scoring, out)


def trial_record(trial: Trial) -> dict:
    """A trial as its JSON line has it."""
    record = asdict(trial)
    record.pop("path")
    record["result"] = trial.result.value
    return record


def print_json(trials: list[Trial], standings: list[Standing], scoring: Scoring, out) -> None:
    for trial in trials:
        print(json.dumps(trial_record(trial)), file=out)
    print(json.dumps({"ranking": [asdict(s) for s in standings], "limit": scoring.limit,
                      "contact_penalty": scoring.penalty}), file=out)


def print_csv(trials: list[Trial], standings: list[Standing], scoring: Scoring, out) -> None:
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(["program", "seed", "candle_x", "candle_y", "result", "time", "contacts", "motors_stopped",
                     "status", "error", "closest", "fan_seconds"])
    for t in trials:
        writer.writerow([t.program, t.seed, f"{t.candle[0]:g}", f"{t.candle[1]:g}", t.result.value, t.time,
                         t.contacts, t.motors_stopped, "" if t.status is None else t.status, t.error,
                         "" if t.closest is None else t.closest, t.fan_seconds])


def print_table(trials: list[Trial], standings: list[Standing], scoring: Scoring, out) -> None:
    if len(standings) == 1:
        _print_trials(trials, out)
    else:
        _print_ranking(standings, out)
    total = sum(s.trials for s in standings)
    print(f"{plural(len(standings), 'program')}, {plural(total, 'trial')}; {scoring.rule()}", file=out)


def _print_trials(trials: list[Trial], out) -> None:
    rows = [["seed", "candle", "result", "time", "contacts", "closest", "why"]]
    rows += [[str(t.seed), f"({t.candle[0]:g}, {t.candle[1]:g})", t.result.value, _seconds(t.time), str(t.contacts),
              "—" if t.closest is None else f"{t.closest:g} cm", t.reason()] for t in trials]
    _aligned(rows, out)


def _print_ranking(standings: list[Standing], out) -> None:
    rows = [["rank", "program", "out", "score", "median", "contacts"]]
    rows += [[str(s.rank), s.program, f"{s.out}/{s.trials}", _seconds(s.score),
              "—" if s.median is None else _seconds(s.median), str(s.contacts)] for s in standings]
    _aligned(rows, out)


def _aligned(rows: list[list[str]], out) -> None:
    widths = [max(len(row[column]) for row in rows) for column in range(len(rows[0]))]
    for row in rows:
        print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip(), file=out)


def _seconds(value: float) -> str:
    return f"{value:.1f} s"
