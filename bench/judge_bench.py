#!/usr/bin/env python3
"""kestrava-judge's figures, with wire time: what a program's sandbox adds to a trial, a trial's processor
time, the trials it runs side by side by default, their times against the same trials run alone, and the
wall time of a class of 30 programs. Every trial but the sandbox's own comparison runs sandboxed.

Run by ./dev.sh bench after drivebase_bench.py, with KESTRAVA_CLI set to the built program (kestrava-sim
beside it) and the package on PYTHONPATH. It takes about ten minutes; KESTRAVA_BENCH_CLASS=0 leaves
the class of 30 out.
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
SANDBOX_TRIALS = 10


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


def median_difference(trials, alone):
    """The median of each trial's time against the same seed's alone, as a share of the latter."""
    by_seed = {t["seed"]: t["time"] for t in alone if t["result"] == "candle out"}
    return statistics.median(abs(t["time"] - by_seed[t["seed"]]) / by_seed[t["seed"]] for t in trials
                             if t["result"] == "candle out" and t["seed"] in by_seed)


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
    trials, wall, processor = judged(str(CANDLE), "--seeds", "3", "--jobs", "1")
    print(f"one trial of examples/candle.py (seed 3): {processor:.2f} s of processor time in {wall:.1f} s, "
          f"{100 * processor / wall:.0f} % of a core (the judge's default assumes "
          f"{100 * judgeclass.TRIAL_PROCESSOR_SHARE:.0f} %)")
    print(f"trials side by side by default on {os.cpu_count()} cores: {judgeclass.default_jobs()}")
    alone, _, _ = judged(str(CANDLE), "--seeds", "1-8", "--jobs", "1")
    again, _, _ = judged(str(CANDLE), "--seeds", "1-8", "--jobs", "1")
    print(f"seeds 1-8 of examples/candle.py alone, twice: median time difference "
          f"{100 * median_difference(again, alone):.1f} % (the example's own spread from run to run)")
    with tempfile.TemporaryDirectory() as folder:
        copies = []
        for n in range(2):  # 16 trials: the default's worth of them at once, and some waiting
            copies.append(str(Path(folder) / f"candle{n}.py"))
            shutil.copy(CANDLE, copies[-1])
        together, wall, _ = judged(*copies, "--seeds", "1-8")
        out = sum(t["result"] == "candle out" for t in together)
        print(f"seeds 1-8 of examples/candle.py twice, {judgeclass.default_jobs()} at once, against each alone: median "
              f"time difference {100 * median_difference(together, alone):.1f} %; {out} of {len(together)} "
              f"candles out; {wall:.0f} s in all")
        if os.environ.get("KESTRAVA_BENCH_CLASS") == "0":
            return
        students = Path(folder) / "class"
        students.mkdir()
        for n in range(CLASS_SIZE):
            shutil.copy(CANDLE, students / f"student{n:02d}.py")
        trials, wall, _ = judged(str(students), "--seeds", "1-8")
        out = sum(t["result"] == "candle out" for t in trials)
        print(f"a class of {CLASS_SIZE} programs x 8 seeds ({len(trials)} trials, {judgeclass.default_jobs()} at once): "
              f"{wall / 60:.1f} min, {out} candles out")


if __name__ == "__main__":
    main()
