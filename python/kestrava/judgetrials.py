"""One judged trial: a simulator of its own for the trial, the program on its link, and what the
simulator says happened."""

from __future__ import annotations

import enum
import math
import subprocess
import tempfile
import threading
import time
from dataclasses import dataclass
from pathlib import Path

from . import sandbox, simanswers
from ._server import find_program
from .judgeerrors import SimulatorFailed, UsageError
from .judgeprocesses import GRACE_SECONDS, ProgramOutput, end_group, hold_group, start_program
from .judgeprograms import program_entry
from .judgescores import Result, Trial

# How often a trial looks at its run: the candle's going out ends it within this (in real time; a judged
# run ends on the simulator's clock when the candle goes out, whenever the judge looks).
TICK_SECONDS = 0.1
STEPPED_TICK_SECONDS = 0.02
# A stepped program that neither waits nor talks to the robot this long in real time is stuck: its
# clock would never reach the limit.
STUCK_SECONDS = 10.0
MOTORS = 0xB0
RELAYS = 0x70
RELAY_PATTERN = 1


class Ending(enum.Enum):
    """What ended the program's wait."""

    ITSELF = "it ended"
    CANDLE_OUT = "the candle went out"
    LIMIT = "the time limit"
    STUCK = "a stepped clock that stood still"
    STOP = "a stop (Ctrl-C or SIGTERM)"


class TrialCut(Exception):
    """A stop came before the trial was over: it is not counted."""

    def __init__(self, program: str, seed: int, started: bool) -> None:
        super().__init__(f"{program} seed {seed}")
        self.program, self.seed, self.started = program, seed, started


@dataclass(frozen=True, kw_only=True)
class TrialSettings:
    """What every trial of a class shares."""

    arena: str = "house"
    limit: float = 120.0
    fast: bool = False
    clock: str = "stepped"
    sandboxes: sandbox.Sandboxes | None = None  # none: the programs run unsandboxed (--no-sandbox)


class TrialSimulator:
    """A judged kestrava-sim for one trial, and its control commands through its standard input."""

    def __init__(self, folder: str, arena: str, seed: int, fast: bool, view: bool, clock: str = "real") -> None:
        self.link = str(Path(folder) / "adapter")
        self.clock = clock
        program = str(Path(find_program()).with_name("kestrava-sim"))
        # The seed fixes the candle's place: on standard input, never on a command line, which every process reads.
        options = ["--link", self.link, "--judged", "--arena", arena, "--seed", "-", "--clock", clock]
        # A stepped clock moves by the wire's time: without it, a program that only reads would never see time pass.
        options += ["--fast"] if fast and clock == "real" else []
        options += ["--view"] if view else []
        try:
            # A session of its own: a Ctrl-C at the terminal reaches the judge alone, which ends the trial.
            self._process = subprocess.Popen([program, *options], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                             stderr=subprocess.PIPE, text=True, start_new_session=True)
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

    def command(self, line: str) -> dict:
        """The values of the command's answer; ValueError when the simulator refused it."""
        try:
            self._process.stdin.write(simanswers.asking(line) + "\n")
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

    def time(self) -> float:
        """Its clock's time in seconds."""
        return simanswers.clock(self.command("clock"))[1]

    def motors_stopped(self) -> bool:
        """Whether the motor controller's speed registers hold its mode's stop, as the controller says."""
        return simanswers.registers(self.command(f"get {MOTORS:X} 0")).wheels_at_stop is True

    def relays_on(self) -> list[int]:
        """The relays the board holds on, 1 to 8."""
        pattern, = simanswers.registers(self.command(f"get {RELAYS:X} {RELAY_PATTERN}")).values
        return [bit + 1 for bit in range(8) if pattern >> bit & 1]

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
    """The program on a simulator of its own for seed. `stop` set ends it early and raises TrialCut."""
    if stop.is_set():
        raise TrialCut(program, seed, started=False)
    with tempfile.TemporaryDirectory(prefix="kestrava-judge-") as folder:
        # A stepped simulator is not paced to the wall: a trial to be watched runs in real time.
        clock = "real" if view else settings.clock
        simulator = TrialSimulator(folder, settings.arena, seed, settings.fast, view, clock)
        try:
            trial = _judge(program, command, seed, simulator, settings, stop)
        finally:
            simulator.close()
    if trial is None:
        raise TrialCut(program, seed, started=True)
    return trial


