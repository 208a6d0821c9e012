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


def test_no_simulator_on_a_real_port():
    controller, device = pty.openpty()
    try:
        with kestrava.Robot(device=os.ttyname(device), timeout=50) as robot:
            assert robot.simulator is None
    finally:
        os.close(controller)
        os.close(device)


def exchange(path, data: bytes) -> list[str]:
    """Sends bytes on the control socket and reads until the last command's answer has come."""
    with socket.socket(socket.AF_UNIX) as connection:
        connection.settimeout(5)
        connection.connect(path)
        connection.sendall(data)
        received = b""
        while received.count(b"\n") < data.count(b"\n") or not received.endswith(b"\n"):
            chunk = connection.recv(65536)
            assert chunk, f"the simulator closed after {received!r}"
            received += chunk
            lines = received.decode().splitlines()
            if sum(line.startswith(("ok", "error:")) for line in lines) == data.count(b"\n"):
                return lines
    return received.decode().splitlines()


# (simulator options, what is sent, the answers' last lines)
SOCKET = {
    "one answer per command": ([], b"run\nbogus\nget 70 1\n",
                               ["ok not started", 'error: unknown command "bogus" (try help)', "ok 00"]),
    "too long a line": ([], b"x" * 5000 + b"\nrun\n", ["error: line longer than 4096 characters", "ok not started"]),
    "judged: the run only": (["--judged"], b"run\npose 50 50 0\nstart\narena open\ncandle 10 10\nworld\nwrite 70 0 100\n",
                             ["ok not started"] + ["error: not during a judged trial: only run and path are allowed"] * 6),
}


@pytest.mark.parametrize("options, sent, answers", SOCKET.values(), ids=SOCKET.keys())
def test_control_socket(tmp_path, options, sent, answers):
    from conftest import Simulator
    simulator = Simulator(tmp_path, "--fast", *options)
    try:
        path = simulator.link + ".control"
        assert os.stat(path).st_mode & 0o077 == 0  # its user's only
        got = [line for line in exchange(path, sent) if line.startswith(("ok", "error:"))]
        assert got == answers
        assert simulator("get 70 1") == "ok 00"  # nothing a judged program asked for was done
    finally:
        simulator.quit()


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


README = "{sim} --link {link} &\nsleep 1\n{cli} --device {link} relays 0x81\n{cli} --device {link} sim get 70 1\nkill %1\n"


@pytest.mark.parametrize("interactive", [False, True], ids=["script", "terminal"])
def test_readme_lines(tmp_path, interactive):
    """In a script the simulator's input is /dev/null; in a terminal it is a background job's."""
    script = README.format(sim=SIM, cli=CLI, link=tmp_path / "adapter")
    if not interactive:
        done = subprocess.run(["bash", "-c", script], capture_output=True, text=True, timeout=30)
        output = done.stdout
    else:
        pid, terminal = pty.fork()
        if pid == 0:
            os.execvp("bash", ["bash", "--norc", "-i", "-c", script])
        time.sleep(0.5)
        os.write(terminal, b"typed at the shell\n")  # what a background job must not try to read
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
    assert "81" in output and "ok 81" in output and "Stopped" not in output


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
