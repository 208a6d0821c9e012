"""robot.simulator however the robot is opened; the control socket; the simulator started as the README says."""

import os
import pty
import socket
import subprocess
import time
from pathlib import Path

import pytest

import kestrava
from conftest import CLI, SIM

# Its start faces a candle 40 cm ahead: the fan alone puts it out in 1 s, the robot never moving.
ARENA = str(Path(__file__).with_name("candle_ahead.json"))


def until(check, seconds=10.0):
    deadline = time.monotonic() + seconds
    while not check():
        assert time.monotonic() < deadline, "not within the time given"
        time.sleep(0.05)


@pytest.mark.parametrize("way", ["simulate", "view", "device"])
def test_simulator_of_each_simulated_robot(sim, way):
    opening = {"simulate": dict(simulate=True), "view": dict(simulate="view"), "device": dict(device=sim.link)}[way]
    with kestrava.Robot(watchdog=0, **opening) as robot:
        simulator = robot.simulator
        simulator.arena(ARENA)
        assert simulator.pose() == kestrava.Pose(100.0, 60.0, 0.0)
        assert simulator.run() == kestrava.Run(0.0, 0, False, "not started")
        simulator.candle(100, 95)
        robot.stop()  # a motor command starts the clock
        robot.relay(1, True)
        until(lambda: simulator.run().candle_out)
        assert simulator.run() == kestrava.Run(1.0, 0, True, "finished")
        if way == "device":  # the simulator's own word
            assert sim("run") == "ok time 1.0 contacts 0 candle out"
            assert "candle at 100.0 95.0, out" in sim("world")
        simulator.start()
        assert simulator.run().state == "not started"
        with pytest.raises(kestrava.KestravaError, match="simulator.arena: nowhere"):
            simulator.arena("nowhere")


def test_a_run_ended_by_hand(sim):
    """kestrava-cli sim end stops the run's clock; the package reads the state the simulator says."""
    with kestrava.Robot(device=sim.link, watchdog=0) as robot:
        robot.stop()  # a motor command starts the clock
        done = subprocess.run([CLI, "--device", sim.link, "sim", "end"], capture_output=True, text=True, timeout=30)
        assert done.stdout.startswith("ok ended time ")
        run = robot.simulator.run()
        assert (run.state, run.candle_out) == ("ended", False)
        assert robot.simulator.run() == run  # its clock stopped


def test_no_simulator_on_a_real_port():
    controller, device = pty.openpty()
    try:
        with kestrava.Robot(device=os.ttyname(device), timeout=50) as robot:
            assert robot.simulator is None
    finally:
        os.close(controller)
        os.close(device)


def answers_to(connection, lines: int) -> list[str]:
    """Reads until `lines` answers have come, and gives their last lines."""
    received = b""
    while True:
        got = [line for line in received.decode().splitlines() if line.startswith(("ok", "error:", "{"))]
        if len(got) == lines and received.endswith(b"\n"):
            return got
        chunk = connection.recv(65536)
        assert chunk, f"the simulator closed after {received!r}"
        received += chunk


def exchange(path, writes: list) -> list[str]:
    """Sends each write in turn on the control socket, None ending a client that does not
    wait for its answers and starting another; the last client's answers' last lines."""
    clients = [[]]
    for write in writes:
        if write is None:
            clients.append([])
        else:
            clients[-1].append(write)
    for number, client in enumerate(clients, 1):
        with socket.socket(socket.AF_UNIX) as connection:
            connection.settimeout(5)
            connection.connect(path)
            for write in client:
                connection.sendall(write)
                time.sleep(0.05)  # so that the simulator reads each write apart
            if number == len(clients):
                return answers_to(connection, sum(write.count(b"\n") for write in client))


