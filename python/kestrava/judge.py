"""kestrava-judge: runs robot programs on simulated trials, scores each from the simulator and ranks them.

    kestrava-judge PROGRAM... [OPTIONS] [-- ARGS...]

Each trial gets a simulator of its own (arena, candle place by seed) and a link of its own.
The program runs with KESTRAVA_TRIAL naming that link, so every ``kestrava.Robot(...)`` in
it, and every ``kestrava-cli`` it runs, reaches the trial's robot whatever its arguments.
The simulator is judged, so the program may ask for its run and path and nothing else of it.

This module is the command line; the trials, their scores and the outputs are in the judge* modules beside it.
"""

from __future__ import annotations

import argparse
import os
import signal
import sys
import time
from dataclasses import dataclass, field

from pathlib import Path

from . import __version__, display, judgereport, sandbox
from ._server import find_program
from .errors import KestravaError
from .judgeclass import ClassRun, Stop, default_jobs
from .judgemerge import merged
from .judgeoutputs import print_results
from .judgeprograms import Skipped, command_for, compile_problem, programs_named
from .judgescores import Scoring, Trial, clocks_of, plural
from .judgeerrors import SimulatorFailed, UsageError
from .judgetrials import TrialSettings, arena_of
from .language import chosen_language

USAGE = 2
NO_SIMULATOR = 3  # nor a sandbox: a trial cannot be set up
MOST_SEEDS = 10000


def parse_seeds(text: str) -> list[int]:
    """"1-8", "3", "1,4,9" or "1-4,9" as a list of seeds in order."""
    seeds: list[int] = []
    for part in (piece.strip() for piece in text.split(",")):
        first, dash, last = part.partition("-")
        if dash and not last:
            raise UsageError(f"--seeds: {part!r} has no last seed (write a range as 1-8)")
        try:
            low, high = int(first), int(last or first)
        except ValueError:
            raise UsageError(f"--seeds takes numbers and ranges such as 1-8 or 1,4,9, not {text!r}") from None
        if low > high:
            raise UsageError(f"--seeds: {part!r} runs backwards (write {high}-{low})")
        if not 0 <= low <= high <= 0xFFFFFFFF:
            raise UsageError(f"--seeds: {part!r} is not a range of seeds from 0 to 4294967295")
        seeds.extend(range(low, high + 1))
        if len(seeds) > MOST_SEEDS:
            raise UsageError(f"--seeds: at most {MOST_SEEDS} trials")
    return list(dict.fromkeys(seeds))


class HintingParser(argparse.ArgumentParser):
    """Names `--` when an option is not the judge's: it is likely the program's own."""

    def error(self, message: str):
        if message.startswith("unrecognized arguments"):
            message += " (a program's own arguments go after --: kestrava-judge PROGRAM... -- ARGS...)"
        super().error(message)


