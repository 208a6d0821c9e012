"""kestrava-judge on a tiny arena whose candle stands just ahead of the start, judged trials scored by the simulator."""

import json
import os
import pty
import re
import shutil
import signal
import subprocess
import sys
import textwrap
from pathlib import Path

import pytest

from conftest import CLI, sandbox_refused
from test_simulator import ARENA, until

NO_SANDBOX = sandbox_refused()
pytestmark = pytest.mark.skipif(bool(NO_SANDBOX), reason=f"kestrava-judge can make no sandbox here: {NO_SANDBOX}")

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
SLEEPS_FIRST = PUTS_IT_OUT.replace("robot.stop()   ", "time.sleep(2); robot.stop()")
SPINS = """
    import kestrava
    with kestrava.Robot(simulate=True, watchdog=0) as robot:
        robot.stop()
        while True:
            pass
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
BLOWS_ON = """
    import time, kestrava
    robot = kestrava.Robot(simulate=True, watchdog=0)
    robot.stop()
    robot.relay(1, True)
    time.sleep(60)
"""
LEAVES_TWO_RELAYS_ON = """
    import kestrava
    robot = kestrava.Robot(simulate=True, watchdog=0)
    robot.relay(1, True)
    robot.relay(3, True)
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
    (students / "extra").mkdir()
    done = judge(str(students), "--arena", ARENA, "--fast", "--json", "--limit", "3")
    trials, ranking = json_trials(done)
    assert json.loads(done.stdout.splitlines()[-1])["skipped"] == [
        {"file": str(students / "extra"), "why": "a folder without a main.py: name it to judge what it holds"},
        {"file": str(students / "notes.txt"), "why": "neither a .py file nor executable: chmod +x to judge it"}]
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
    assert by_name["carl.py"]["status"] is None and by_name["carl.py"]["ended_by_judge"]
    assert by_name["carl.py"]["motors_stopped"] and by_name["carl.py"]["left_on"] == []
    assert by_name["carl.py"]["pose"][1] > 60  # it drove before the limit
    dora = by_name["dora.py"]
    assert (dora["result"], dora["status"], dora["output"]) == ("ended", 0, ["fan on, bye"])
    assert (dora["left_on"], dora["ended_by_judge"]) == (["fan"], False)
    # ana scores its 1.0 s; the three others the limit each; name order breaks the tie.
    assert [(s["rank"], Path(s["program"]).name, s["score"], s["why"]) for s in ranking] == [
        (1, "ana.py", 1.0, ""), (2, "bea.py", 3.0, 'crashed: status 1; last line: "ZeroDivisionError: division by zero"'),
        (2, "carl.py", 3.0, "time limit: ended by the judge"),
        (2, "dora.py", 3.0, 'ended: status 0; last line: "fan on, bye"; left on: fan')]


# (program, judge options, the trial's JSON): the trial's clock, from the program's start.
CLOCKS = {
    "a sleep before the first move counts": (SLEEPS_FIRST, [], dict(result="candle out", time=3.0, clock="stepped")),
    "a program that spins is stuck": (SPINS, [], dict(result="stuck", status=None, motors_stopped=True)),
    "the real clock on request": (PUTS_IT_OUT, ["--clock", "real"], dict(result="candle out", clock="real")),
}


@pytest.mark.parametrize("text, options, expected", CLOCKS.values(), ids=CLOCKS.keys())
def test_the_trials_clock(tmp_path, text, options, expected):
    trials, _ = json_trials(judge(program(tmp_path, "clocked.py", text), "--arena", ARENA, "--json", *options))
    assert {key: trials[0][key] for key in expected} == expected


def test_the_same_stepped_trial_twice_is_the_same_trial_point_for_point():
    import threading
    from kestrava import judgeprograms, judgetrials
    candle = str(EXAMPLES / "candle.py")
    command = judgeprograms.command_for(candle, [])
    first, second = (judgetrials.run_trial(candle, command, 3, judgetrials.TrialSettings(), view=False,
                                           stop=threading.Event()) for _ in range(2))
    assert first.result.value == "candle out" and first.clock == "stepped" and len(first.path) > 50
    assert first.path == second.path
    assert first == second  # its time, contacts, pose and output too


