"""kestrava-judge: runs robot programs on simulated trials, scores each from the simulator and ranks them.

    kestrava-judge PROGRAM... [OPTIONS] [-- ARGS...]

Each trial gets a simulator of its own (arena, candle place by seed) and a link of its own.
The program runs with KESTRAVA_TRIAL naming that link, so every ``kestrava.Robot(...)`` in
it, and every ``kestrava-cli`` it runs, reaches the trial's robot whatever its arguments.
The simulator is judged, so the program may ask for its run and path and nothing else of it.
"""

from __future__ import annotations

import argparse
import collections
import concurrent.futures
import csv
import ctypes
import json
import math
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from dataclasses import asdict, dataclass, field, fields
from pathlib import Path

from . import __version__, judgereport, sandbox, simanswers
from ._server import find_program
from .errors import KestravaError

USAGE = 2
NO_SIMULATOR = 3  # nor a sandbox: a trial cannot be set up
INTERRUPTED = 130
MOST_SEEDS = 10000
# How often a trial looks at its run: the candle's going out ends it within this.
TICK_SECONDS = 0.1
# A program asked to end gets this long before it is killed; its server stops the motors meanwhile.
GRACE_SECONDS = 3.0
PR_SET_CHILD_SUBREAPER = 36
OUTPUT_LINES_KEPT = 8
OUTPUT_LINE_CHARACTERS = 200
# What one trial of examples/candle.py costs: 1.2 s of processor time in 11 to 13 s (./dev.sh bench
# measures it, and the trials' times side by side against alone). The trials wait on the
# simulator's real time, so a core carries several side by side and stays about half idle.
TRIAL_PROCESSOR_SHARE = 0.09
CORE_SHARE_USED = 0.55
DEFAULT_JOBS = max(1, math.floor((os.cpu_count() or 1) * CORE_SHARE_USED / TRIAL_PROCESSOR_SHARE))
RULE = ("score: the sum of the trials' times, a trial that did not put the candle out counting the time limit "
        "({limit:g} s), plus {penalty:g} s per contact; lower is better")

# Set on Ctrl-C: every trial under way ends its program (which runs in a session of its own,
# out of the terminal's reach) and its simulator.
_interrupted = threading.Event()


class UsageError(Exception):
    """A wrong option, or a program or arena that cannot be used: exit status 2."""


class SimulatorFailed(Exception):
    """The trial's simulator would not start or went away: exit status 3."""


@dataclass
class Trial:
    program: str
    seed: int
    candle: list[float]
    result: str             # "candle out", "time limit", "crashed" or "ended"
    time: float             # seconds: the run's time when the candle went out, the limit, else the program's
    contacts: int
    motors_stopped: bool    # the motor controller's speed registers hold its mode's stop
    status: int | None = None   # the program's exit status, when it ended by itself
    error: str = ""         # a crash's last line of standard error
    output: list[str] = field(default_factory=list)  # its last lines, standard output and error
    pose: list[float] = field(default_factory=list)  # where the robot ended: x, y, heading
    closest: float | None = None  # its centre's closest approach to the candle, cm
    fan_seconds: float = 0.0      # how long the fan's relay was on during the run
    path: list[list] = field(default_factory=list, repr=False)  # [t, x, y, heading, fan, contact], for --report

    def reason(self, status: str = "status") -> str:
        """Why a program that did not put the candle out ended: its status, and its error or last line."""
        if self.result not in ("crashed", "ended"):
            return ""
        said = self.error if self.result == "crashed" else self.output[-1] if self.output else ""
        if self.status is None:  # ended by the sandbox, for a bound it hit
            return said
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


def program_entry(path: Path) -> Path | None:
    """What runs of a program: the file itself, or a program folder's main.py or executable main."""
    if not path.is_dir():
        return path
    for main in (path / "main.py", path / "main"):
        if main.is_file() and (main.suffix == ".py" or os.access(main, os.X_OK)):
            return main
    return None


def programs_named(names: list[str]) -> list[str]:
    """The programs as given; a class folder stands for its *.py and executable files and its program
    folders (with a main.py or main), by name."""
    found: list[str] = []
    for name in names:
        path = Path(name)
        if path.is_dir() and not program_entry(path):
            inside = sorted(p for p in path.iterdir()
                            if p.is_file() and (p.suffix == ".py" or os.access(p, os.X_OK))
                            or p.is_dir() and program_entry(p))
            if not inside:
                raise UsageError(f"{name}: no programs in it (*.py or executable files, or folders with a main.py)")
            found += [str(p) for p in inside]
        else:
            found.append(name)
    return list(dict.fromkeys(found))