def argument_parser() -> argparse.ArgumentParser:
    parser = HintingParser(
        prog="kestrava-judge", usage="kestrava-judge PROGRAM... [OPTIONS] [-- ARGS...]",
        description="Runs robot programs on simulated trials, one per seed each, scores every trial from the "
                    "simulator and ranks the programs. " + Scoring().rule().capitalize()
                    + " (with the defaults). Equal scores share a rank, in name order.",
        epilog=f"Exit status: 0 done, {USAGE} usage, {NO_SIMULATOR} the simulator or a sandbox could not start, "
               "130 stopped by Ctrl-C and 143 by SIGTERM (the trials that finished are still given).")
    parser.add_argument("program", nargs="*", metavar="PROGRAM",
                        help="a .py file (run with this Python), a program, a program folder (with a main.py or "
                             "main), or a folder of them; "
                             "with --merge, the JSON files")
    parser.add_argument("--arena", default="house", metavar="NAME|FILE", help="the arena (default: house)")
    parser.add_argument("--seeds", default="1", metavar="LIST", help="seeds, such as 1-8 or 1,4,9 (default: 1)")
    parser.add_argument("--jobs", type=int, metavar="N",
                        help=f"trials side by side (default: {default_jobs('stepped')} on the stepped clock, one a core; "
                             f"{default_jobs('real')} on the real one, from a trial's processor time and the "
                             "number of cores)")
    parser.add_argument("--limit", type=float, default=120.0, metavar="SECONDS",
                        help="each trial's time limit (default: 120)")
    parser.add_argument("--contact-penalty", type=float, default=5.0, metavar="SECONDS",
                        help="seconds added to the score per contact (default: 5)")
    output = parser.add_mutually_exclusive_group()
    output.add_argument("--csv", action="store_true", help="one CSV row per trial")
    output.add_argument("--json", action="store_true", help="one JSON object per trial, then the ranking")
    parser.add_argument("--report", metavar="FILE.html", help="also write a page with the ranking and every trial drawn")
    parser.add_argument("--lang", choices=["es", "en"], help="the report's language (default: KESTRAVA_LANG, else es)")
    parser.add_argument("--view", action="store_true", help="watch the first trial in the robot view")
    parser.add_argument("--clock", choices=["stepped", "real"], default="stepped",
                        help="stepped (the default): the robot's time moves only by the program's requests and waits, "
                             "so a trial is the same every time and takes no longer than the program computes; "
                             "real: the wall's time, for a program that cannot follow the stepped clock")
    parser.add_argument("--fast", action="store_true",
                        help="with --clock real: no wire time (for tests; times are not comparable); a stepped "
                             "trial keeps its wire time, which is what moves its clock, and is fast already")
    sandbox.add_options(parser)
    parser.add_argument("--merge", action="store_true",
                        help="run nothing: rank the trials of --json files (or standard input); a program must "
                             "have every seed the others have, and each (program, seed) once")
    parser.add_argument("--partial", action="store_true",
                        help="with --merge, count a seed a program lacks as a failed trial instead of refusing")
    parser.add_argument("--version", action="version", version=f"kestrava-judge {__version__}")
    return parser


def check(options: argparse.Namespace) -> None:
    if options.jobs is None:
        options.jobs = default_jobs(options.clock)
    if options.jobs < 1:
        raise UsageError(f"--jobs takes 1 or more trials side by side, not {options.jobs}")
    if not 0 < options.limit <= 86400:
        raise UsageError(f"--limit takes more than 0 and at most 86400 seconds, not {options.limit:g}")
    if not 0 <= options.contact_penalty <= 86400:
        raise UsageError(f"--contact-penalty takes 0 to 86400 seconds, not {options.contact_penalty:g}")


@dataclass
class Judged:
    """What the options asked for: the trials (run now, or read back with --merge) and what was left out."""

    trials: list[Trial]
    skipped: list[Skipped] = field(default_factory=list)
    cut: list[str] = field(default_factory=list)
    not_started: int = 0


def judged(options: argparse.Namespace, arguments: list[str], stop: Stop) -> Judged:
    if options.merge:
        return Judged(merged(options.program, partial=options.partial))
    if not options.program:
        raise UsageError("name one PROGRAM or more, or a folder of them (their arguments go after --)")
    seeds = parse_seeds(options.seeds)
    programs, skipped = programs_named(options.program)
    commands = {program: command_for(program, arguments) for program in programs}
    problems = {program: why for program in programs if (why := compile_problem(program))}
    options.sandboxes = sandbox.from_options(options, str(Path(__file__).resolve().parent.parent), find_program())
    settings = TrialSettings(arena=options.arena, limit=options.limit, fast=options.fast, clock=options.clock,
                             sandboxes=options.sandboxes)
    run = ClassRun(commands=commands, problems=problems, seeds=seeds, settings=settings, jobs=options.jobs,
                   view=options.view, stop=stop)
    outcome = run.outcome()
    return Judged(outcome.trials, skipped, outcome.cut, outcome.not_started)


