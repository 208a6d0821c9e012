"""kestrava-judge: runs a robot program on simulated trials and scores each from the simulator.

    kestrava-judge PROGRAM [OPTIONS] [-- ARGS...]

Each trial gets a simulator of its own (arena, candle place by seed) and a link of its own.
The program runs with KESTRAVA_TRIAL naming that link, so every ``kestrava.Robot(...)`` in
it, and every ``kestrava-cli`` it runs, reaches the trial's robot whatever its arguments.
The simulator is judged, so the program may ask for its run and nothing else of it.
"""

from __future__ import annotations

import argparse
import collections
import concurrent.futures
import csv
import ctypes
import json
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from dataclasses import asdict, dataclass
from pathlib import Path

from ._server import find_program
from .errors import KestravaError

USAGE = 2
MOST_SEEDS = 10000
# How often a trial looks at its run: the candle's going out ends it within this.
TICK_SECONDS = 0.1
# A program asked to end gets this long before it is killed; its server stops the motors meanwhile.
GRACE_SECONDS = 3.0
PR_SET_CHILD_SUBREAPER = 36
ERROR_LINES_KEPT = 5


# Set on Ctrl-C: every trial under way ends its program (which runs in a session of its own,
# out of the terminal's reach) and its simulator.
_interrupted = threading.Event()


class UsageError(Exception):
    """A wrong option, or a program or arena that cannot be used: exit status 2."""


@dataclass
class Trial:
    seed: int
    candle: list[float]
    result: str           # "candle out", "time limit", "crashed" or "ended"
    time: float           # seconds: the run's time when the candle went out, else the program's
    contacts: int
    motors_stopped: bool  # the motor controller's speed registers hold its mode's stop
    error: str = ""       # a crash's last line


def parse_seeds(text: str) -> list[int]:
    """"1-8", "3", "1,4,9" or "1-4,9" as a list of seeds in order."""
    seeds: list[int] = []
    for part in text.split(","):
        first, _, last = part.strip().partition("-")
        try:
            low, high = int(first), int(last or first)
        except ValueError:
            raise UsageError(f"--seeds takes numbers and ranges such as 1-8 or 1,4,9, not {text!r}") from None
        if not 0 <= low <= high <= 0xFFFFFFFF:
            raise UsageError(f"--seeds: {part.strip()!r} is not a range of seeds from 0 to 4294967295")
        seeds.extend(range(low, high + 1))
        if len(seeds) > MOST_SEEDS:
            raise UsageError(f"--seeds: at most {MOST_SEEDS} trials")
    return list(dict.fromkeys(seeds))


def command_for(program: str, arguments: list[str]) -> list[str]:
    """How to run the program: a .py file with this Python, anything else as a program of its own."""
    path = Path(program)
    if not path.is_file():
        raise UsageError(f"{program}: no such file")
    if path.suffix == ".py":
        return [sys.executable, str(path), *arguments]
    if not os.access(path, os.X_OK):
        raise UsageError(f"{program}: not a Python file (.py) nor a program that can be run (chmod +x)")
    return [str(path.resolve()), *arguments]


class TrialSimulator:
    """A judged kestrava-sim for one trial, and its control commands through its standard input."""

    def __init__(self, folder: str, arena: str, seed: int, fast: bool, view: bool) -> None:
        self.link = os.path.join(folder, "adapter")
        program = str(Path(find_program()).with_name("kestrava-sim"))
        options = ["--link", self.link, "--judged", "--arena", arena, "--seed", str(seed)]
        options += ["--fast"] if fast else []
        options += ["--view"] if view else []
        try:
            self._process = subprocess.Popen([program, *options], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                             stderr=subprocess.PIPE, text=True)
        except OSError as error:
            raise UsageError(f"cannot start {program}: {error.strerror or error}") from None
        if not self._process.stdout.readline().startswith("/"):
            said = self._process.stderr.read().strip().splitlines()
            self._process.wait()
            raise UsageError(said[-1] if said else "kestrava-sim would not start")

    def command(self, line: str) -> list[str]:
        self._process.stdin.write(line + "\n")
        self._process.stdin.flush()
        lines: list[str] = []
        while not lines or not lines[-1].startswith(("ok", "error:")):
            read = self._process.stdout.readline()
            if not read:
                raise KestravaError(f"the trial's simulator ended during {line!r}")
            lines.append(read.rstrip("\n"))
        return lines

    def candle(self) -> list[float]:
        for line in self.command("world"):  # "candle at 215.0 225.0, lit"
            if line.startswith("candle at "):
                x, y = line[len("candle at "):].split(",")[0].split()
                return [float(x), float(y)]
        raise KestravaError("the trial's simulator did not say where the candle is")

    def run(self) -> tuple[str, float, int]:
        """The run's state ("not started", "running", "finished"), time and contacts."""
        words = self.command("run")[-1].split()
        state = "finished" if words[-1] == "out" else "running" if "running" in words else "not started"
        seconds = float(words[words.index("time") + 1]) if "time" in words else 0.0
        contacts = int(words[words.index("contacts") + 1]) if "contacts" in words else 0
        return state, seconds, contacts

    def motors_stopped(self) -> bool:
        mode = int(self.command("get B0 15")[-1].split()[1], 16)
        speeds = [int(byte, 16) for byte in self.command("get B0 0 2")[-1].split()[1:]]
        stop = 0x80 if mode in (0, 2) else 0
        return speeds == [stop, stop]

    def close(self) -> None:
        self._process.stdin.close()  # its controlling program has gone: it ends
        try:
            self._process.wait(GRACE_SECONDS)
        except subprocess.TimeoutExpired:
            self._process.kill()
            self._process.wait()
        self._process.stdout.close()
        self._process.stderr.close()