def command_for(program: str, arguments: list[str]) -> list[str]:
    """How to run the program: a .py file with this Python, anything else as a program of its own. A program
    folder's main is named in full, since the program runs from that folder."""
    path = program_entry(Path(program)) or Path(program)
    path = path.resolve() if Path(program).is_dir() else path
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
        # The seed fixes the candle's place: on standard input, never on a command line, which every process reads.
        options = ["--link", self.link, "--judged", "--arena", arena, "--seed", "-"]
        options += ["--fast"] if fast else []
        options += ["--view"] if view else []
        try:
            self._process = subprocess.Popen([program, *options], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                             stderr=subprocess.PIPE, text=True)
            self._process.stdin.write(f"{seed}\n")
            self._process.stdin.flush()
        except OSError as error:
            raise SimulatorFailed(f"cannot start {program}: {error.strerror or error}") from None
        if not self._process.stdout.readline().startswith("/"):
            said = self._process.stderr.read().strip().splitlines()
            self._process.wait()
            if said and said[-1].startswith(f"kestrava-sim: {arena}: "):
                raise UsageError(said[-1][len("kestrava-sim: "):])  # the arena is the user's to fix
            raise SimulatorFailed(said[-1] if said else "kestrava-sim would not start")

    def command(self, line: str) -> list[str]:
        try:
            self._process.stdin.write(line + "\n")
            self._process.stdin.flush()
        except OSError:
            raise SimulatorFailed(f"the trial's simulator ended before {line!r}") from None
        lines: list[str] = []
        while not lines or not lines[-1].startswith(("ok", "error:")):
            read = self._process.stdout.readline()
            if not read:
                raise SimulatorFailed(f"the trial's simulator ended during {line!r}")
            lines.append(read.rstrip("\n"))
        return lines

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
    # Unbuffered, a Python program's prints keep their order with its errors in the last lines kept.
    environment = dict(os.environ, KESTRAVA_TRIAL=link, PYTHONUNBUFFERED="1")
    # The program's `import kestrava` is this package, wherever the judge was started from.
    package_parent = str(Path(__file__).resolve().parent.parent)
    environment["PYTHONPATH"] = os.pathsep.join(filter(None, [package_parent, os.environ.get("PYTHONPATH")]))
    return environment


class ProgramOutput:
    """The last lines a program printed, both streams as they come, and the last of standard error."""

    def __init__(self, program: subprocess.Popen) -> None:
        self.lines: collections.deque[str] = collections.deque(maxlen=OUTPUT_LINES_KEPT)
        self.last_error = ""
        self._lock = threading.Lock()
        self._readers = [threading.Thread(target=self._keep, args=(stream, stream is program.stderr), daemon=True)
                         for stream in (program.stdout, program.stderr)]
        for reader in self._readers:
            reader.start()

    def _keep(self, stream, is_error: bool) -> None:
        for raw in stream:  # read to the end, however much: a pipe left full would stop the program
            text = raw.decode(errors="replace").rstrip()[:OUTPUT_LINE_CHARACTERS]
            if text:
                with self._lock:
                    self.lines.append(text)
                    self.last_error = text if is_error else self.last_error
        stream.close()

    def finish(self) -> None:
        for reader in self._readers:
            reader.join(GRACE_SECONDS)


def run_trial(program: str, command: list[str], seed: int, options: argparse.Namespace, view: bool) -> Trial:
    with tempfile.TemporaryDirectory(prefix="kestrava-judge-") as folder:
        simulator = TrialSimulator(folder, options.arena, seed, options.fast, view)
        try:
            return judge(program, command, seed, simulator, options.limit, options.sandboxes)
        finally:
            simulator.close()


def start_program(program: str, command: list[str], link: str,
                  sandboxes: sandbox.Sandboxes | None) -> subprocess.Popen | sandbox.SandboxedProgram:
    path = Path(program)
    try:
        if sandboxes:
            return sandboxes.start(path, program_entry(path), command, link)
        return subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                env=program_environment(link), start_new_session=True,
                                cwd=path if path.is_dir() else None)
    except OSError as error:
        raise UsageError(f"cannot start {command[0]}: {error.strerror or error}") from None