def check_outputs(options: argparse.Namespace) -> str:
    """Before the first trial: where the report goes, a window for --view, and the report's language."""
    if options.report:
        folder = os.path.dirname(os.path.abspath(options.report))
        if not os.path.isdir(folder):
            raise UsageError(f"--report: {folder}: no such folder")
        if not os.access(folder, os.W_OK | os.X_OK):
            raise UsageError(f"--report: {folder}: cannot write there")
    if options.view and not options.merge and not display.available():
        raise UsageError(f"--view: {display.NO_DISPLAY}")
    return report_language(options.lang) if options.report else ""


def report_language(flag: str | None) -> str:
    try:
        return chosen_language(flag)
    except ValueError as error:
        raise UsageError(str(error)) from None


def write_report(path: str, done: Judged, scoring: Scoring, arena: str, language: str, facts: dict) -> None:
    try:
        judgereport.write_report(path, done.trials, scoring, arena_of(arena), language, facts)
    except OSError as error:
        raise UsageError(f"{path}: {error.strerror}") from None


def say_what_was_cut(done: Judged, stop: Stop) -> None:
    name = signal.Signals(stop.signal).name
    print(f"kestrava-judge: stopped by {name}; the trials under way were ended; counted: the "
          f"{plural(len(done.trials), 'trial')} that finished", file=sys.stderr)
    if done.cut:
        print(f"kestrava-judge: cut short, not counted: {', '.join(done.cut)}", file=sys.stderr)
    if done.not_started:
        print(f"kestrava-judge: not started: {plural(done.not_started, 'trial')}", file=sys.stderr)


def main(argv: list[str] | None = None) -> int:
    argv = sys.argv[1:] if argv is None else argv
    split = argv.index("--") if "--" in argv else len(argv)
    try:
        options = argument_parser().parse_intermixed_args(argv[:split])
    except SystemExit as leaving:
        return USAGE if leaving.code else 0
    scoring = Scoring(limit=options.limit, penalty=options.contact_penalty)
    stop = Stop()
    for number in (signal.SIGINT, signal.SIGTERM):
        if signal.getsignal(number) is not signal.SIG_IGN:  # nohup's or a script's `&` keeps it ignored
            signal.signal(number, stop.by)
    try:
        check(options)
        language = check_outputs(options)
        done = judged(options, argv[split + 1:], stop)
        if options.report:
            write_report(options.report, done, scoring, options.arena, language, report_facts(options, done))
    except UsageError as error:
        print(f"kestrava-judge: {error}", file=sys.stderr)
        return USAGE
    except (SimulatorFailed, sandbox.Unavailable, KestravaError) as error:
        print(f"kestrava-judge: {error}", file=sys.stderr)
        return NO_SIMULATOR
    print_results(done.trials, output_format(options), scoring, sys.stdout, done.skipped, sandbox_note(options))
    if stop.signal:
        say_what_was_cut(done, stop)
        return 128 + stop.signal
    return 0


def sandbox_note(options: argparse.Namespace) -> str:
    """The sandbox's line; none for merged trials, which do not say."""
    return "" if options.merge else sandbox.note(options.sandboxes)


def output_format(options: argparse.Namespace) -> str:
    return "json" if options.json else "csv" if options.csv else "table"


def report_facts(options: argparse.Namespace, done: Judged) -> dict:
    """The report's header."""
    seeds = sorted({t.seed for t in done.trials})
    return dict(date=time.strftime("%Y-%m-%d %H:%M"), arena=options.arena, seeds=seeds_text(seeds),
                limit=options.limit, clock=clocks_of(done.trials), version=__version__, skipped=done.skipped,
                sandbox=None if options.merge else options.sandboxes or "not sandboxed")


def seeds_text(seeds: list[int]) -> str:
    """[1, 2, 3, 5] as "1-3,5"."""
    runs: list[list[int]] = []
    for seed in seeds:
        if runs and seed == runs[-1][-1] + 1:
            runs[-1].append(seed)
        else:
            runs.append([seed])
    return ",".join(f"{r[0]}-{r[-1]}" if len(r) > 1 else str(r[0]) for r in runs)


if __name__ == "__main__":
    sys.exit(main())