def adopt_orphans() -> None:
    """Processes a trial's program leaves behind (its server) become the judge's children when the
    program ends first, so that their end can be waited for rather than looked for (Linux)."""
    try:
        ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
    except (OSError, AttributeError):
        pass


def end_group(process: subprocess.Popen) -> None:
    """Ends the program and everything it started; its server stops the motors on SIGTERM."""
    killer = threading.Timer(GRACE_SECONDS, _signal_group, (process.pid, signal.SIGKILL))
    killer.start()
    try:
        _signal_group(process.pid, signal.SIGTERM)
        process.wait()
        while True:
            os.waitpid(-process.pid, 0)  # the adopted rest of its group
    except ChildProcessError:
        pass
    finally:
        killer.cancel()
    # Without adoption, look for the rest of the group until it has gone.
    deadline = time.monotonic() + GRACE_SECONDS
    while time.monotonic() < deadline and _signal_group(process.pid, 0):
        time.sleep(TICK_SECONDS)


def _signal_group(group: int, sent: int) -> bool:
    try:
        os.killpg(group, sent)
        return True
    except ProcessLookupError:
        return False


def program_environment(link: str) -> dict[str, str]:
    environment = dict(os.environ, KESTRAVA_TRIAL=link)
    # The program's `import kestrava` is this package, wherever the judge was started from.
    package_parent = str(Path(__file__).resolve().parent.parent)
    environment["PYTHONPATH"] = os.pathsep.join(filter(None, [package_parent, os.environ.get("PYTHONPATH")]))
    return environment


def run_trial(command: list[str], seed: int, options: argparse.Namespace, view: bool) -> Trial:
    with tempfile.TemporaryDirectory(prefix="kestrava-judge-") as folder:
        simulator = TrialSimulator(folder, options.arena, seed, options.fast, view)
        try:
            return judge(command, seed, simulator, options.limit)
        finally:
            simulator.close()


def judge(command: list[str], seed: int, simulator: TrialSimulator, limit: float) -> Trial:
    candle = simulator.candle()
    try:
        program = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE, env=program_environment(simulator.link),
                                   start_new_session=True)
    except OSError as error:
        raise UsageError(f"cannot start {command[0]}: {error.strerror or error}") from None
    last_lines: collections.deque[str] = collections.deque(maxlen=ERROR_LINES_KEPT)
    reader = threading.Thread(target=_keep_lines, args=(program.stderr, last_lines), daemon=True)
    reader.start()
    started = time.monotonic()
    ending = "ended"
    while ending == "ended":
        try:
            program.wait(TICK_SECONDS)
            break
        except subprocess.TimeoutExpired:
            pass
        if simulator.run()[0] == "finished":
            ending = "candle out"
        elif time.monotonic() - started >= limit or _interrupted.is_set():
            ending = "time limit"
    elapsed = time.monotonic() - started
    end_group(program)
    reader.join(GRACE_SECONDS)
    state, seconds, contacts = simulator.run()
    if state == "finished":
        result, error = "candle out", ""
    elif ending == "time limit":
        result, seconds, error = "time limit", limit, ""
    elif program.returncode != 0:
        result, seconds, error = "crashed", elapsed, last_lines[-1] if last_lines else f"status {program.returncode}"
    else:
        result, seconds, error = "ended", elapsed, ""
    return Trial(seed, candle, result, round(seconds, 1), contacts, simulator.motors_stopped(), error)


def _keep_lines(stream, lines: collections.deque[str]) -> None:
    for raw in stream:
        text = raw.decode(errors="replace").rstrip()
        if text:
            lines.append(text)
    stream.close()


def summary(trials: list[Trial]) -> dict:
    out = [trial.time for trial in trials if trial.result == "candle out"]
    return {"trials": len(trials), "candles_out": len(out),
            "median_time": round(statistics.median(out), 1) if out else None,
            "contacts": sum(trial.contacts for trial in trials)}


def summary_line(trials: list[Trial]) -> str:
    total = summary(trials)
    candles = "1 candle out" if total["candles_out"] == 1 else f"{total['candles_out']} candles out"
    median = f", median time {total['median_time']} s" if total["median_time"] is not None else ""
    return f"{total['trials']} trials: {candles}{median}, {total['contacts']} contacts in all"


def _place(candle: list[float]) -> str:
    return f"({candle[0]:g}, {candle[1]:g})"


