"""kestrava-judge on a tiny arena whose candle stands just ahead of the start, judged trials scored by the simulator."""

import json
import os
import shutil
import subprocess
import sys
import textwrap
from pathlib import Path

import pytest

from conftest import CLI
from test_simulator import ARENA

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"
PUTS_IT_OUT = """
    import time, kestrava
    with kestrava.Robot(simulate="view", watchdog=0) as robot:   # the judge's simulator, whatever is asked
        robot.stop()                                             # a motor command starts the clock
        robot.relay(1, True)
        print("blowing; path", robot.simulator.path()[0], flush=True)
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
# Ends with the fan on, the candle in its reach, and a child that keeps the server (and the fan) alive
# for a while: the run ends with the program, so the candle must stay lit.
LEAVES_THE_FAN_ON = """
    import subprocess, sys, kestrava
    robot = kestrava.Robot(simulate=True, watchdog=0)
    robot.stop()
    robot.relay(1, True)
    subprocess.Popen([sys.executable, "-c", "import time; time.sleep(2)"])
    print("fan on, bye")
    import os; os._exit(0)
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


def judge(*arguments, timeout=90, env=None):
    return subprocess.run([sys.executable, "-m", "kestrava.judge", *arguments], capture_output=True, text=True,
                          timeout=timeout, env=env)


def program(folder, name, text, executable=False):
    path = folder / name
    path.write_text(textwrap.dedent(text))
    path.chmod(0o755 if executable else 0o644)
    return str(path)


def json_trials(done):
    assert done.returncode == 0, done.stderr
    *trials, ranking = [json.loads(line) for line in done.stdout.splitlines()]
    return trials, ranking["ranking"]


def test_a_class_is_ranked_and_every_trial_explained(tmp_path):
    """One call over a folder: the ranking, the names, the reasons, the output, and nothing after the end."""
    students = tmp_path / "class"
    students.mkdir()
    program(students, "ana.py", PUTS_IT_OUT)
    program(students, "bea.py", "print('starting')\n1 / 0\n")
    program(students, "carl.py", HANGS_DRIVING)
    program(students, "dora.py", LEAVES_THE_FAN_ON)
    program(students, "notes.txt", "not a program\n")
    trials, ranking = json_trials(judge(str(students), "--arena", ARENA, "--fast", "--json", "--limit", "3"))
    by_name = {Path(t["program"]).name: t for t in trials}
    assert sorted(by_name) == ["ana.py", "bea.py", "carl.py", "dora.py"]
    assert by_name["ana.py"]["result"] == "candle out" and by_name["ana.py"]["time"] == 1.0
    assert by_name["ana.py"]["output"] == ["blowing; path PathPoint(t=0.0, x=100.0, y=60.0, heading=0.0, fan=False, "
                                           "contact=False)"]
    assert by_name["ana.py"]["fan_seconds"] >= 1.0 and by_name["ana.py"]["closest"] == 40.0
    assert (by_name["bea.py"]["result"], by_name["bea.py"]["status"]) == ("crashed", 1)
    assert by_name["bea.py"]["error"] == "ZeroDivisionError: division by zero"
    assert "starting" in by_name["bea.py"]["output"]  # the two streams come through pipes of their own
    assert (by_name["carl.py"]["result"], by_name["carl.py"]["time"]) == ("time limit", 3.0)
    assert by_name["carl.py"]["status"] is None and by_name["carl.py"]["motors_stopped"]
    assert by_name["carl.py"]["pose"][1] > 60  # it drove before the limit
    dora = by_name["dora.py"]
    assert (dora["result"], dora["status"], dora["output"]) == ("ended", 0, ["fan on, bye"])
    # ana scores its 1.0 s; the three others the limit each; name order breaks the tie.
    assert [(s["rank"], Path(s["program"]).name, s["score"]) for s in ranking] == [
        (1, "ana.py", 1.0), (2, "bea.py", 3.0), (2, "carl.py", 3.0), (2, "dora.py", 3.0)]


def test_the_table_names_the_reason_and_the_rule(tmp_path):
    crash = program(tmp_path, "crash.py", "print('no candle seen')\nraise SystemExit(4)\n")
    done = judge(crash, "--arena", ARENA, "--fast", "--contact-penalty", "7")
    assert done.returncode == 0, done.stderr
    header, row, rule, sandboxed = done.stdout.splitlines()
    assert header.split() == ["seed", "candle", "result", "time", "contacts", "closest", "why"]
    assert row.endswith("status 4: no candle seen") and " crashed " in row
    assert rule == ("1 program, 1 trial; score: the sum of the trials' times, a trial that did not put the candle "
                    "out counting the time limit (120 s), plus 7 s per contact; lower is better")
    assert sandboxed.startswith("sandboxed: each program alone, no network, 1 GiB of memory, 64 processes")