def judge(program: str, command: list[str], seed: int, simulator: TrialSimulator, limit: float,
          sandboxes: sandbox.Sandboxes | None = None) -> Trial:
    arena = simulator_world(simulator)
    process = start_program(program, command, simulator.link, sandboxes)
    output = ProgramOutput(process)
    started = time.monotonic()
    limited = False
    while process.poll() is None and not (sandboxes and process.bound):
        if simulator_run(simulator).state == "finished":
            break
        if time.monotonic() - started >= limit or _interrupted.is_set():
            limited = True
            break
        try:
            process.wait(TICK_SECONDS)
        except subprocess.TimeoutExpired:
            pass
    elapsed = time.monotonic() - started
    # The run ends here, before the program's group is asked to end: nothing after counts.
    run = simanswers.run(simulator.command("end"))
    process.end() if sandboxes else end_group(process)
    output.finish()
    bound = process.bound_reason(output.last_error) if sandboxes else ""
    path = simanswers.path(simulator.command("path"))
    final = simulator_world(simulator).robot
    if run.state == "finished":
        result, seconds = "candle out", run.time
    elif bound:
        result, seconds = "crashed", elapsed
    elif limited:
        result, seconds = "time limit", limit
    else:
        result, seconds = ("crashed" if process.returncode else "ended"), elapsed
    return Trial(program, seed, list(arena.candle), result, round(seconds, 1), run.contacts,
                 simulator.motors_stopped(), None if limited or bound else process.returncode,
                 bound or (output.last_error or (output.lines[-1] if output.lines else "")) if result == "crashed" else "",
                 list(output.lines), list(final),
                 closest_approach(path, arena.candle, final), fan_time(path),
                 [[p.t, p.x, p.y, p.heading, p.fan, p.contact] for p in path])


def simulator_world(simulator: TrialSimulator) -> simanswers.WorldAnswer:
    try:
        return simanswers.world(simulator.command("world"))
    except ValueError as error:
        raise SimulatorFailed(f"the trial's simulator gave no world: {error}") from None


def simulator_run(simulator: TrialSimulator) -> simanswers.RunAnswer:
    return simanswers.run(simulator.command("run"))


def closest_approach(path: list[simanswers.PathPoint], candle, final) -> float:
    where = [(p.x, p.y) for p in path] or [(final[0], final[1])]
    return round(min(math.dist(point, candle) for point in where), 1)


def fan_time(path: list[simanswers.PathPoint]) -> float:
    return round(sum(b.t - a.t for a, b in zip(path, path[1:]) if a.fan), 1)


# ---- Scores and ranking ----

def trial_score(trial: Trial, limit: float, penalty: float) -> float:
    return (trial.time if trial.result == "candle out" else limit) + penalty * trial.contacts


def ranking(trials: list[Trial], limit: float, penalty: float) -> list[Standing]:
    """Lowest score first; equal scores share a rank and keep the programs' name order."""
    by_program: dict[str, list[Trial]] = {}
    for trial in trials:
        by_program.setdefault(trial.program, []).append(trial)
    standings = []
    for program in sorted(by_program):
        own = by_program[program]
        out = [t.time for t in own if t.result == "candle out"]
        standings.append(Standing(0, program, len(own), len(out), round(sum(trial_score(t, limit, penalty) for t in own), 1),
                                  round(statistics.median(out), 1) if out else None, sum(t.contacts for t in own)))
    standings.sort(key=lambda s: s.score)
    for place, standing in enumerate(standings, 1):
        same = place > 1 and standings[place - 2].score == standing.score
        standing.rank = standings[place - 2].rank if same else place
    return standings


def plural(count: int, noun: str) -> str:
    return f"{count} {noun}" if count == 1 else f"{count} {noun}s"


def score_line(standings: list[Standing], limit: float, penalty: float) -> str:
    trials = sum(s.trials for s in standings)
    return f"{plural(len(standings), 'program')}, {plural(trials, 'trial')}; " + RULE.format(limit=limit, penalty=penalty)


def _aligned(rows: list[list[str]], out) -> None:
    widths = [max(len(row[column]) for row in rows) for column in range(len(rows[0]))]
    for row in rows:
        print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip(), file=out)


