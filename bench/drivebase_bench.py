#!/usr/bin/env python3
"""The drive base's end errors and the candle example's runs, judged by kestrava-sim's own world, with wire time.

Run by ./dev.sh bench after python_bench.py, with KESTRAVA_CLI set to the built program
(kestrava-sim beside it) and the package on PYTHONPATH.
"""

import math
import os
import statistics
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import kestrava
from kestrava import simanswers

CANDLE = Path(__file__).resolve().parents[1] / "examples" / "candle.py"
SEEDS = range(1, 9)
CANDLE_SECONDS = 180
AT_ONCE = 2  # candle runs side by side: each mostly waits on the simulated robot's real time


class Simulator:
    """kestrava-sim on a link in a folder of its own, with its control commands at hand."""

    def __init__(self, folder, *options):
        program = str(Path(kestrava._server.find_program()).with_name("kestrava-sim"))
        self.link = os.path.join(folder, "adapter")
        self._process = subprocess.Popen([program, "--link", self.link, *options], stdin=subprocess.PIPE,
                                         stdout=subprocess.PIPE, text=True)
        self._process.stdout.readline()

    def __call__(self, command):
        """The values of the command's JSON answer; ValueError when it was refused."""
        self._process.stdin.write(simanswers.asking(command) + "\n")
        self._process.stdin.flush()
        try:
            return simanswers.read_answer(self._process.stdout)
        except EOFError:
            raise RuntimeError(f"the simulator ended during {command!r}") from None

    def pose(self):
        return simanswers.world(self("world")).robot

    def quit(self):
        self._process.stdin.close()
        self._process.wait(10)


def end_error(sim, robot, start, move, travel, turned):
    """How far from `travel` cm and `turned` degrees the move ended, by the simulator's pose."""
    sim(f"pose {start}")
    before = sim.pose()
    move(robot)
    after = sim.pose()
    heading = (after[2] - before[2] - turned + 180) % 360 - 180
    return abs(math.dist(before[:2], after[:2]) - travel), abs(heading)


def five_squares(robot):
    for _ in range(5 * 4):
        robot.forward(60, speed=40)
        robot.turn(90)


def drive_base_errors():
    with tempfile.TemporaryDirectory() as folder:
        sim = Simulator(folder)
        try:
            with kestrava.Robot(device=sim.link, watchdog=1000) as robot:
                for what, start, move, travel, turned, goal in [
                        ("forward(50)", "300 100 0", lambda r: r.forward(50), 50, 0, "1 cm, 2 degrees"),
                        ("turn(90)", "300 200 0", lambda r: r.turn(90), 0, 90, "2 degrees"),
                        ("five 60 cm squares at 40 cm/s", "300 100 0", five_squares, 0, 0, "5 cm, 3 degrees")]:
                    cm, degrees = end_error(sim, robot, start, move, travel, turned)
                    print(f"python: drive base {what}: ends {cm:.2f} cm and {degrees:.2f} degrees off, by the "
                          f"simulator's pose (goal: within {goal})")
        finally:
            sim.quit()


def candle_run(seed):
    """The run's time in s when the candle went out, else None."""
    with tempfile.TemporaryDirectory() as folder:
        sim = Simulator(folder, "--arena", "house", "--seed", str(seed))
        try:
            subprocess.run([sys.executable, str(CANDLE), "--device", sim.link], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=CANDLE_SECONDS)
        except subprocess.TimeoutExpired:
            pass
        finally:
            run = simanswers.run(sim("run"))
            sim.quit()
    return run.time if run.state == "finished" else None


def candle_runs():
    with ThreadPoolExecutor(AT_ONCE) as pool:
        times = list(pool.map(candle_run, SEEDS))
    out = [seconds for seconds in times if seconds is not None]
    median = f"{statistics.median(out):.1f} s" if out else "none"
    print(f"python: examples/candle.py in the house, seeds {SEEDS[0]} to {SEEDS[-1]}: the candle out in {len(out)} of "
          f"{len(times)} runs, median time {median} by the simulator's run (goal: at least 7 of 8); each: "
          + ", ".join("--" if seconds is None else f"{seconds:.1f}" for seconds in times))


if __name__ == "__main__":
    drive_base_errors()
    candle_runs()