# (simulator options, what is sent write by write (None: that client goes and another
# comes), the answers' last lines)
SOCKET = {
    "one answer per command": ([], [b"run\nbogus\nget 70 1\n"],
                               ["ok not started", 'error: unknown command "bogus" (try help)', "ok 00"]),
    "blank and comment lines": ([], [b"\n   \n# a note\nrun\n"], ["ok", "ok", "ok", "ok not started"]),
    "a line split across writes": ([], [b"ge", b"t 70", b" 1\nru", b"n\n"], ["ok 00", "ok not started"]),
    "too long a line": ([], [b"x" * 5000 + b"\nrun\n"], ["error: line longer than 4096 characters", "ok not started"]),
    "a client that goes mid-line": ([], [b"run\nbog", None, b"us\nrun\n"],
                                    ['error: unknown command "us" (try help)', "ok not started"]),
    "answers in JSON when asked": ([], [b"json run\njson get B0 0 2\njson get C0 1\njson bogus\njson\nrun\n"],
                                   ['{"contacts":0,"ok":true,"state":"not started","time":0}',
                                    '{"bytes":[128,128],"ok":true,"wheels_at_stop":true}', '{"bytes":[0],"ok":true}',
                                    '{"error":"unknown command \\"bogus\\" (try help)","ok":false}', '{"ok":true}',
                                    "ok not started"]),
    "judged, in JSON": (["--judged"], [b"json path\njson world\n"],
                        ['{"ok":true,"points":[]}',
                         '{"error":"not during a judged trial: only run, path, clock and wait are allowed","ok":false}']),
    "judged: the run only": (["--judged"],
                             [b"run\npose 50 50 0\nstart\narena open\ncandle 10 10\nworld\nwrite 70 0 100\n# note\n"],
                             ["ok not started"] + ["error: not during a judged trial: only run, path, clock and wait are allowed"] * 6 + ["ok"]),
    "judged, stepped: the clock and its waits": (["--judged", "--clock", "stepped"], [b"clock\nwait 2.5\nclock\nwait -1\n"],
                                                 ["ok stepped 0.000000000", "ok 2.500000000", "ok stepped 2.500000000",
                                                  'error: seconds must be a number from 0 to 86400, not "-1"']),
    "a real clock is not waited on here": ([], [b"wait 1\n"], ["error: the clock is real: wait in real time"]),
}


@pytest.mark.parametrize("options, writes, answers", SOCKET.values(), ids=SOCKET.keys())
def test_control_socket(tmp_path, options, writes, answers):
    from conftest import Simulator
    simulator = Simulator(tmp_path, "--fast", *options)
    try:
        path = simulator.link + ".control"
        assert os.stat(path).st_mode & 0o077 == 0  # its user's only
        assert exchange(path, writes) == answers
        assert simulator("get 70 1") == "ok 00"  # nothing a judged program asked for was done
    finally:
        simulator.quit()


# (the words after "sim", the exit status, what it prints): one command over the socket.
CLI_SIM = {
    "a command": (["run"], 0, "ok not started\n"),
    "a refused one": (["fly"], 1, 'error: unknown command "fly" (try help)\n'),
    "a comment": (["#", "note"], 0, "ok\n"),
    "a blank line": ([""], 0, "ok\n"),
    "in JSON": (["--json", "run"], 0, '{"contacts":0,"ok":true,"state":"not started","time":0}\n'),
    "json, as the line asks": (["json", "get", "70", "1"], 0, '{"bytes":[0],"ok":true}\n'),
    "refused in JSON": (["--json", "fly"], 1, '{"error":"unknown command \\"fly\\" (try help)","ok":false}\n'),
}


@pytest.mark.parametrize("words, status, output", CLI_SIM.values(), ids=CLI_SIM.keys())
def test_one_command_from_the_command_line(sim, words, status, output):
    done = subprocess.run([CLI, "--device", sim.link, "sim", *words], capture_output=True, text=True, timeout=30)
    assert (done.returncode, done.stdout) == (status, output)


def test_two_programs_never_mix(sim):
    path = sim.link + ".control"
    with socket.socket(socket.AF_UNIX) as first, socket.socket(socket.AF_UNIX) as second:
        first.connect(path)
        second.connect(path)
        first.sendall(b"wor")  # half a command, finished after the other program's
        second.sendall(b"world\n")
        first.sendall(b"ld\n")
        for connection in (second, first):
            connection.settimeout(5)
            received = b""
            while not received.endswith(b"ok\n"):
                received += connection.recv(65536)
            assert received.decode().startswith("arena open") and received.count(b"ok\n") == 1


