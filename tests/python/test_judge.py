"""kestrava-judge on a tiny arena whose candle stands just ahead of the start, judged trials scored by the simulator."""

import json
import shutil
import subprocess
import sys
import textwrap

import pytest

from conftest import CLI
from test_simulator import ARENA

PUTS_IT_OUT = """
    import time, kestrava
    with kestrava.Robot(simulate="view", watchdog=0) as robot:   # the judge's simulator, whatever is asked
        robot.stop()                                             # a motor command starts the clock
        robot.relay(1, True)
        while not robot.simulator.run().candle_out:
            time.sleep(0.1)
"""
HANGS_DRIVING = """
    import kestrava
    with kestrava.Robot(device="/dev/nowhere", watchdog=0) as robot:
        robot.write(0xB0, 15, 2)
        robot.drive(200, 128)
        while True:
            robot.bearing()
"""
ASKS_WHERE = """
    import kestrava
    with kestrava.Robot(simulate=True) as robot:
        robot.simulator.pose()
"""
SAYS_ITS_ARGUMENTS = """
    import sys
    sys.exit(" ".join(sys.argv[1:]))
"""
# Another language through kestrava-cli: the same simulator, the same refusal.
SHELL_MOVES_THE_CANDLE = f"""#!/bin/sh
    exec {CLI} --simulate sim candle 10 10 >&2
"""


def judge(*arguments, timeout=60):
    return subprocess.run([sys.executable, "-m", "kestrava.judge", *arguments], capture_output=True, text=True,
                          timeout=timeout)


def program(tmp_path, name, text, executable=False):
    path = tmp_path / name
    path.write_text(textwrap.dedent(text))
    path.chmod(0o755 if executable else 0o644)
    return str(path)


# (file name, its text, executable, judge options around it, the trial's JSON as the simulator left it)
TRIALS = {
    "candle out": ("out.py", PUTS_IT_OUT, False, [], dict(result="candle out", time=1.0, motors_stopped=True)),
    "crashes at once": ("crash.py", "1 / 0\n", False, [],
                        dict(result="crashed", error="ZeroDivisionError: division by zero")),
    "hangs driving": ("hang.py", HANGS_DRIVING, False, ["--limit", "1.5"],
                      dict(result="time limit", time=1.5, motors_stopped=True)),
    "asks for its pose": ("pose.py", ASKS_WHERE, False, [],
                          dict(result="crashed", error="kestrava.errors.KestravaError: simulator.pose: "
                                                       "not during a judged trial: only run and path are allowed (code 5)")),
    "options after, arguments after --": ("args.py", SAYS_ITS_ARGUMENTS, False, ["--", "--limit", "x"],
                                          dict(result="crashed", error="--limit x")),
    "a shell program": ("candle.sh", SHELL_MOVES_THE_CANDLE, True, [],
                        dict(result="crashed", error="error: not during a judged trial: only run and path are allowed")),
}


@pytest.mark.parametrize("name, text, executable, options, expected", TRIALS.values(), ids=TRIALS.keys())
def test_trial(tmp_path, name, text, executable, options, expected):
    path = program(tmp_path, name, text, executable)
    done = judge("--arena", ARENA, "--fast", "--json", path, *options)
    assert done.returncode == 0, done.stderr
    trial, summary = [json.loads(line) for line in done.stdout.splitlines()]
    assert trial["seed"] == 1 and trial["candle"] == [100, 100] and trial["contacts"] == 0
    assert {key: trial[key] for key in expected} == expected
    assert summary == {"summary": {"trials": 1, "candles_out": int(expected["result"] == "candle out"),
                                   "median_time": 1.0 if expected["result"] == "candle out" else None,
                                   "contacts": 0}}


USAGE = {
    "not a program": (["notes.txt"], "notes.txt: not a Python file (.py) nor a program that can be run"),
    "no such file": (["missing.py"], "missing.py: no such file"),
    "bad seeds": (["crash.py", "--seeds", "8-1"], "--seeds: '8-1' is not a range"),
    "bad arena": (["crash.py", "--arena", "nowhere"], "nowhere: no such file, nor a bundled arena"),
}


@pytest.mark.parametrize("arguments, message", USAGE.values(), ids=USAGE.keys())
def test_usage(tmp_path, monkeypatch, arguments, message):
    monkeypatch.chdir(tmp_path)
    program(tmp_path, "notes.txt", "not a program\n")
    program(tmp_path, "crash.py", "1 / 0\n")
    done = judge(*arguments)
    assert done.returncode == 2 and message in done.stderr and done.stdout == ""


def test_jobs_do_not_change_results(tmp_path):
    """Seeds 1 and 2 take turns between a candle within the fan's reach and one beyond it,
    where the program gives up after 1.5 s of its run."""
    path = program(tmp_path, "out.py", PUTS_IT_OUT.replace("run().candle_out:", "run().candle_out and "
                                                           "robot.simulator.run().time < 1.5:"))
    runs = [judge(path, "--arena", ARENA, "--seeds", "1-2", "--fast", "--json", "--jobs", jobs) for jobs in ("1", "2")]
    results = []
    for done in runs:
        assert done.returncode == 0, done.stderr
        trials = [json.loads(line) for line in done.stdout.splitlines()[:-1]]
        results.append([(t["seed"], t["candle"], t["result"], t["contacts"], t["motors_stopped"]) for t in trials])
        assert [t["time"] for t in trials if t["result"] == "candle out"] == [1.0]
    assert results[0] == results[1] == [(1, [100, 100], "candle out", 0, True), (2, [100, 190], "ended", 0, True)]


@pytest.mark.skipif(shutil.which("parallel") is None, reason="GNU parallel is not installed")
def test_gnu_parallel_on_one_machine(tmp_path):
    """The documented form: one trial a job, the JSON lines merged into one table."""
    path = program(tmp_path, "crash.py", "1 / 0\n")
    spread = subprocess.run(["parallel", "--will-cite", sys.executable, "-m", "kestrava.judge", path, "--arena", ARENA,
                             "--fast", "--json", "--seeds", "{}", ":::", "2", "1"], capture_output=True, text=True,
                            timeout=60)
    assert spread.returncode == 0, spread.stderr
    merged = subprocess.run([sys.executable, "-m", "kestrava.judge", "--merge"], input=spread.stdout,
                            capture_output=True, text=True, timeout=30)
    lines = merged.stdout.splitlines()
    assert [line.split()[:3] for line in lines[1:3]] == [["1", "(100,", "100)"], ["2", "(100,", "190)"]]
    assert lines[-1] == "2 trials: 0 candles out, 0 contacts in all"
