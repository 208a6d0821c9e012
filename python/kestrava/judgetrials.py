"""One judged trial: a simulator of its own for the trial, the program on its link, and what the
simulator says happened."""

from __future__ import annotations

import math
import subprocess
import tempfile
import threading
import time
from dataclasses import dataclass
from pathlib import Path

from . import simanswers
from ._server import find_program
from .judgeprocesses import GRACE_SECONDS, ProgramOutput, end_group, start_program
from .judgescores import Result, Trial

# How often a trial looks at its run: the candle's going out ends it within this.
TICK_SECONDS = 0.1
MOTORS = 0xB0
MODE_REGISTER = 15


class UsageError(Exception):
    """A wrong option, or a program or arena that cannot be used: exit status 2."""


class SimulatorFailed(Exception):
    """The trial's simulator would not start or went away: exit status 3."""


@dataclass(frozen=True, kw_only=True)
class TrialSettings:
    """What every trial of a class shares."""

    arena: str = "house"
    limit: float = 120.0
    fast: bool = False


class TrialSimulator:
    """A judged kestrava-sim for one trial, and its control commands through its standard input."""

    def __init__(self, folder: str, arena: str, seed: int, fast: bool, view: bool) -> None:
        self.link = str(Path(folder) / "adapter")
        program = str(Path(find_program()).with_name("kestrava-sim"))
        options = ["--link", self.link, "--judged", "--arena", arena, "--seed", str(seed)]
        options += ["--fast"] if fast else []
        options += ["--view"] if view else []
        try:
            self._process = subprocess.Popen([program, *options], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                             stderr=subprocess.PIPE, text=True)
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
            return simanswers.read_answer(self._process.stdout)
        except OSError:
            raise SimulatorFailed(f"the trial's simulator ended before {line!r}") from None
        except EOFError:
            raise SimulatorFailed(f"the trial's simulator ended during {line!r}") from None

    def world(self) -> simanswers.WorldAnswer:
        try:
            return simanswers.world(self.command("world"))
        except ValueError as error:
            raise SimulatorFailed(f"the trial's simulator gave no world: {error}") from None

    def run(self) -> simanswers.RunAnswer:
        return simanswers.run(self.command("run"))

    def motors_stopped(self) -> bool:
        mode, = simanswers.registers(self.command(f"get {MOTORS:X} {MODE_REGISTER}"))
        speeds = simanswers.registers(self.command(f"get {MOTORS:X} 0 2"))
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


def arena_of(arena: str) -> simanswers.WorldAnswer:
    """The arena's walls and boxes, as a simulator of its own reads the file."""
    with tempfile.TemporaryDirectory(prefix="kestrava-judge-") as folder:
        simulator = TrialSimulator(folder, arena, 0, True, False)
        try:
            return simulator.world()
        finally:
            simulator.close()


def run_trial(program: str, command: list[str], seed: int, settings: TrialSettings, *, view: bool,
              stop: threading.Event) -> Trial:
    """The program on a simulator of its own for seed; `stop` set ends it early, as the limit does."""
    with tempfile.TemporaryDirectory(prefix="kestrava-judge-") as folder:
        simulator = TrialSimulator(folder, settings.arena, seed, settings.fast, view)
        try:
            return _judge(program, command, seed, simulator, settings.limit, stop)
        finally:
            simulator.close()


def _judge(program: str, command: list[str], seed: int, simulator: TrialSimulator, limit: float,
           stop: threading.Event) -> Trial:
    arena = simulator.world()
    try:
        process = start_program(command, simulator.link)
    except OSError as error:
        raise UsageError(f"cannot start {command[0]}: {error.strerror or error}") from None
    output = ProgramOutput(process)
    started = time.monotonic()
    limited = _wait_for_the_end(process, simulator, started, limit, stop)
    elapsed = time.monotonic() - started
    # The run ends here, before the program's group is asked to end: nothing after counts.
    run = simanswers.run(simulator.command("end"))
    end_group(process)
    output.finish()
    path = simanswers.path(simulator.command("path"))
    final = simulator.world().robot
    if run.state == "finished":
        result, seconds = Result.CANDLE_OUT, run.time
    elif limited:
        result, seconds = Result.TIME_LIMIT, limit
    else:
        result, seconds = (Result.CRASHED if process.returncode else Result.ENDED), elapsed
    return Trial(program=program, seed=seed, candle=list(arena.candle), result=result, time=round(seconds, 1),
                 contacts=run.contacts, motors_stopped=simulator.motors_stopped(),
                 status=None if limited else process.returncode,
                 error=(output.last_error or output.last_line) if result is Result.CRASHED else "",
                 output=list(output.lines), pose=list(final), closest=closest_approach(path, arena.candle, final),
                 fan_seconds=fan_time(path), path=path)


def _wait_for_the_end(process: subprocess.Popen, simulator: TrialSimulator, started: float, limit: float,
                      stop: threading.Event) -> bool:
    """Until the program ends or the candle goes out (False), or the limit or `stop` comes first (True)."""
    while process.poll() is None:
        if simulator.run().state == "finished":
            return False
        if time.monotonic() - started >= limit or stop.is_set():
            return True
        try:
            process.wait(TICK_SECONDS)
        except subprocess.TimeoutExpired:
            pass
    return False


def closest_approach(path: list[simanswers.PathPoint], candle, final) -> float:
    where = [(p.x, p.y) for p in path] or [(final[0], final[1])]
    return round(min(math.dist(point, candle) for point in where), 1)


def fan_time(path: list[simanswers.PathPoint]) -> float:
    return round(sum(b.t - a.t for a, b in zip(path, path[1:]) if a.fan), 1)