# A simulator that fails before it is ready: in the background it fails as in the foreground.
FAILING = {"a bad arena": (["--arena", "/nowhere.json"], "/nowhere.json: no such file"),
           "a link it cannot make": (["--link", "/nonexistent/adapter"], "cannot make the link /nonexistent/adapter")}


@pytest.mark.parametrize("options, why", FAILING.values(), ids=FAILING.keys())
def test_background_failing_before_ready(options, why):
    alone = subprocess.run([SIM, *options], stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=30)
    behind = subprocess.run([SIM, *options, "--background"], stdin=subprocess.DEVNULL, capture_output=True,
                            text=True, timeout=30)
    assert alone.returncode != 0 and why in alone.stderr
    assert (behind.returncode, behind.stdout, behind.stderr) == (alone.returncode, "", alone.stderr)


# With no wait between the lines: --background returns once the link is there. Twice over, so
# that a simulator started on the link the last one has just left finds it free.
README = ("{sim} --link {link} --background\n{cli} --device {link} relays 0x81\n{cli} --device {link} sim get 70 1\n"
          "{cli} --device {link} sim quit\n") * 2


def test_readme_lines_in_a_terminal(tmp_path):
    """The simulator in the background from a terminal's shell, ended by its own line; the README's
    console check runs the same lines in a script."""
    script = README.format(sim=SIM, cli=CLI, link=tmp_path / "adapter")
    pid, terminal = pty.fork()
    if pid == 0:
        os.execvp("bash", ["bash", "--norc", "-i", "-c", script])
    os.write(terminal, b"typed at the shell\n")  # what a background simulator must not try to read
    output = b""
    while True:
        try:
            chunk = os.read(terminal, 4096)
        except OSError:
            break
        if not chunk:
            break
        output += chunk
    os.waitpid(pid, 0)
    output = output.decode(errors="replace")
    assert output.count("ok 81") == 2 and output.count("end it with") == 2 and "Stopped" not in output, output
    assert "error" not in output, output  # quit, too, is answered before the simulator goes
    assert not (tmp_path / "adapter").exists() and not (tmp_path / "adapter.control").exists()


def test_view_kept_open_until_closed():
    """--keep-view: the program has gone (the server's input closed) and the view stays until it is ended."""
    server = subprocess.Popen([CLI, "--simulate=view", "--keep-view", "--watchdog", "0", "serve"],
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    server.stdin.write('{"jsonrpc":"2.0","method":"drive","params":{"speed1":200,"speed2":200},"id":1}\n'
                       '{"jsonrpc":"2.0","method":"simulator.run","id":2}\n')
    server.stdin.close()
    assert '"id":1' in server.stdout.readline() and '"state":"running"' in server.stdout.readline()
    with pytest.raises(subprocess.TimeoutExpired):
        server.wait(1.5)
    server.terminate()  # as Ctrl-C or closing the view would end it
    assert server.wait(10) == 0
    assert "the robot view stays open" in server.stderr.read()


# The programs with windows, started where none can open: one line, a way named, a status of their own.
NO_DISPLAY = {
    "the panel": (["kestrava"], "kestrava: no display"),
    "the panel on the simulated bus": (["kestrava", "--simulate"], "kestrava: no display"),
    "the robot view": (["kestrava-sim", "--view"], "kestrava-sim: --view: no display"),
    "the robot view in the background": (["kestrava-sim", "--view", "--background"], "kestrava-sim: --view: no display"),
}


@pytest.mark.parametrize("command, said", NO_DISPLAY.values(), ids=NO_DISPLAY.keys())
def test_a_window_without_a_display(command, said):
    env = {name: value for name, value in os.environ.items()
           if name not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    done = subprocess.run([os.path.join(os.path.dirname(CLI), command[0]), *command[1:]], capture_output=True,
                          text=True, timeout=30, env=env)
    assert done.returncode == 4 and done.stdout == ""
    assert done.stderr == (f"{said} to open a window on: run it in a desktop session, or under xvfb-run "
                           "(xvfb-run -a COMMAND) for a test\n")