def _seconds(value: float) -> str:
    return f"{value:.1f} s"


def print_trials(trials: list[Trial], out) -> None:
    rows = [["seed", "candle", "result", "time", "contacts", "closest", "why"]]
    rows += [[str(t.seed), f"({t.candle[0]:g}, {t.candle[1]:g})", t.result, _seconds(t.time), str(t.contacts),
              "—" if t.closest is None else f"{t.closest:g} cm", t.reason()] for t in trials]
    _aligned(rows, out)


def print_ranking(standings: list[Standing], out) -> None:
    rows = [["rank", "program", "out", "score", "median", "contacts"]]
    rows += [[str(s.rank), s.program, f"{s.out}/{s.trials}", _seconds(s.score),
              "—" if s.median is None else _seconds(s.median), str(s.contacts)] for s in standings]
    _aligned(rows, out)


def print_results(trials: list[Trial], how: str, options: argparse.Namespace, out) -> None:
    standings = ranking(trials, options.limit, options.contact_penalty)
    if how == "json":
        for trial in trials:
            record = asdict(trial)
            record.pop("path")
            print(json.dumps(record), file=out)
        print(json.dumps({"ranking": [asdict(s) for s in standings], "limit": options.limit,
                          "contact_penalty": options.contact_penalty, "sandbox": sandbox_note(options)}), file=out)
    elif how == "csv":
        writer = csv.writer(out, lineterminator="\n")
        writer.writerow(["program", "seed", "candle_x", "candle_y", "result", "time", "contacts", "motors_stopped",
                         "status", "error", "closest", "fan_seconds"])
        for t in trials:
            writer.writerow([t.program, t.seed, f"{t.candle[0]:g}", f"{t.candle[1]:g}", t.result, t.time, t.contacts,
                             t.motors_stopped, "" if t.status is None else t.status, t.error,
                             "" if t.closest is None else t.closest, t.fan_seconds])
    else:
        if len(standings) == 1:
            print_trials(trials, out)
        else:
            print_ranking(standings, out)
        print(score_line(standings, options.limit, options.contact_penalty), file=out)
        if sandbox_note(options):
            print(sandbox_note(options), file=out)


def merged(files: list[str]) -> list[Trial]:
    """The trials of JSON lines written by --json (their rankings left out), by program and seed."""
    known = {f.name for f in fields(Trial)}
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
                        trials.append(Trial(**{key: value for key, value in record.items() if key in known}))
                except (ValueError, TypeError):
                    raise UsageError(f"{name}:{number}: not a trial of kestrava-judge --json") from None
    return sorted(trials, key=lambda trial: (trial.program, trial.seed))


# ---- Running the trials ----

class Progress:
    """One line on a terminal that updates: trials done of all, running, and time left."""

    def __init__(self, total: int, jobs: int) -> None:
        self._shown = sys.stderr.isatty()
        self._total, self._jobs = total, jobs
        self._done = 0
        self._started = time.monotonic()
        self._lock = threading.Lock()
        self.show()

    def one_done(self) -> None:
        with self._lock:
            self._done += 1
            self.show()

    def show(self) -> None:
        if not self._shown:
            return
        running = min(self._jobs, self._total - self._done)
        left = ""
        if self._done:
            seconds = (time.monotonic() - self._started) / self._done * (self._total - self._done)
            left = f", about {int(seconds // 60)} min {int(seconds % 60):02d} s left"
        print(f"\r{self._done} of {plural(self._total, 'trial')} done, {running} running{left}\033[K",
              end="", file=sys.stderr, flush=True)

    def close(self) -> None:
        if self._shown:
            print("\r\033[K", end="", file=sys.stderr, flush=True)


def run_all(commands: dict[str, list[str]], seeds: list[int], options: argparse.Namespace) -> list[Trial]:
    """Every program on every seed, listed by program then seed, whatever order they finish in."""
    work = [(program, seed) for program in commands for seed in seeds]
    progress = Progress(len(work), min(options.jobs, len(work)))
    with concurrent.futures.ThreadPoolExecutor(max_workers=min(options.jobs, len(work))) as pool:
        futures = [pool.submit(run_trial, program, commands[program], seed, options, options.view and index == 0)
                   for index, (program, seed) in enumerate(work)]
        for future in futures:
            future.add_done_callback(lambda _: progress.one_done())
        try:
            return [future.result() for future in futures]
        except BaseException:
            _interrupted.set()
            for future in futures:
                future.cancel()
            raise
        finally:
            progress.close()


