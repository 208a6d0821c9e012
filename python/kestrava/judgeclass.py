"""A class's trials: every program on every seed, side by side, with a progress line on a terminal."""

from __future__ import annotations

import concurrent.futures
import math
import os
import sys
import threading
import time

from .judgescores import Trial, plural
from .judgeprocesses import adopt_orphans
from .judgetrials import TrialSettings, run_trial

# What one trial of examples/candle.py costs: 1.2 s of processor time in 11 to 13 s (./dev.sh bench
# measures it, and the trials' times side by side against alone). The trials wait on the
# simulator's real time, so a core carries several side by side and stays about half idle.
TRIAL_PROCESSOR_SHARE = 0.09
CORE_SHARE_USED = 0.55


def default_jobs() -> int:
    return max(1, math.floor((os.cpu_count() or 1) * CORE_SHARE_USED / TRIAL_PROCESSOR_SHARE))


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


class ClassRun:
    """The trials of one call. It owns the event that ends every trial under way (Ctrl-C): each program
    runs in a session of its own, out of the terminal's reach, so the judge ends it and its simulator."""

    def __init__(self, commands: dict[str, list[str]], seeds: list[int], settings: TrialSettings, *,
                 jobs: int, view: bool) -> None:
        self.stop = threading.Event()
        self._work = [(program, seed) for program in commands for seed in seeds]
        self._commands, self._settings = commands, settings
        self._jobs, self._view = min(jobs, len(self._work)), view

    def trials(self) -> list[Trial]:
        """Every program on every seed, listed by program then seed, whatever order they finish in."""
        adopt_orphans()
        progress = Progress(len(self._work), self._jobs)
        with concurrent.futures.ThreadPoolExecutor(max_workers=self._jobs) as pool:
            futures = [pool.submit(run_trial, program, self._commands[program], seed, self._settings,
                                   view=self._view and index == 0, stop=self.stop)
                       for index, (program, seed) in enumerate(self._work)]
            for future in futures:
                future.add_done_callback(lambda _: progress.one_done())
            try:
                return [future.result() for future in futures]
            except BaseException:
                self.stop.set()
                for future in futures:
                    future.cancel()
                raise
            finally:
                progress.close()
