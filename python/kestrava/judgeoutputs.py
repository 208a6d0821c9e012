"""kestrava-judge's results on standard output: a table, CSV rows or JSON lines."""

from __future__ import annotations

import csv
import json
import sys
from dataclasses import asdict

from .judgeprograms import Skipped
from .judgescores import Result, Scoring, Standing, Trial, clocks_of, plural


def print_results(trials: list[Trial], how: str, scoring: Scoring, out, skipped: list[Skipped] = (),
                  sandbox: str = "") -> None:
    """how: "table", "csv" or "json"; `sandbox` says whether and how the programs were sandboxed."""
    standings = scoring.ranking(trials)
    {"json": print_json, "csv": print_csv, "table": print_table}[how](trials, standings, scoring, out, list(skipped),
                                                                     sandbox)


def trial_record(trial: Trial) -> dict:
    """A trial as its JSON line has it; the path as [t, x, y, heading, fan, contact] points."""
    record = asdict(trial)
    record["result"] = trial.result.value
    record["path"] = [[p.t, p.x, p.y, p.heading, p.fan, p.contact] for p in trial.path]
    return record


def print_json(trials: list[Trial], standings: list[Standing], scoring: Scoring, out, skipped: list[Skipped],
               sandbox: str) -> None:
    for trial in trials:
        print(json.dumps(trial_record(trial)), file=out)
    print(json.dumps({"ranking": [asdict(s) for s in standings], "limit": scoring.limit,
                      "contact_penalty": scoring.penalty, "clock": clocks_of(trials), "skipped": [asdict(s) for s in skipped],
                      "sandbox": sandbox}), file=out)


def print_csv(trials: list[Trial], standings: list[Standing], scoring: Scoring, out, skipped: list[Skipped],
              sandbox: str) -> None:
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(["program", "seed", "candle_x", "candle_y", "result", "time", "contacts", "motors_stopped",
                     "status", "error", "closest", "fan_seconds", "ended_by_judge", "left_on", "clock"])
    for t in trials:
        writer.writerow([t.program, t.seed, *(f"{c:g}" for c in t.candle or ["", ""]), t.result.value, t.time,
                         t.contacts, t.motors_stopped, "" if t.status is None else t.status, t.error,
                         "" if t.closest is None else t.closest, t.fan_seconds, t.ended_by_judge, " ".join(t.left_on), t.clock])
    for left_out in skipped:  # CSV is the trials' rows alone
        print(f"kestrava-judge: skipped {left_out.file}: {left_out.why}", file=sys.stderr)


def print_table(trials: list[Trial], standings: list[Standing], scoring: Scoring, out, skipped: list[Skipped],
                sandbox: str) -> None:
    if len(standings) == 1:
        _print_trials(trials, out)
    else:
        _print_ranking(standings, out)
    total = sum(s.trials for s in standings)
    own = f": {scoring.summary(standings[0])}" if len(standings) == 1 else ""
    clocks = clocks_of(trials)
    on = f" on the {clocks} clock{'s' if ' and ' in clocks else ''}" if clocks else ""
    print(f"{plural(len(standings), 'program')}, {plural(total, 'trial')}{on}{own}; {scoring.rule()}", file=out)
    if skipped:
        print("skipped: " + "; ".join(f"{s.file} ({s.why})" for s in skipped), file=out)
    if sandbox:
        print(sandbox, file=out)


def _print_trials(trials: list[Trial], out) -> None:
    rows = [["seed", "candle", "result", "time", "contacts", "closest", "why"]]
    if trials and trials[0].result is Result.DID_NOT_COMPILE:  # the same for every seed: one row says it
        rows.append([f"all {len(trials)}", "—", trials[0].result.value, _seconds(trials[0].time),
                     "0", "—", trials[0].error])
        trials = []
    rows += [[str(t.seed), "—" if not t.candle else f"({t.candle[0]:g}, {t.candle[1]:g})", t.result.value,
              _seconds(t.time), str(t.contacts), "—" if t.closest is None else f"{t.closest:g} cm", t.reason()]
             for t in trials]
    _aligned(rows, out)


def _print_ranking(standings: list[Standing], out) -> None:
    rows = [["rank", "program", "out", "score", "median", "contacts", "why"]]
    rows += [[str(s.rank), s.program, f"{s.out}/{s.trials}", _seconds(s.score),
              "—" if s.median is None else _seconds(s.median), str(s.contacts), s.why] for s in standings]
    _aligned(rows, out)


def _aligned(rows: list[list[str]], out) -> None:
    widths = [max(len(row[column]) for row in rows) for column in range(len(rows[0]))]
    for row in rows:
        print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip(), file=out)


def _seconds(value: float) -> str:
    return f"{value:.1f} s"