def report(path: str, trials: list[Trial], options: argparse.Namespace) -> None:
    standings = ranking(trials, options.limit, options.contact_penalty)
    try:
        judgereport.write_report(path, trials, standings, arena_of(options), options)
    except OSError as error:
        raise UsageError(f"{path}: {error.strerror}") from None


def arena_of(options: argparse.Namespace) -> simanswers.WorldAnswer:
    """The arena's walls and boxes, as a simulator of its own reads the file."""
    with tempfile.TemporaryDirectory(prefix="kestrava-judge-") as folder:
        simulator = TrialSimulator(folder, options.arena, 0, True, False)
        try:
            return simanswers.world(simulator.command("world"))
        finally:
            simulator.close()


def argument_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="kestrava-judge", usage="kestrava-judge PROGRAM... [OPTIONS] [-- ARGS...]",
        description="Runs robot programs on simulated trials, one per seed each, scores every trial from the "
                    "simulator and ranks the programs. " + RULE.format(limit=120, penalty=5).capitalize()
                    + " (with the defaults). Equal scores share a rank, in name order.",
        epilog=f"Exit status: 0 done, {USAGE} usage, {NO_SIMULATOR} the simulator or a sandbox could not start, "
               f"{INTERRUPTED} interrupted.")
    parser.add_argument("program", nargs="*", metavar="PROGRAM",
                        help="a .py file (run with this Python), a program, a program folder (with a main.py or "
                             "main), or a folder of them; "
                             "with --merge, the JSON files")
    parser.add_argument("--arena", default="house", metavar="NAME|FILE", help="the arena (default: house)")
    parser.add_argument("--seeds", default="1", metavar="LIST", help="seeds, such as 1-8 or 1,4,9 (default: 1)")
    parser.add_argument("--jobs", type=int, default=DEFAULT_JOBS, metavar="N",
                        help=f"trials side by side (default: {DEFAULT_JOBS}, from a trial's processor time and the "
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
    parser.add_argument("--fast", action="store_true", help="no wire time (for tests; times are not comparable)")
    sandbox.add_options(parser)
    parser.add_argument("--merge", action="store_true",
                        help="run nothing: rank the trials of --json files (or standard input)")
    parser.add_argument("--version", action="version", version=f"kestrava-judge {__version__}")
    return parser


def sandbox_note(options: argparse.Namespace) -> str:
    """The sandbox's line; none for merged trials, which do not say."""
    return "" if options.merge else sandbox.note(options.sandboxes)


def check(options: argparse.Namespace) -> None:
    if options.jobs < 1:
        raise UsageError(f"--jobs takes 1 or more trials side by side, not {options.jobs}")
    if not 0 < options.limit <= 86400:
        raise UsageError(f"--limit takes more than 0 and at most 86400 seconds, not {options.limit:g}")
    if not 0 <= options.contact_penalty <= 86400:
        raise UsageError(f"--contact-penalty takes 0 to 86400 seconds, not {options.contact_penalty:g}")


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
        check(options)
        if options.merge:
            trials = merged(options.program)
        else:
            if not options.program:
                raise UsageError("name one PROGRAM or more, or a folder of them (their arguments go after --)")
            seeds = parse_seeds(options.seeds)
            programs = programs_named(options.program)
            commands = {program: command_for(program, argv[split + 1:]) for program in programs}
            options.sandboxes = sandbox.from_options(options, str(Path(__file__).resolve().parent.parent),
                                                     find_program())
            adopt_orphans()
            trials = run_all(commands, seeds, options)
        if options.report:
            report(options.report, trials, options)
    except UsageError as error:
        print(f"kestrava-judge: {error}", file=sys.stderr)
        return USAGE
    except (SimulatorFailed, sandbox.Unavailable, KestravaError) as error:
        print(f"kestrava-judge: {error}", file=sys.stderr)
        return NO_SIMULATOR
    except KeyboardInterrupt:
        print("kestrava-judge: interrupted; the trials under way were ended", file=sys.stderr)
        return INTERRUPTED
    print_results(trials, how, options, sys.stdout)
    return 0


if __name__ == "__main__":
    sys.exit(main())
