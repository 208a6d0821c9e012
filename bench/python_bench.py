#!/usr/bin/env python3
"""Figures of the Python package against kestrava-sim with wire time, through kestrava-cli serve.

Run by ./dev.sh bench after kestrava-bench, with KESTRAVA_CLI set to the built program
(kestrava-sim beside it) and the package on PYTHONPATH.
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import kestrava

BYTE_MS = 0.573  # one byte at 19200 baud, 8 data bits and 2 stop bits
READS = 300
SECONDS = 5


def percentile_95(values):
    return sorted(values)[int(len(values) * 0.95)]


def timed_ms(call, times):
    spans = []
    for _ in range(times):
        start = time.perf_counter()
        call()
        spans.append((time.perf_counter() - start) * 1000)
    return spans


def calls_per_second(call, seconds):
    count, end = 0, time.monotonic() + seconds
    while time.monotonic() < end:
        call()
        count += 1
    return count / seconds


def measure(robot):
    hello = timed_ms(lambda: robot._server.call("hello"), READS)
    print(f"python: a request with no bus traffic (hello): {statistics.median(hello):.3f} ms median, "
          f"{percentile_95(hello):.3f} ms p95 ({READS} requests)")
    wire = 5 * BYTE_MS
    timed_ms(lambda: robot.read(0xC0, 0, 1), 20)
    beyond = [span - wire for span in timed_ms(lambda: robot.read(0xC0, 0, 1), READS)]
    print(f"python: Robot.read of one byte: {statistics.median(beyond):.3f} ms median, {percentile_95(beyond):.3f} ms "
          f"p95 beyond its wire time of {wire:.3f} ms ({READS} reads; goal: under 0.5 ms more than the "
          f"command-line engine's figure)")
    ranges_side_by_side(robot)
    limit = 1000 / (8 * BYTE_MS)
    rate = calls_per_second(robot.bearing, SECONDS)
    print(f"python: bearing(): {rate:.0f} calls a second for {SECONDS} s, against the wire's limit of "
          f"{limit:.0f} (4 + 4 bytes a call): {rate / limit:.2f} of it")


def ranges_side_by_side(robot, times=20):
    one_by_one = statistics.median(timed_ms(lambda: robot._server.call("ranges", {"together": False}), times))
    together = statistics.median(timed_ms(lambda: robot._server.call("ranges"), times))
    print(f"python: ranges(): {together:.1f} ms median together, {one_by_one:.1f} ms one by one "
          f"({times} each): {together / one_by_one:.2f} of it (goal: at most 0.30)")


def main():
    simulator_program = str(Path(kestrava._server.find_program()).with_name("kestrava-sim"))
    with tempfile.TemporaryDirectory() as folder:
        link = os.path.join(folder, "adapter")
        simulator = subprocess.Popen([simulator_program, "--link", link], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE)
        try:
            simulator.stdout.readline()
            with kestrava.Robot(device=link, watchdog=0) as robot:
                measure(robot)
        finally:
            simulator.stdin.close()
            simulator.wait()


if __name__ == "__main__":
    sys.exit(main())
