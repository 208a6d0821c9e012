#!/usr/bin/env python3
"""kestrava-judge's figures on the stepped clock, with wire time: one trial's wall and processor time (by
process), the same trial repeated alone and beside busy processes, stepped against real on seeds 1-8,
and the wall time of a class of 30 programs x 8 seeds.

Run by ./dev.sh bench after drivebase_bench.py, with KESTRAVA_CLI set to the built program (kestrava-sim
beside it) and the package on PYTHONPATH. KESTRAVA_BENCH_CLASS=0 leaves the class of 30 out.
"""

import json
import os
import resource
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from kestrava import judge, judgeclass, sandbox
from kestrava._server import find_program

CANDLE = Path(__file__).resolve().parents[1] / "examples" / "candle.py"
CLASS_SIZE = 30
REPEATS = 10
SANDBOX_TRIALS = 10
TICKS = os.sysconf("SC_CLK_TCK")


def judged(*arguments):
    """The trials' JSON, the wall time and the processor time of the judge and everything it ran."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    started = time.monotonic()
    done = subprocess.run([sys.executable, "-m", "kestrava.judge", "--json", *arguments], capture_output=True,
                          text=True, check=True)
    wall = time.monotonic() - started
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    processor = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    trials = [json.loads(line) for line in done.stdout.splitlines()[:-1]]
    return trials, wall, processor


def processor_seconds(pid):
    """A live process's user and system time so far, from /proc."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def one_trial_by_process(folder):
    """examples/candle.py on seed 3 against a stepped simulator of the bench's own: each process's processor time."""
    sim = str(Path(os.environ["KESTRAVA_CLI"]).with_name("kestrava-sim"))
    link = str(Path(folder) / "adapter")
    simulator = subprocess.Popen([sim, "--clock", "stepped", "--link", link, "--judged", "--arena", "house",
                                  "--seed", "3"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    simulator.stdout.readline()
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    started = time.monotonic()
    subprocess.run([sys.executable, str(CANDLE)], env=dict(os.environ, KESTRAVA_TRIAL=link), check=True,
                   capture_output=True)
    wall = time.monotonic() - started
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    program = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)  # Python and its server
    simulated = processor_seconds(simulator.pid)
    simulator.stdin.close()
    simulator.wait()
    return wall, program, simulated


def same(trials):
    """Whether every trial is the first's: time, contacts, end pose and path."""
    keys = ("result", "time", "contacts", "pose", "path")
    return all({k: t[k] for k in keys} == {k: trials[0][k] for k in keys} for t in trials)


def repeated(folder, busy):
    """The same trial REPEATS times, each judged alone; beside `busy` processes that spin meanwhile."""
    spinners = [subprocess.Popen([sys.executable, "-c", "while True: pass"]) for _ in range(busy)]
    try:
        return [judged(str(CANDLE), "--seeds", "3", "--jobs", "1")[0][0] for _ in range(REPEATS)]
    finally:
        for spinner in spinners:
            spinner.kill()
            spinner.wait()


def sandbox_cost():
    """A program that ends at once, run in a sandbox as a trial runs it (made, waited for, ended) and run
    bare: the difference is what the sandbox adds to each trial, in time and in processor time."""
    sandboxes = sandbox.from_options(judge.argument_parser().parse_args([]), str(CANDLE.parents[1] / "python"),
                                     find_program())
    with tempfile.TemporaryDirectory() as folder:
        quick = Path(folder) / "quick.py"
        quick.write_text("pass\n")
        command = [sys.executable, str(quick)]
        link = os.path.join(folder, "adapter")
        _, terminal = os.openpty()
        os.symlink(os.ttyname(terminal), link)
        control = socket.socket(socket.AF_UNIX)
        control.bind(link + ".control")

        def sandboxed():
            program = sandboxes.start(quick, quick, command, link)
            while program.poll() is None:
                time.sleep(0.005)
            program.end()
            program.stdout.close()
            program.stderr.close()

        cost = [measured(sandboxed), measured(lambda: subprocess.run(command, check=True))]
        control.close()
    (wall, processor), (bare_wall, bare_processor) = cost
    print(f"a program's sandbox ({sandboxes.describe().split(':')[0]}; bwrap, its first process"
          f"{', its cgroups' if sandboxes.grouped else ''}), made and ended: {1000 * (wall - bare_wall):.0f} ms "
          f"of a trial's time, {1000 * (processor - bare_processor):.0f} ms of processor time "
          f"(median of {SANDBOX_TRIALS}, a program that ends at once)")


def measured(run):
    """The median wall time and processor time (this process and its children) of a call."""
    walls, processors = [], []
    for _ in range(SANDBOX_TRIALS):
        before = processor_time()
        started = time.monotonic()
        run()
        walls.append(time.monotonic() - started)
        processors.append(processor_time() - before)
    return statistics.median(walls), statistics.median(processors)


def processor_time():
    used = [resource.getrusage(who) for who in (resource.RUSAGE_SELF, resource.RUSAGE_CHILDREN)]
    return sum(u.ru_utime + u.ru_stime for u in used)


def main():
    sandbox_cost()
    with tempfile.TemporaryDirectory() as folder:
        trials, wall, processor = judged(str(CANDLE), "--seeds", "3", "--jobs", "1")
        print(f"one stepped trial of examples/candle.py (seed 3, {trials[0]['time']} s on its clock): {wall:.2f} s "
              f"wall, {processor:.2f} s of processor time")
        alone_wall, program, simulated = one_trial_by_process(folder)
        print(f"  by process, run alone: {alone_wall:.2f} s wall; the program and its server {program:.2f} s, "
              f"the simulator {simulated:.2f} s of processor time")
        alone, beside = repeated(folder, 0), repeated(folder, 2)
        print(f"the same trial {REPEATS} times alone: {'identical' if same(alone) else 'NOT identical'}; "
              f"{REPEATS} times beside two busy processes: "
              f"{'identical' if same(beside) and same([alone[0], beside[0]]) else 'NOT identical'} "
              f"(time, contacts, end pose and path; {alone[0]['time']} s, {len(alone[0]['path'])} points)")
        stepped, stepped_wall, _ = judged(str(CANDLE), "--seeds", "1-8", "--jobs", "1")
        real, real_wall, _ = judged(str(CANDLE), "--seeds", "1-8", "--jobs", "1", "--clock", "real")
        print(f"seeds 1-8 of examples/candle.py, one at a time: stepped {stepped_wall:.0f} s wall, "
              f"real {real_wall:.0f} s wall")
        for s, r in zip(stepped, real):
            print(f"  seed {s['seed']}: stepped {s['result']} {s['time']} s, real {r['result']} {r['time']} s, "
                  f"difference {r['time'] - s['time']:+.1f} s")
        if os.environ.get("KESTRAVA_BENCH_CLASS") == "0":
            return
        students = Path(folder) / "class"
        students.mkdir()
        for n in range(CLASS_SIZE):
            shutil.copy(CANDLE, students / f"student{n:02d}.py")
        trials, wall, _ = judged(str(students), "--seeds", "1-8")
        out = sum(t["result"] == "candle out" for t in trials)
        print(f"a class of {CLASS_SIZE} programs x 8 seeds ({len(trials)} stepped trials, "
              f"{judgeclass.default_jobs()} at once on {os.cpu_count()} cores): {wall:.0f} s, {out} candles out")


if __name__ == "__main__":
    main()