def test_a_class_judged_twice_gives_the_same_table_and_json(tmp_path):
    students = tmp_path / "class"
    students.mkdir()
    shutil.copy(EXAMPLES / "candle.py", students / "ana.py")
    program(students, "bea.py", PUTS_IT_OUT)  # the house's candle is out of its fan's reach: the limit
    for how in ([], ["--json"]):
        first, second = (judge(str(students), "--seeds", "1-2", "--limit", "15", *how) for _ in range(2))
        assert first.returncode == 0, first.stderr
        assert first.stdout == second.stdout


def test_the_table_names_the_reason_and_the_rule(tmp_path):
    crash = program(tmp_path, "crash.py", "print('no candle seen')\nraise SystemExit(4)\n")
    done = judge(crash, "--arena", ARENA, "--fast", "--contact-penalty", "7")
    assert done.returncode == 0, done.stderr
    header, row, rule, sandboxed = done.stdout.splitlines()
    assert header.split() == ["seed", "candle", "result", "time", "contacts", "closest", "why"]
    assert row.endswith('status 4; last line: "no candle seen"') and " crashed " in row
    assert rule == ("1 program, 1 trial on the stepped clock: 0 out, score 120.0 s, median —; score: the sum of the trials' times, a "
                    "trial that did not put the candle out counting the time limit (120 s), plus 7 s per contact; "
                    "lower is better")
    assert sandboxed.startswith("sandboxed: each program alone, no network, 1 GiB of memory, 64 processes")


# (file name, its text, executable, judge options around it, the trial's JSON as the simulator left it)
TRIALS = {
    "hangs driving: the limit, not the run's clock": ("hang.py", HANGS_DRIVING, False, ["--limit", "1.5"],
                                                      dict(result="time limit", time=1.5, motors_stopped=True)),
    "blows on after the candle is out: the judge's end, not its signal": (
        "blow.py", BLOWS_ON, False, [], dict(result="candle out", status=None, ended_by_judge=True, left_on=[])),
    "leaves the fan and a relay on": ("two.py", LEAVES_TWO_RELAYS_ON, False, [],
                                      dict(result="ended", status=0, ended_by_judge=False, left_on=["fan", "relay 3"])),
    "asks for its pose": ("pose.py", ASKS_WHERE, False, [],
                          dict(result="crashed", error="kestrava.errors.KestravaError: simulator.pose: "
                                                       "not during a judged trial: only run, path, clock and wait are allowed "
                                                       "(code 5)")),
    "options after, arguments after --": ("args.py", SAYS_ITS_ARGUMENTS, False, ["--", "--limit", "x"],
                                          dict(result="crashed", error="--limit x")),
    "a shell program": ("candle.sh", SHELL_MOVES_THE_CANDLE, True, [],
                        dict(result="crashed", error="error: not during a judged trial: only run, path, clock and wait are allowed")),
}


@pytest.mark.parametrize("name, text, executable, options, expected", TRIALS.values(), ids=TRIALS.keys())
def test_trial(tmp_path, name, text, executable, options, expected):
    path = program(tmp_path, name, text, executable)
    trials, _ = json_trials(judge("--arena", ARENA, "--fast", "--json", path, *options))
    assert [(t["program"], t["seed"], t["candle"], t["contacts"]) for t in trials] == [(path, 1, [100, 100], 0)]
    assert {key: trials[0][key] for key in expected} == expected