# (file name, its text, executable, judge options around it, the trial's JSON as the simulator left it)
TRIALS = {
    "hangs driving: the limit, not the run's clock": ("hang.py", HANGS_DRIVING, False, ["--limit", "1.5"],
                                                      dict(result="time limit", time=1.5, motors_stopped=True)),
    "asks for its pose": ("pose.py", ASKS_WHERE, False, [],
                          dict(result="crashed", error="kestrava.errors.KestravaError: simulator.pose: "
                                                       "not during a judged trial: only run and path are allowed "
                                                       "(code 5)")),
    "options after, arguments after --": ("args.py", SAYS_ITS_ARGUMENTS, False, ["--", "--limit", "x"],
                                          dict(result="crashed", error="--limit x")),
    "a shell program": ("candle.sh", SHELL_MOVES_THE_CANDLE, True, [],
                        dict(result="crashed", error="error: not during a judged trial: only run and path are allowed")),
}


@pytest.mark.parametrize("name, text, executable, options, expected", TRIALS.values(), ids=TRIALS.keys())
def test_trial(tmp_path, name, text, executable, options, expected):
    path = program(tmp_path, name, text, executable)
    trials, _ = json_trials(judge("--arena", ARENA, "--fast", "--json", path, *options))
    assert [(t["program"], t["seed"], t["candle"], t["contacts"]) for t in trials] == [(path, 1, [100, 100], 0)]
    assert {key: trials[0][key] for key in expected} == expected


USAGE = {
    "not a program": (["notes.txt"], 2, "notes.txt: not a Python file (.py) nor a program that can be run"),
    "no such file": (["missing.py"], 2, "missing.py: no such file"),
    "an empty folder": (["empty"], 2, "empty: no programs in it"),
    "backward seeds": (["crash.py", "--seeds", "8-1"], 2, "--seeds: '8-1' runs backwards (write 1-8)"),
    "open seeds": (["crash.py", "--seeds", "1-"], 2, "--seeds: '1-' has no last seed"),
    "no jobs": (["crash.py", "--jobs", "0"], 2, "--jobs takes 1 or more trials side by side, not 0"),
    "bad arena": (["crash.py", "--arena", "nowhere"], 2, "nowhere: no such file, nor a bundled arena"),
    "unknown option": (["crash.py", "--fastest"], 2, "unrecognized arguments: --fastest"),
    "a memory below 1M": (["crash.py", "--memory", "512K"], 2, "--memory: a size of 1M or more"),
    "no processes": (["crash.py", "--processes", "0"], 2, "--processes: 1 to 100000 processes, not '0'"),
    "help": (["--help"], 0, ""),
    "no simulator": (["crash.py"], 3, "kestrava-judge: "),
}


@pytest.mark.parametrize("arguments, status, message", USAGE.values(), ids=USAGE.keys())
def test_usage(tmp_path, monkeypatch, arguments, status, message):
    monkeypatch.chdir(tmp_path)
    program(tmp_path, "notes.txt", "not a program\n")
    program(tmp_path, "crash.py", "1 / 0\n")
    (tmp_path / "empty").mkdir()
    env = None
    if status == 3:  # a kestrava-sim that cannot start beside the named kestrava-cli
        (tmp_path / "bin").mkdir()
        program(tmp_path / "bin", "kestrava-cli", "#!/bin/sh\n", True)
        program(tmp_path / "bin", "kestrava-sim", "#!/bin/sh\necho 'cannot open a pseudo-terminal' >&2\n", True)
        env = dict(os.environ, KESTRAVA_CLI=str(tmp_path / "bin" / "kestrava-cli"))
    done = judge(*arguments, env=env)
    assert done.returncode == status and message in done.stderr
    assert (done.stdout.startswith("usage: kestrava-judge") and "lower is better" in done.stdout) if status == 0 \
        else done.stdout == ""


def test_version():
    done = judge("--version")
    assert (done.returncode, done.stdout) == (0, "kestrava-judge 0.1\n")