def _seconds(trial: Trial) -> str:
    return f"{trial.time:g} s" if trial.result == "time limit" else f"{trial.time:.1f} s"


def print_table(trials: list[Trial], out) -> None:
    rows = [["seed", "candle", "result", "time", "contacts", ""]]
    rows += [[str(t.seed), _place(t.candle), t.result, _seconds(t), str(t.contacts), t.error] for t in trials]
    widths = [max(len(row[column]) for row in rows) for column in range(5)]
    for row in rows:
        print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip()
              + (f"  {row[5]}" if row[5] else ""), file=out)
    print(summary_line(trials), file=out)


def print_results(trials: list[Trial], how: str, out) -> None:
    if how == "json":
        for trial in trials:
            print(json.dumps(asdict(trial)), file=out)
        print(json.dumps({"summary": summary(trials)}), file=out)
    elif how == "csv":
        writer = csv.writer(out, lineterminator="\n")
        writer.writerow(["seed", "candle_x", "candle_y", "result", "time", "contacts", "motors_stopped", "error"])
        for t in trials:
            writer.writerow([t.seed, f"{t.candle[0]:g}", f"{t.candle[1]:g}", t.result, t.time, t.contacts,
                             t.motors_stopped, t.error])
    else:
        print_table(trials, out)


def merged(files: list[str]) -> list[Trial]:
    """The trials of JSON lines written by --json (their summaries left out), in seed order."""
    trials = []
    for name in files or ["-"]:
        stream = sys.stdin if name == "-" else open(name, encoding="utf-8")
        with stream:
            for number, line in enumerate(stream, 1):
                try:
                    record = json.loads(line) if line.strip() else {}
                    if "seed" in record:
                        trials.append(Trial(**record))
                except (ValueError, TypeError):
                    raise UsageError(f"{name}:{number}: not a trial of kestrava-judge --json") from None
    return sorted(trials, key=lambda trial: trial.seed)


def argument_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="kestrava-judge", usage="kestrava-judge PROGRAM [OPTIONS] [-- ARGS...]",
        description="Runs a robot program on simulated trials, one per seed, and scores each from the simulator.")
    parser.add_argument("program", nargs="*", metavar="PROGRAM",
                        help="a .py file (run with this Python) or a program; with --merge, the JSON files")
    parser.add_argument("--arena", default="house", metavar="NAME|FILE", help="the arena (default: house)")
    parser.add_argument("--seeds", default="1", metavar="LIST", help="seeds, such as 1-8 or 1,4,9 (default: 1)")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1, metavar="N",
                        help="trials side by side (default: the number of cores)")
    parser.add_argument("--limit", type=float, default=120.0, metavar="SECONDS",
                        help="each trial's time limit (default: 120)")
    output = parser.add_mutually_exclusive_group()
    output.add_argument("--csv", action="store_true", help="one CSV row per trial")
    output.add_argument("--json", action="store_true", help="one JSON object per trial, then the summary")
    parser.add_argument("--view", action="store_true", help="watch the first trial in the robot view")
    parser.add_argument("--fast", action="store_true", help="no wire time (for tests; times are not comparable)")
    parser.add_argument("--merge", action="store_true",
                        help="run nothing: print the trials of --json files (or standard input) as one table")
    return parser


def main(argv: list[str] | None = None) -> int:
    argv = sys.argv[1:] if argv is None else argv
    split = argv.index("--") if "--" in argv else len(argv)
    parser = argument_parser()
    try:
        options = parser.parse_intermixed_args(argv[:split])
    except SystemExit as leaving:
        return USAGE if leaving.code else 0
    how = "json" if options.json else "csv" if options.csv else "table"
    try:
        if options.merge:
            print_results(merged(options.program), how, sys.stdout)
            return 0
        if len(options.program) != 1:
            raise UsageError("name one PROGRAM (its own arguments go after --)")
        if options.jobs < 1 or not 0 < options.limit <= 86400:
            raise UsageError("--jobs takes 1 or more, --limit 0 to 86400 seconds")
        command = command_for(options.program[0], argv[split + 1:])
        seeds = parse_seeds(options.seeds)
        adopt_orphans()
        trials = run_all(command, seeds, options)
    except (UsageError, KestravaError) as error:
        print(f"kestrava-judge: {error}", file=sys.stderr)
        return USAGE
    except KeyboardInterrupt:
        print("kestrava-judge: interrupted; the trials under way were ended", file=sys.stderr)
        return 130
    print_results(trials, how, sys.stdout)
    return 0


def run_all(command: list[str], seeds: list[int], options: argparse.Namespace) -> list[Trial]:
    with concurrent.futures.ThreadPoolExecutor(max_workers=min(options.jobs, len(seeds))) as pool:
        futures = [pool.submit(run_trial, command, seed, options, options.view and index == 0)
                   for index, seed in enumerate(seeds)]
        try:
            return [future.result() for future in futures]
        except BaseException:
            _interrupted.set()
            for future in futures:
                future.cancel()
            raise


if __name__ == "__main__":
    sys.exit(main())