NO_WINDOW = ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")
# arguments, exit status, what standard error says, the environment's variables left out. marks.py leaves a
# file "ran" behind: the rows that must be refused before the first trial check that it did not run.
USAGE = {
    "not a program": (["notes.txt"], 2, "notes.txt: not a Python file (.py) nor a program that can be run", ()),
    "no such file": (["missing.py"], 2, "missing.py: no such file", ()),
    "an empty folder": (["empty"], 2, "empty: no programs in it", ()),
    "backward seeds": (["crash.py", "--seeds", "8-1"], 2, "--seeds: '8-1' runs backwards (write 1-8)", ()),
    "open seeds": (["crash.py", "--seeds", "1-"], 2, "--seeds: '1-' has no last seed", ()),
    "no jobs": (["crash.py", "--jobs", "0"], 2, "--jobs takes 1 or more trials side by side, not 0", ()),
    "bad arena": (["crash.py", "--arena", "nowhere"], 2, "nowhere: no such file, nor a bundled arena", ()),
    "unknown option": (["crash.py", "--fastest"], 2, "unrecognized arguments: --fastest", ()),
    "a memory below 1M": (["marks.py", "--memory", "512K"], 2, "--memory: a size of 1M or more", ()),
    "no processes": (["marks.py", "--processes", "0"], 2, "--processes: 1 to 100000 processes, not '0'", ()),
    "the program's arguments without --": (
        ["marks.py", "--fan", "2"], 2, "unrecognized arguments: --fan 2 (a program's own arguments go after --: "
                                       "kestrava-judge PROGRAM... -- ARGS...)", ()),
    "a report's folder that is not there": (["marks.py", "--report", "nowhere/class.html"], 2,
                                            "/nowhere: no such folder", ()),
    "a window without a display": (["marks.py", "--view"], 2, "--view: no display to open a window on: run it in a "
                                   "desktop session, or under xvfb-run (xvfb-run -a COMMAND) for a test", NO_WINDOW),
    "a merge of nothing": (["--merge", "/dev/null"], 2, "kestrava-judge: no trials in /dev/null", ()),
    "help": (["--help"], 0, "", ()),
    "no simulator": (["crash.py"], 3, "kestrava-judge: ", ()),
}


@pytest.mark.parametrize("arguments, status, message, unset", USAGE.values(), ids=USAGE.keys())
def test_usage(tmp_path, monkeypatch, arguments, status, message, unset):
    monkeypatch.chdir(tmp_path)
    program(tmp_path, "notes.txt", "not a program\n")
    program(tmp_path, "crash.py", "1 / 0\n")
    program(tmp_path, "marks.py", "open('ran', 'w')\n")
    (tmp_path / "empty").mkdir()
    env = {name: value for name, value in os.environ.items() if name not in unset}
    if status == 3:  # a kestrava-sim that cannot start beside the named kestrava-cli
        (tmp_path / "bin").mkdir()
        program(tmp_path / "bin", "kestrava-cli", "#!/bin/sh\n", True)
        program(tmp_path / "bin", "kestrava-sim", "#!/bin/sh\necho 'cannot open a pseudo-terminal' >&2\n", True)
        env["KESTRAVA_CLI"] = str(tmp_path / "bin" / "kestrava-cli")
    done = judge("--arena", ARENA, "--fast", *arguments, env=env)
    assert done.returncode == status and message in done.stderr, done.stderr
    assert (done.stdout.startswith("usage: kestrava-judge") and "lower is better" in done.stdout) if status == 0 \
        else done.stdout == ""
    assert not (tmp_path / "ran").exists()


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


def trial_line(name, seed, result="candle out", time=10.0, contacts=0):
    return json.dumps(dict(program=name, seed=seed, candle=[1, 2], result=result, time=time, contacts=contacts,
                           motors_stopped=True))