def test_the_default_jobs_keep_results_and_seed_order(tmp_path):
    """Seed 1's candle stands near, and the program waits 2 s there; seed 2's is far, and it ends at once.
    Side by side seed 2 finishes first, and must still be listed second."""
    path = program(tmp_path, "near.py", """
        import time, kestrava
        with kestrava.Robot(simulate=True, watchdog=0) as robot:
            reading = robot.thermal()
            time.sleep(2 if max(reading.pixels) - reading.ambient >= 55 else 0)
    """)
    results = []
    for jobs in ([], ["--jobs", "1"]):
        trials, _ = json_trials(judge(path, "--arena", ARENA, "--seeds", "1-2", "--fast", "--json", *jobs))
        results.append([(t["seed"], t["candle"], t["result"], t["time"] >= 2) for t in trials])
    assert results[0] == results[1] == [(1, [100, 100], "ended", True), (2, [100, 190], "ended", False)]


def test_merge_keeps_names_and_ranks_again(tmp_path):
    lines = [json.dumps(dict(program=name, seed=seed, candle=[1, 2], result=result, time=time, contacts=contacts,
                             motors_stopped=True))
             for name, seed, result, time, contacts in [("b.py", 2, "candle out", 10.0, 0), ("b.py", 1, "ended", 3.0, 0),
                                                       ("a.py", 1, "candle out", 20.0, 1)]]
    merged = subprocess.run([sys.executable, "-m", "kestrava.judge", "--merge", "--limit", "60"],
                            input="\n".join(lines) + "\n", capture_output=True, text=True, timeout=30)
    assert merged.returncode == 0, merged.stderr
    assert [line.split() for line in merged.stdout.splitlines()[:3]] == [
        ["rank", "program", "out", "score", "median", "contacts"],
        ["1", "a.py", "1/1", "25.0", "s", "20.0", "s", "1"], ["2", "b.py", "1/2", "70.0", "s", "10.0", "s", "0"]]


@pytest.mark.skipif(shutil.which("chromium") is None, reason="chromium is not installed (apt-get install chromium)")
def test_the_report_in_a_browser(tmp_path):
    """The page as headless Chromium builds it: one ranking row per program, one path per trial, in Spanish."""
    out = program(tmp_path, "out.py", PUTS_IT_OUT)
    crash = program(tmp_path, "crash.py", "print('sin vela')\n1 / 0\n")
    report = tmp_path / "class.html"
    done = judge(out, crash, "--arena", ARENA, "--seeds", "1-2", "--fast", "--limit", "3", "--report", str(report))
    assert done.returncode == 0, done.stderr
    browser = subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--dump-dom",
                              report.as_uri()], capture_output=True, text=True, timeout=120,
                             env=dict(os.environ, HOME=str(tmp_path)))
    dom = browser.stdout
    assert dom.count('<tr class="rank">') == 2 and dom.count('class="path"') == 4
    assert '<html lang="es">' in dom and "vela apagada" in dom and "sin vela" in dom
    assert "Cada programa corrió aislado (sandbox): sin red, con 1 GiB de memoria, 64 procesos" in dom
    assert "http" not in report.read_text().replace("http://www.w3.org/2000/svg", "")


def test_the_example_puts_out_every_candle_of_the_house():
    def candles_left(seeds):
        done = judge(str(EXAMPLES / "candle.py"), "--arena", "house", "--seeds", seeds, "--fast", "--json", timeout=240)
        trials, _ = json_trials(done)
        return trials, [t["seed"] for t in trials if t["result"] != "candle out"]

    trials, missed = candles_left("1-8")
    assert len({tuple(t["candle"]) for t in trials}) == 8
    # The example steers by what it reads in real time, and on a loaded machine a sweep now and then
    # misses a warm pixel: a place it cannot reach fails twice, a passing miss once.
    if missed:
        _, missed = candles_left(",".join(map(str, missed)))
    assert missed == []


@pytest.mark.skipif(shutil.which("parallel") is None, reason="GNU parallel is not installed")
def test_gnu_parallel_on_one_machine(tmp_path):
    """The documented form: one trial a job, the JSON lines merged into one table."""
    path = program(tmp_path, "crash.py", "1 / 0\n")
    spread = subprocess.run(["parallel", "--will-cite", sys.executable, "-m", "kestrava.judge", path, "--arena", ARENA,
                             "--fast", "--json", "--seeds", "{}", ":::", "2", "1"], capture_output=True, text=True,
                            timeout=60)
    assert spread.returncode == 0, spread.stderr
    merged = subprocess.run([sys.executable, "-m", "kestrava.judge", "--merge", "--limit", "10"], input=spread.stdout,
                            capture_output=True, text=True, timeout=30)
    lines = merged.stdout.splitlines()
    assert [line.split()[:3] for line in lines[1:3]] == [["1", "(100,", "100)"], ["2", "(100,", "190)"]]
    assert lines[-1].startswith("1 program, 2 trials; score:")