def _start(program: str, command: list[str], link: str,
           sandboxes: sandbox.Sandboxes | None) -> subprocess.Popen | sandbox.SandboxedProgram:
    path = Path(program)
    try:
        if sandboxes:
            return sandboxes.start(path, program_entry(path), command, link)
        return start_program(command, link, program if path.is_dir() else None)
    except OSError as error:
        raise UsageError(f"cannot start {command[0]}: {error.strerror or error}") from None


def _judge(program: str, command: list[str], seed: int, simulator: TrialSimulator, settings: TrialSettings,
           stop: threading.Event) -> Trial | None:
    arena = simulator.world()
    limit, sandboxes = settings.limit, settings.sandboxes
    # The trial's time starts with its program, on the simulator's clock, and the limit is on that clock.
    started = simulator.time()
    simulator.command(f"trial {limit!r}")
    process = _start(program, command, simulator.link, sandboxes)
    output = ProgramOutput(process)
    ending = _wait_for_the_end(process, simulator, started + limit, stop)
    # The program stops where it stands (on a stepped clock, at its first request after the run, which the
    # simulator holds), then the run ends, before the program is asked to end: nothing after counts.
    process.hold() if sandboxes else hold_group(process)
    run = simanswers.run(simulator.command("end"))
    ended_by_judge = process.poll() is None
    process.end() if sandboxes else end_group(process)
    output.finish()
    if ending is Ending.STOP:
        return None
    bound = process.bound_reason(output.last_error) if sandboxes else ""
    ended_by_judge = ended_by_judge and not bound
    path = simanswers.path(simulator.command("path"))
    final = simulator.world().robot
    if run.state == "finished":
        result, seconds = Result.CANDLE_OUT, run.time
    elif bound:
        result, seconds = Result.CRASHED, run.time
    elif ending is Ending.LIMIT:
        result, seconds = Result.TIME_LIMIT, limit
    elif ending is Ending.STUCK:
        result, seconds = Result.STUCK, run.time
    else:
        result, seconds = (Result.CRASHED if process.returncode else Result.ENDED), run.time
    motors_stopped = simulator.motors_stopped()
    return Trial(program=program, seed=seed, candle=list(arena.candle), result=result, time=round(seconds, 1),
                 contacts=run.contacts, motors_stopped=motors_stopped,
                 status=None if ended_by_judge or bound else process.returncode, ended_by_judge=ended_by_judge,
                 error=bound or (output.last_error or output.last_line) if result is Result.CRASHED else "",
                 output=list(output.lines), pose=list(final), closest=closest_approach(path, arena.candle, final),
                 fan_seconds=fan_time(path), path=path, clock=simulator.clock,
                 left_on=[] if ended_by_judge else left_on(simulator.relays_on(), arena.fan_relay, motors_stopped))


def left_on(relays: list[int], fan_relay: int, motors_stopped: bool) -> list[str]:
    """What a program that ended by itself left running: its own doing, since the judge had not ended it."""
    named = ["fan" if relay == fan_relay else f"relay {relay}" for relay in relays]
    return named + ([] if motors_stopped else ["motors"])


def _wait_for_the_end(process: subprocess.Popen | sandbox.SandboxedProgram, simulator: TrialSimulator,
                      ends_at: float, stop: threading.Event) -> Ending:
    """`ends_at` on the simulator's clock; a stepped clock that stands still STUCK_SECONDS of real time is stuck."""
    stepped = simulator.clock == "stepped"
    last, still_since = None, time.monotonic()
    while process.poll() is None and not getattr(process, "bound", ""):  # a bound hit ends it at once
        if simulator.run().state == "finished":
            return Ending.CANDLE_OUT
        if stop.is_set():
            return Ending.STOP
        now = simulator.time()
        if now >= ends_at:
            return Ending.LIMIT
        if now != last:
            last, still_since = now, time.monotonic()
        elif stepped and time.monotonic() - still_since >= STUCK_SECONDS:
            return Ending.STUCK
        try:
            process.wait(STEPPED_TICK_SECONDS if stepped else TICK_SECONDS)
        except subprocess.TimeoutExpired:
            pass
    return Ending.ITSELF


def closest_approach(path: list[simanswers.PathPoint], candle, final) -> float:
    where = [(p.x, p.y) for p in path] or [(final[0], final[1])]
    return round(min(math.dist(point, candle) for point in where), 1)


def fan_time(path: list[simanswers.PathPoint]) -> float:
    return round(sum(b.t - a.t for a, b in zip(path, path[1:]) if a.fan), 1)
