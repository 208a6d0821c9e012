"""kestrava-judge's sandbox, judged from outside it: a hostile class beside one honest program.

Each hostile program tries one thing the issue's class did. What it did is read where it would show
outside the sandbox (the teacher's home, the class folder, a server's log, the processes left, the honest
program's trial), or from how it ended, never from what it prints.
"""

import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import uuid
from pathlib import Path

import pytest

from test_judge import NO_SANDBOX, PUTS_IT_OUT, judge, program
from test_simulator import ARENA

pytestmark = pytest.mark.skipif(bool(NO_SANDBOX), reason=f"kestrava-judge can make no sandbox here: {NO_SANDBOX}")

# Each program's text is formatted with: classmate (the honest program's path), home (the teacher's),
# port (the test's server), marker (in every class process's command line: a program file's name has it),
# seed (the trials', rare enough to be no other process's argument).
HOSTILE = {
    # Ends with status 0 only when the classmate's file, or a secret of the system's, could be read.
    "reads a classmate or a secret": """
        import glob, sys
        for path in ["{classmate}", *glob.glob("/program/*"), *glob.glob("../*"), "/etc/shadow"]:
            try:
                said = open(path).read()
                if "simulate=" + '"view"' in said or path == "/etc/shadow":  # not this text, the classmate's
                    sys.exit(0)
            except OSError:
                pass
        sys.exit(3)
    """,
    "writes into the teacher's home and the class": """
        import glob, os
        places = [os.path.join(folder, "left-by-a-program")
                  for folder in ["{home}", os.path.dirname("{classmate}"), "/program", *glob.glob("/home/*")]]
        for path in [*places, "{classmate}", __file__]:
            try:
                with open(path, "a") as out:
                    out.write("here")
            except OSError:
                pass
    """,
    # Status 0 when it found its seed on its simulator's command line; it also kills every classmate it finds.
    "looks through /proc for the seed and the classmates": """
        import glob, os, signal, sys
        found = False
        for folder in glob.glob("/proc/[0-9]*"):
            try:
                said = open(folder + "/cmdline", "rb").read()
                found = found or b"kestrava-sim" in said and b"\\x00{seed}\\x00" in said + b"\\x00"
                said += open(folder + "/environ", "rb").read()
            except OSError:
                continue
            pid = int(folder.split("/")[-1])
            if b"{marker}" in said and pid not in (os.getpid(), os.getppid(), 1):
                os.kill(pid, signal.SIGKILL)
        sys.exit(0 if found else 3)
    """,
    # Drives every other trial's robot it can reach, through links found in /proc or /tmp.
    "drives another trial's robot": """
        import glob, os, time
        import kestrava
        links = {{os.path.realpath(p) for p in glob.glob("/tmp/kestrava-judge-*/adapter")}}
        for folder in glob.glob("/proc/[0-9]*"):
            try:
                for item in open(folder + "/environ", "rb").read().split(b"\\0"):
                    if item.startswith(b"KESTRAVA_TRIAL=/tmp/"):
                        links.add(os.path.realpath(item.split(b"=", 1)[1].decode()))
            except OSError:
                pass
        links.discard(os.path.realpath(os.environ["KESTRAVA_TRIAL"]))
        for link in links:
            os.environ["KESTRAVA_TRIAL"] = link
            try:
                robot = kestrava.Robot(watchdog=0)
                robot.write(0xB0, 15, 2)
                robot.drive(200, 128)
            except Exception:
                pass
        time.sleep(30)
    """,
    "double-forks and calls setsid": """
        import os, time
        if os.fork() == 0:
            os.setsid()
            if os.fork() == 0:
                signal = __import__("signal")
                signal.signal(signal.SIGTERM, signal.SIG_IGN)
                time.sleep(120)
            os._exit(0)
    """,
    "connects to a local server": """
        import socket
        socket.create_connection(("127.0.0.1", {port}), timeout=2).sendall(b"hello")
    """,
    "sends SIGINT to its parent and the judge": """
        import glob, os, signal
        targets = {{os.getppid()}}
        for folder in glob.glob("/proc/[0-9]*"):
            try:
                if b"kestrava.judge" in open(folder + "/cmdline", "rb").read():
                    targets.add(int(folder.split("/")[-1]))
            except OSError:
                pass
        for pid in targets:
            try:
                os.kill(pid, signal.SIGINT)
            except OSError:
                pass
        import time; time.sleep(30)
    """,
    # Gentle, so that a sandbox without the bound does not take the machine: 100 sleeping processes.
    "a fork bomb": """
        import os, time
        for _ in range(100):
            if os.fork() == 0:
                time.sleep(60)
                os._exit(0)
        time.sleep(60)
    """,
    "a memory hog": """
        import time
        kept = [bytearray(8 << 20) for _ in range(64)]
        time.sleep(60)
    """,
    "writes a huge file": """
        with open("/tmp/huge", "wb") as out:
            for _ in range(64):
                out.write(bytes(1 << 20))
    """,
}
# What the judge says of each (the sandbox ended it, for the bounds): the trial's result and error.
ENDED_BY_A_BOUND = {
    "a fork bomb": "started more than 16 processes",
    "a memory hog": "used more than 192 MiB of memory",
    "writes a huge file": "wrote a file larger than 8 MiB",
}
# Each process well under the memory bound, together over it: only the sandbox's watch sees it without a cgroup.
MANY_SMALL_HOGS = """
import os, time
for _ in range(8):
    if os.fork() == 0:
        kept = bytearray(32 << 20)
        kept[::4096] = bytes(len(kept[::4096]))
        break
time.sleep(60)
"""
FOUND_NOTHING = {"reads a classmate or a secret", "looks through /proc for the seed and the classmates"}
BOUNDS = ["--processes", "16", "--memory", "192M", "--file-size", "8M"]
SEED = "3141592"
SAME_ALONE = ("result", "contacts", "motors_stopped", "candle", "closest")


