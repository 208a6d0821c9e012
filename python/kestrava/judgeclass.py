"""A class's trials: every program on every seed, side by side, with a progress line on a terminal, and a
stop (Ctrl-C, SIGTERM) that keeps what finished."""

from __future__ import annotations

import concurrent.futures
import math
import os
import sys
import threading
import time
from dataclasses import dataclass, field

from .judgeprocesses import adopt_orphans
from .judgescores import Result, Trial, plural
from .judgetrials import TrialCut, TrialSettings, run_trial

# What one trial of examples/candle.py costs: 1.2 s of processor time in 11 to 13 s (./dev.sh bench
# measures it, and the trials' times side by side against alone). The trials wait on the
# simulator's real time, so a core carries several side by side and stays about half idle.
TRIAL_PROCESSOR_SHARE = 0.09
CORE_SHARE_USED = 0.55
# How soon the main thread hears a stop whichever thread the signal reached.
SIGNAL_HEARD_SECONDS = 0.2


def default_jobs(clock: str = "stepped") -> int:
    """A stepped trial waits on nothing: its program, server and simulator take turns on one core's worth,
    so one a core. A real-time trial waits on the wall, so a core carries several."""
    cores = os.cpu_count() or 1
    if clock == "stepped":
        return cores
    return max(1, math.floor(cores * CORE_SHARE_USED / TRIAL_PROCESSOR_SHARE))


class Stop:
    """Set by a signal: every trial under way ends its program (in a session of its own, out of the
    terminal's reach) and its simulator; no other trial starts."""

    def __init__(self) -> None:
        self.event = threading.Event()
        self.signal: int | None = None

    def by(self, number: int, _frame=None) -> None:
        self.signal = self.signal or number
        self.event.set()


@dataclass
class Outcome:
    trials: list[Trial]
    cut: list[str] = field(default_factory=list)   # "program seed N": under way at the stop, not counted
    not_started: int = 0


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


@dataclass(frozen=True, kw_only=True)
class ClassRun:
    """Every program on every seed. `problems` names the programs that cannot run (a file that does not
    compile): their trials fail without a simulator."""

    commands: dict[str, list[str]]
    problems: dict[str, str]
    seeds: list[int]
    settings: TrialSettings
    jobs: int
    view: bool
    stop: Stop

    def outcome(self) -> Outcome:
        """The trials listed by program then seed, whatever order they finish in."""
        work = [(program, seed) for program in self.commands for seed in self.seeds]
        runnable = [(program, seed) for program, seed in work if program not in self.problems]
        finished = dict(zip(runnable, self._run(runnable)))
        outcome = Outcome([])
        for program, seed in work:
            done = finished.get((program, seed)) or self._unrunnable(program, seed)
            if isinstance(done, TrialCut):
                outcome.cut += [str(done)] if done.started else []
                outcome.not_started += 0 if done.started else 1
            else:
                outcome.trials.append(done)
        return outcome

    def _run(self, work: list[tuple[str, int]]) -> list[Trial | TrialCut]:
        if not work:
            return []
        adopt_orphans()
        jobs = min(self.jobs, len(work))
        progress = Progress(len(work), jobs)
        with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
            futures = [pool.submit(run_trial, program, self.commands[program], seed, self.settings,
                                   view=self.view and index == 0, stop=self.stop.event)
                       for index, (program, seed) in enumerate(work)]
            for future in futures:
                future.add_done_callback(lambda _: progress.one_done())
            try:
                return [_result(future) for future in futures]
            except BaseException:
                self.stop.event.set()
                raise
            finally:
                progress.close()

    def _unrunnable(self, program: str, seed: int) -> Trial:
        return Trial(program=program, seed=seed, candle=[], result=Result.DID_NOT_COMPILE,
                     time=self.settings.limit, contacts=0, motors_stopped=True, error=self.problems[program])


def _result(future: concurrent.futures.Future) -> Trial | TrialCut:
    # The kernel hands a signal to any thread, and Python runs its handler in the main thread only when that
    # thread next runs: a wait here without an end would leave a Ctrl-C unheard until the trial ends by itself.
    while True:
        try:
            return future.result(timeout=SIGNAL_HEARD_SECONDS)
        except concurrent.futures.TimeoutError:
            continue
        except TrialCut as cut:
            return cut