B2, B1, A1 = trial_line("b.py", 2), trial_line("b.py", 1, "ended", 3.0), trial_line("a.py", 1, time=20.0, contacts=1)
A2 = trial_line("a.py", 2, time=30.0)
# the files' lines, the options, the exit status, and the table's rows or standard error's line
MERGES = {
    "ranks again by program and seed": ([[B2, B1, A1, A2]], [], 0, [
        "1 a.py 2/2 55.0 s 25.0 s 1", "2 b.py 1/2 70.0 s 10.0 s 0 ended: status None"]),
    "the same file twice": ([[B2, B1, A1, A2], [B2, B1, A1, A2]], [], 2,
                            "kestrava-judge: 1.json:1: b.py seed 2 again (first at 0.json:1)"),
    "one file named twice": ([[B2, B1, A1, A2]], ["0.json"], 2,
                             "kestrava-judge: 0.json: named twice; each file's trials count once"),
    "a program short of seeds": ([[B2, B1, A1]], [], 2,
                                 "kestrava-judge: a.py lacks seeds 2 that the others have (--partial counts them "
                                 "as failed trials)"),
    "--partial counts them failed": ([[B2, B1, A1]], ["--partial"], 0, [
        "1 b.py 1/2 70.0 s 10.0 s 0 ended: status None", "2 a.py 1/2 85.0 s 20.0 s 1 missing: not in the merged "
                                                         "files, counted as failed"]),
    "nothing": ([[]], [], 2, "kestrava-judge: no trials in 0.json (write them with --json)"),
}


@pytest.mark.parametrize("files, options, status, expected", MERGES.values(), ids=MERGES.keys())
def test_merge(tmp_path, monkeypatch, files, options, status, expected):
    monkeypatch.chdir(tmp_path)
    for number, lines in enumerate(files):
        (tmp_path / f"{number}.json").write_text("".join(line + "\n" for line in lines))
    merged = judge("--merge", "--limit", "60", *options, *(f"{n}.json" for n in range(len(files))))
    assert merged.returncode == status, merged.stderr
    if status:
        assert merged.stderr.splitlines() == [expected] and merged.stdout == ""
    else:
        assert [" ".join(line.split()) for line in merged.stdout.splitlines()[1:3]] == expected


def test_a_file_that_does_not_compile_starts_no_simulator(tmp_path):
    """One row says it for every seed; a simulator that cannot start shows that none was tried."""
    broken = program(tmp_path, "broken.py", "import kestrava\n\ndef go(:\n    pass\n")
    (tmp_path / "bin").mkdir()
    program(tmp_path / "bin", "kestrava-cli", "#!/bin/sh\n", True)
    program(tmp_path / "bin", "kestrava-sim", "#!/bin/sh\necho 'started' >&2\n", True)
    done = judge(broken, "--seeds", "1-8", "--limit", "10",
                 env=dict(os.environ, KESTRAVA_CLI=str(tmp_path / "bin" / "kestrava-cli")))
    assert done.returncode == 0, done.stderr
    assert [" ".join(line.split()) for line in done.stdout.splitlines()] == [
        "seed candle result time contacts closest why", "all 8 — did not compile 10.0 s 0 — SyntaxError, line 3",
        "1 program, 8 trials: 0 out, score 80.0 s, median —; score: the sum of the trials' times, a trial that did "
        "not put the candle out counting the time limit (10 s), plus 5 s per contact; lower is better",
        "sandboxed: each program alone, no network, 1 GiB of memory, 64 processes, files up to 64 MiB, for all its "
        "processes together (cgroup)"]


STOPS = {"Ctrl-C": (signal.SIGINT, 130), "SIGTERM": (signal.SIGTERM, 143)}