class Listener:
    """A server on 127.0.0.1 that counts who connected."""

    def __init__(self) -> None:
        self.socket = socket.create_server(("127.0.0.1", 0))
        self.port = self.socket.getsockname()[1]
        self.connections = 0
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self) -> None:
        while True:
            try:
                self.socket.accept()[0].close()
            except OSError:
                return
            self.connections += 1


def snapshot(folder: Path) -> dict:
    return {str(path): path.read_bytes() for path in folder.rglob("*") if path.is_file()}


def processes_with(marker: str) -> list[int]:
    found = []
    for folder in Path("/proc").glob("[0-9]*"):
        try:
            if marker.encode() in (folder / "cmdline").read_bytes():
                found.append(int(folder.name))
        except OSError:
            pass
    return found


def json_trials(done) -> dict:
    assert done.returncode == 0, done.stderr
    *trials, ranking = [json.loads(line) for line in done.stdout.splitlines()]
    return {Path(t["program"]).name: t for t in trials}, ranking


@pytest.fixture
def hostile_class(tmp_path):
    """The class folder, the teacher's home and the test's server; no class process left after, whatever."""
    marker = f"hostile{uuid.uuid4().hex[:12]}"
    home, students = tmp_path / "teacher", tmp_path / "class"
    home.mkdir()
    students.mkdir()
    (home / "marks.txt").write_text("the class's marks\n")
    honest = program(students, f"{marker}-honest.py", PUTS_IT_OUT)
    listener = Listener()
    names = {}
    for number, (row, text) in enumerate(HOSTILE.items()):
        names[row] = f"{marker}-{number}.py"
        program(students, names[row], text.format(classmate=honest, home=home, port=listener.port, marker=marker,
                                                          seed=SEED))
    yield marker, home, students, honest, names, listener
    listener.socket.close()
    for pid in processes_with(marker):
        os.kill(pid, signal.SIGKILL)


def test_a_hostile_class_is_contained(hostile_class):
    marker, home, students, honest, names, listener = hostile_class
    environment = dict(os.environ, HOME=str(home))
    alone, _ = json_trials(judge(honest, "--arena", ARENA, "--fast", "--json", "--seeds", SEED, env=environment))
    teacher_before, class_before = snapshot(home), snapshot(students)
    done = judge(str(students), "--arena", ARENA, "--fast", "--json", "--seeds", SEED, "--limit", "6",
                 "--jobs", str(len(names) + 1),
                 *BOUNDS, env=environment, timeout=120)
    leftovers = processes_with(marker)
    trials, ranking = json_trials(done)
    assert ranking["sandbox"].startswith("sandboxed: ")
    assert (snapshot(home), snapshot(students)) == (teacher_before, class_before)
    assert leftovers == []
    assert listener.connections == 0
    honest_name = Path(honest).name
    assert {key: trials[honest_name][key] for key in SAME_ALONE} == {key: alone[honest_name][key] for key in SAME_ALONE}
    assert abs(trials[honest_name]["time"] - alone[honest_name]["time"]) <= 1.0
    for row in FOUND_NOTHING:
        assert trials[names[row]]["status"] == 3, row
    for row, reason in ENDED_BY_A_BOUND.items():
        assert (trials[names[row]]["result"], trials[names[row]]["error"]) == ("crashed", reason), row