@pytest.mark.parametrize("sent, status", STOPS.values(), ids=STOPS.keys())
def test_a_stop_keeps_what_finished(tmp_path, sent, status):
    """The first program finishes; the second is under way when the stop comes; the third never starts. The
    first is printed, written and ranked, the second named, and no trial's folder is left behind."""
    students = tmp_path / "class"
    students.mkdir()
    program(students, "a.py", "print('done')\n")
    program(students, "b.py", "import time\ntime.sleep(60)\n")
    program(students, "c.py", "print('never')\n")
    (tmp_path / "tmp").mkdir()
    report = tmp_path / "class.html"
    running = subprocess.Popen([sys.executable, "-m", "kestrava.judge", str(students), "--arena", ARENA, "--fast",
                                "--jobs", "1", "--json", "--report", str(report)], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True, env=dict(os.environ, TMPDIR=str(tmp_path / "tmp")))
    until(lambda: running_in_a_sandbox("b.py"), 60)  # which it cannot tell outside
    running.send_signal(sent)
    out, err = running.communicate(timeout=60)
    assert running.returncode == status, err
    *trials, ranking = [json.loads(line) for line in out.splitlines()]
    assert [(Path(t["program"]).name, t["result"]) for t in trials] == [("a.py", "ended")]
    assert [Path(s["program"]).name for s in ranking["ranking"]] == ["a.py"]
    assert f"cut short, not counted: {students / 'b.py'} seed 1" in err and "not started: 1 trial" in err
    assert "a.py" in report.read_text() and "b.py" not in report.read_text()
    assert list((tmp_path / "tmp").iterdir()) == []


def running_in_a_sandbox(name: str) -> bool:
    """A judged program of that name is running: its sandbox's command line, as this process sees it."""
    for folder in Path("/proc").glob("[0-9]*"):
        try:
            if (folder / "cmdline").read_bytes().endswith(f"/program/{name}\0".encode()):
                return True
        except OSError:
            pass
    return False


def in_chromium(page: Path, folder: Path) -> str:
    """The page's DOM as headless Chromium builds it 1280 pixels wide, with the page's width and the folds open
    after a click on the ranking's first link written into it."""
    measured = folder / ("measured-" + page.name)
    measure = ("<script>document.body.dataset.scrollWidth = document.documentElement.scrollWidth;"
               "document.querySelector('table.ranking a').click(); setTimeout(() => document.body.dataset.open = "
               "[...document.querySelectorAll('details[open]')].map(d => d.id), 100);</script>")
    measured.write_text(page.read_text().replace("</body>", measure + "</body>"))
    browser = subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--window-size=1280,900",
                              "--virtual-time-budget=5000",
                              "--dump-dom", measured.as_uri()], capture_output=True, text=True, timeout=120,
                             env=dict(os.environ, HOME=str(folder)))
    return browser.stdout


@pytest.mark.skipif(shutil.which("chromium") is None, reason="chromium is not installed (apt-get install chromium)")
def test_the_report_in_a_browser(tmp_path):
    """One ranking row per program linked to its folded trials, one path per trial, a header, the files
    skipped, in Spanish, no wider than the window with a long line of output; and a merge draws the same paths."""
    students = tmp_path / "class"
    students.mkdir()
    program(students, "out.py", PUTS_IT_OUT)
    program(students, "crash.py", "print('sin vela ' + 'x' * 300)\nraise SystemExit(3)\n")
    program(students, "notas.txt", "")
    report, lines = tmp_path / "class.html", tmp_path / "class.json"
    done = judge(str(students), "--arena", ARENA, "--seeds", "1-2", "--fast", "--limit", "3", "--report", str(report),
                 "--json", env=dict(os.environ, KESTRAVA_LANG="es"))
    assert done.returncode == 0, done.stderr
    lines.write_text(done.stdout)
    dom = in_chromium(report, tmp_path)
    assert dom.count('<tr class="rank">') == 2 and dom.count('class="path"') == 4
    links = re.findall(r'<a href="#(p\d+)">', dom)
    assert links == ["p1", "p2"] and all(f'<details class="program" id="{link}"' in dom for link in links)
    assert 'data-open="p1"' in dom  # folded until its link is clicked, then open
    assert int(re.search(r'data-scroll-width="(\d+)"', dom)[1]) <= 1280
    assert '<html lang="es">' in dom and "vela apagada" in dom and "sin vela" in dom and "notas.txt" in dom
    assert "semillas: 1-2" in dom and "límite: 3 s" in dom and "reloj: por pasos" in dom
    assert "Cada programa corrió aislado (sandbox): sin red, con 1 GiB de memoria, 64 procesos" in dom
    assert "http" not in report.read_text().replace("http://www.w3.org/2000/svg", "")
    merged_report = tmp_path / "merged.html"
    merged = judge("--merge", str(lines), "--arena", ARENA, "--limit", "3", "--report", str(merged_report))
    assert merged.returncode == 0, merged.stderr
    paths = [re.findall(r'class="path" points="([^"]*)"', page.read_text()) for page in (report, merged_report)]
    assert paths[0] == paths[1] and len(paths[0]) == 4


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
    assert lines[-1].startswith("1 program, 2 trials on the stepped clock: 0 out, score 20.0 s, median —; score:")