def test_without_bwrap_the_judge_refuses(tmp_path):
    """No sandbox, no run: one line naming the package and the way round it."""
    honest = program(tmp_path, "honest.py", PUTS_IT_OUT)
    bin_folder = tmp_path / "bin"
    bin_folder.mkdir()
    (bin_folder / "python3").symlink_to(sys.executable)
    done = judge(honest, "--arena", ARENA, "--fast", env=dict(os.environ, PATH=str(bin_folder)))
    assert (done.returncode, done.stdout) == (3, "")
    assert done.stderr.count("\n") == 1
    assert "bubblewrap" in done.stderr and "--no-sandbox" in done.stderr


def test_no_sandbox_says_so_and_keeps_the_seed_off_command_lines(tmp_path):
    """--no-sandbox runs the program as today, said so; even then, no command line tells the seed."""
    looks = program(tmp_path, "looks.py", HOSTILE["looks through /proc for the seed and the classmates"]
                    .format(marker="nothing-to-kill", classmate="", home="", port=0, seed=SEED))
    trials, ranking = json_trials(judge(looks, "--arena", ARENA, "--fast", "--json", "--no-sandbox", "--seeds", SEED))
    assert ranking["sandbox"].startswith("not sandboxed")
    assert trials["looks.py"]["status"] == 3
    table = judge(looks, "--arena", ARENA, "--fast", "--no-sandbox")
    assert table.stdout.splitlines()[-1].startswith("not sandboxed")


def test_a_program_folder_runs_its_main_with_its_own_files(tmp_path, monkeypatch):
    """A folder with a main.py is one program, beside a file in the same class; it reads its own data."""
    monkeypatch.chdir(tmp_path)
    students = Path("class")
    (students / "team").mkdir(parents=True)
    program(students / "team", "main.py", "import helper\nraise SystemExit(helper.STATUS + len(open('data.txt').read()))\n")
    program(students / "team", "helper.py", "STATUS = 40\n")
    program(students / "team", "data.txt", "ab")
    program(students, "alone.py", "raise SystemExit(5)\n")
    for sandboxed in ([], ["--no-sandbox"]):
        trials, _ = json_trials(judge("class", "--arena", ARENA, "--fast", "--json", *sandboxed))
        assert {name: (t["program"], t["status"]) for name, t in trials.items()} == \
            {"team": ("class/team", 42), "alone.py": ("class/alone.py", 5)}


@pytest.mark.skipif(os.geteuid() != 0 or not shutil.which("runuser"), reason="runs the judge as another user")
def test_an_ordinary_users_judge_keeps_the_bounds():
    """No cgroup for an ordinary user (nobody here): the same bounds, per process and watched together."""
    bounded = {**{row: HOSTILE[row] for row in ENDED_BY_A_BOUND}, "memory in many processes": MANY_SMALL_HOGS}
    expected = {**ENDED_BY_A_BOUND, "memory in many processes": ENDED_BY_A_BOUND["a memory hog"]}
    folder = Path(tempfile.mkdtemp(prefix="kestrava-sandbox-"))  # pytest's own folders are root's alone
    try:
        folder.chmod(0o755)
        names = {row: program(folder, f"{number}.py", text) for number, (row, text) in enumerate(bounded.items())}
        done = subprocess.run(["runuser", "-u", "nobody", "--", sys.executable, "-m", "kestrava.judge", str(folder),
                               "--arena", ARENA, "--fast", "--json", "--limit", "6", *BOUNDS],
                              capture_output=True, text=True, timeout=120)
        trials, ranking = json_trials(done)
    finally:
        shutil.rmtree(folder)
    assert ranking["sandbox"].endswith("(no cgroup here)")
    assert {row: (trials[Path(name).name]["result"], trials[Path(name).name]["error"])
            for row, name in names.items()} == {row: ("crashed", reason) for row, reason in expected.items()}