def test_the_default_jobs_on_two_cores_are_what_help_shows_and_the_progress_counts_down(tmp_path):
    """On 2 cores: --help's default, the trials the progress line says run at once, and near the end the
    number still running, as a terminal shows them."""
    on_two_cores = "import os, sys; os.cpu_count = lambda: 2; from kestrava import judge; sys.exit(judge.main())"
    shown = subprocess.run([sys.executable, "-c", on_two_cores, "--help"], capture_output=True, text=True, timeout=30)
    assert "--jobs N trials side by side (default: 2 on the stepped clock, one a core; 12 on the real one, from" in (
        " ".join(shown.stdout.split()))
    quick = program(tmp_path, "quick.py", "pass\n")
    leader, follower = pty.openpty()
    running = subprocess.Popen([sys.executable, "-c", on_two_cores, quick, "--arena", ARENA, "--fast", "--seeds", "1-14",
                                "--clock", "real"],
                               stdout=subprocess.DEVNULL, stderr=follower)
    os.close(follower)
    seen = b""
    while chunk := _read_or_end(leader):
        seen += chunk
    os.close(leader)
    assert running.wait(120) == 0
    lines = [re.match(r"(\d+) of 14 trials done, (\d+) running", part) for part in seen.decode().split("\r")]
    counts = [(int(m[1]), int(m[2])) for m in lines if m]
    assert counts[0] == (0, 12) and (13, 1) in counts
    assert all(still == min(12, 14 - done) for done, still in counts), counts


def _read_or_end(descriptor):
    try:
        return os.read(descriptor, 4096)
    except OSError:  # the terminal's other side closed with the judge
        return b""


# KESTRAVA_LANG, --lang, the report page's language
REPORT_LANGUAGES = {
    "the flag wins over the variable (es)": ("en", ["--lang", "es"], "es"),
    "the flag wins over the variable (en)": ("es", ["--lang", "en"], "en"),
    "the variable alone": ("en", [], "en"),
    "a bad variable is refused, as the windows refuse it": ("fr", [], None),
}


@pytest.mark.parametrize("variable, flag, expected", REPORT_LANGUAGES.values(), ids=REPORT_LANGUAGES.keys())
def test_the_reports_language(tmp_path, variable, flag, expected):
    """The page's language, its arena's name in it among the rest."""
    line = json.dumps(dict(program="a.py", seed=1, candle=[100, 100], result="candle out", time=2.0, contacts=0,
                           motors_stopped=True))
    report = tmp_path / "class.html"
    done = subprocess.run([sys.executable, "-m", "kestrava.judge", "--merge", "--arena", "house", "--report",
                           str(report), *flag], input=line + "\n", capture_output=True, text=True, timeout=60,
                          env=dict(os.environ, KESTRAVA_LANG=variable))
    if expected is None:
        assert (done.returncode, done.stderr) == (2, 'kestrava-judge: KESTRAVA_LANG takes es or en, not "fr"\n')
        assert not report.exists()
    else:
        assert done.returncode == 0, done.stderr
        page = report.read_text()
        assert f'<html lang="{expected}">' in page and {"es": "arena: casa", "en": "arena: house"}[expected] in page
