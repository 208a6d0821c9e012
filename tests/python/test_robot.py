"""Each method against the simulator's own registers; bad arguments; errors; choosing the port."""

import json
import math
import os
import re
import shutil
import subprocess
import sys
import threading
import time
from pathlib import Path

import pytest

import kestrava
from kestrava import DeviceLost, KestravaError, NoAnswer, PortError, Telemetry, Thermal
from conftest import CLI, PACKAGE

# (simulator set-up, the call, what it returns or raises, a control command, what its answer holds)
METHODS = {
    "bearing": (["bearing C0 123.4"], lambda r: r.bearing(), 123.4, None, None),
    "thermal": (["noise D0 off", "temp D0 22 20 21 22 23 24 25 26 27"], lambda r: r.thermal(),
                Thermal(6, 22, [20, 21, 22, 23, 24, 25, 26, 27]), None, None),
    "telemetry at rest": ([], lambda r: r.telemetry(), Telemetry(0, 0, 12.1, 0.0, 0.0, 9), None, None),
    "travelled since": ([], lambda r: r.telemetry().travelled_since(Telemetry(-360, -720, 0, 0, 0, 9)), 15 * math.pi,
                        None, None),
    "the extreme counts": (["remove B0", "add B0 generic", "set B0 2 0x80 0 0 0 0x7f 0xff 0xff 0xff 121 0 0 9"],
                           lambda r: r.telemetry(), Telemetry(-2**31, 2**31 - 1, 12.1, 0.0, 0.0, 9), None, None),
    "travelled back": (["remove B0", "add B0 generic", "set B0 2 0xff 0xff 0xff 0x59 0xff 0xff 0xff 0x59"],
                       lambda r: r.telemetry().travelled_since(Telemetry(0, 0, 0, 0, 0, 0)), -167 * math.pi * 10 / 360,
                       None, None),
    "travelled across the counter's wrap": ([], lambda r: Telemetry(-2**31 + 5, -2**31 + 5, 0, 0, 0, 0).travelled_since(
        Telemetry(2**31 - 5, 2**31 - 5, 0, 0, 0, 0)), 10 * math.pi * 10 / 360, None, None),
    "ranges E0 to E8": (["range E0 34", "range E2 50", "range E4 120", "range E6 255", "range E8 18"],
                        lambda r: r.ranges(), [34, 50, 120, 255, 18], None, None),
    "read three": (["add 40 generic", "set 40 7 1 2 255"], lambda r: r.read(0x40, 7, 3), b"\x01\x02\xff", None, None),
    "write two": (["add 40 generic"], lambda r: r.write(0x40, 9, b"\x07\x08"), 1, "get 40 9 2", "ok 07 08"),
    "relay keeps its pattern": ([], lambda r: r.relay(3, True) or r.relay(1, True) or r.relay(3, False), None,
                                "get 70 1", "ok 01"),
    "servo 21 at the top": ([], lambda r: r.servo(21, 2500), None, "get C2 61 2", "ok C4 09"),
    "display": ([], lambda r: r.display("Hola robot"), None, "screen", "Hola robot"),
    "keys in keypad order": (["press #", "press 5", "press 1"], lambda r: r.keys(), "15#", None, None),
    "drive keeps going": ([], lambda r: r.drive(150, 100), None, "get B0 0 2", "ok 96 64"),
    "timed drive, mode 1": (["write B0 15 1"], lambda r: r.drive(20, 20, ms=200), None, "get B0 0 2", "ok 00 00"),
    "stop, mode 3": (["write B0 15 3"], lambda r: r.drive(20, 9) or r.stop(), None, "get B0 0 2", "ok 00 00"),
    "wheels, each its own way": ([], lambda r: r.wheels(127, -127), None, "get B0 0 2", "ok ff 01"),
    "wheels leave mode 3, known by a stop, for 0": (["write B0 15 3"], lambda r: r.stop() or r.wheels(20, -20), None,
                                                     "get B0 15", "ok 00"),
    "silent compass": (["silence C0"], lambda r: r.bearing(), NoAnswer(".", 0xC0, 0), None, None),
    "silent motors": (["silence B0"], lambda r: r.telemetry(), NoAnswer(".", 0xB0, 2), None, None),
    "late keypad": (["delay C6 600"], lambda r: r.keys(), NoAnswer(".", 0xC6, 1), None, None),
    "nobody there": ([], lambda r: r.write(0x44, 5, 1), NoAnswer(".", 0x44, 5), None, None),
    "unplugged": (["drop"], lambda r: r.ranges(), DeviceLost(), None, None),
}


@pytest.mark.parametrize("setup, call, expected, check, holds", METHODS.values(), ids=METHODS.keys())
def test_method(sim, robot, setup, call, expected, check, holds):
    for command in setup:
        assert sim(command).endswith("ok")
    if isinstance(expected, Exception):
        with pytest.raises(type(expected)) as raised:
            call(robot)
        if isinstance(expected, NoAnswer):
            assert (raised.value.address, raised.value.register) == (expected.address, expected.register)
        if isinstance(expected, DeviceLost):  # and stays lost
            with pytest.raises(DeviceLost):
                robot.bearing()
    else:
        got = call(robot)
        assert got == (pytest.approx(expected) if isinstance(expected, float) else expected)
    if check:
        assert holds.lower() in sim(check).lower()


BAD_CALLS = {
    "odd address": lambda r: r.read(0xC1, 0),
    "register 256": lambda r: r.read(0xC0, 256),
    "count 0": lambda r: r.read(0xC0, 0, 0),
    "no bytes": lambda r: r.write(0x70, 1, []),
    "byte 256": lambda r: r.write(0x70, 1, [1, 256]),
    "text for bytes": lambda r: r.write(0x70, 1, "ab"),
    "pattern 256": lambda r: r.relays(256),
    "relay 9": lambda r: r.relay(9, False),
    "servo 22": lambda r: r.servo(22, 1500),
    "position 499": lambda r: r.servo(1, 499),
    "41 characters": lambda r: r.display("x" * 41),
    "speed 256": lambda r: r.drive(256, 128),
    "a fraction of a speed": lambda r: r.drive(128.5, 128),
    "speed True": lambda r: r.drive(True, 128),
    "10001 ms": lambda r: r.drive(128, 128, ms=10001),
    "wheel step -128": lambda r: r.wheels(-128, 0),
    "a fraction of a wheel step": lambda r: r.wheels(0, 0.5),
    # The drive base's moves.
    "forward -1 cm": lambda r: r.forward(-1),
    "speed 0": lambda r: r.forward(10, speed=0),
    "faster than the wheels": lambda r: r.backward(10, speed=100),
    "stop_within 0": lambda r: r.forward(10, stop_within=0),
    "turn not a number": lambda r: r.turn(math.nan),
    "turn_to 360.5": lambda r: r.turn_to(360.5),
    "turn_to text": lambda r: r.turn_to("north"),
    "move turning too fast": lambda r: r.move(0, 1000),
    "ranges together 1": lambda r: r.ranges(together=1),
}


@pytest.mark.parametrize("call", BAD_CALLS.values(), ids=BAD_CALLS.keys())
def test_bad_argument_sends_nothing(robot, monkeypatch, call):
    sent = []
    monkeypatch.setattr(robot._server, "_send", sent.append)
    with pytest.raises(ValueError):
        call(robot)
    assert sent == []


PORTS = {
    "simulated": (dict(simulate=True), {}, None),
    "missing device": (dict(device="/nonexistent/ttyUSB9"), {}, PortError),
    "COM 16 leads nowhere": (dict(com=16), {"KESTRAVA_COM16": "/nonexistent/tty"}, PortError),
    "two ports": (dict(device="/dev/null", com=1), {}, ValueError),
    "simulate what": (dict(simulate="yes"), {}, ValueError),
    "an arena without the simulator": (dict(arena="default"), {}, ValueError),
    "a seed without the simulator": (dict(seed=1), {}, ValueError),
    "a seed past 32 bits": (dict(simulate=True, seed=2**32), {}, ValueError),
    "wheels of no size": (dict(simulate=True, wheel_diameter=0), {}, ValueError),
    "watchdog below 0": (dict(watchdog=-1), {}, ValueError),
    "an arena that is not there": (dict(simulate=True, arena="/nonexistent/arena"), {}, KestravaError),
    "no such program": (dict(simulate=True), {"KESTRAVA_CLI": "/nonexistent/kestrava-cli"}, KestravaError),
    "a program that ends at once": (dict(simulate=True), {"KESTRAVA_CLI": "/bin/false"}, KestravaError),
    "a program that echoes": (dict(simulate=True), {"KESTRAVA_CLI": "#!/bin/sh\nexec cat\n"}, KestravaError),
}


@pytest.mark.parametrize("options, environment, error", PORTS.values(), ids=PORTS.keys())
def test_opening(monkeypatch, tmp_path, options, environment, error):
    for name, value in environment.items():
        if value.startswith("#!"):  # a stand-in for kestrava-cli
            (tmp_path / "program").write_text(value)
            (tmp_path / "program").chmod(0o755)
            value = str(tmp_path / "program")
        monkeypatch.setenv(name, value)
    if error:
        with pytest.raises(error):
            kestrava.Robot(**options)
    else:
        with kestrava.Robot(**options) as robot:
            assert robot.telemetry().version == 9


def test_unplugged_during_a_timed_drive(sim, robot):
    """The server's own reply with code 4, not only its exit, is DeviceLost, and comes at once."""
    threading.Timer(0.3, sim, ["drop"]).start()
    started = time.monotonic()
    with pytest.raises(DeviceLost):
        robot.drive(150, 150, ms=8000)
    assert time.monotonic() - started < 5  # the drive had 7.7 s to go


def test_a_checkout_finds_its_own_build(tmp_path):
    """Without KESTRAVA_CLI and with nothing on PATH, a checkout's package runs its build/bin/kestrava-cli."""
    checkout = tmp_path / "checkout"
    shutil.copytree(Path(PACKAGE) / "kestrava", checkout / "python" / "kestrava")
    (checkout / "build" / "bin").mkdir(parents=True)
    for program in ("kestrava-cli", "kestrava-sim"):
        (checkout / "build" / "bin" / program).symlink_to(Path(CLI).parent / program)
    environment = {key: value for key, value in os.environ.items() if key != "KESTRAVA_CLI"}
    environment.update(PYTHONPATH=str(checkout / "python"), PATH="/nonexistent")
    shown = subprocess.run([sys.executable, "-c", "import kestrava._server as s; print(s.find_program()); "
                            "import kestrava; r = kestrava.Robot(simulate=True); print(r.telemetry().version); r.close()"],
                           env=environment, capture_output=True, text=True, timeout=60)
    assert shown.stdout.split() == [str(checkout / "build" / "bin" / "kestrava-cli"), "9"], shown.stderr


@pytest.mark.parametrize("seed, warm", [(None, True), (0, False), (2, False)],
                         ids=["no seed: the first place", "seed 0 is a seed too", "seed 2"])
def test_seed_picks_the_candles_place(tmp_path, seed, warm):
    arena = tmp_path / "seeds.json"
    # The first place is straight ahead of the start, 88 cm from the array; seeds 0 and 2 pick the second.
    arena.write_text(json.dumps({"name": "seeds", "size": [300, 300], "start": [100, 50, 0],
                                 "candles": [[100, 150], [280, 20], [20, 20]]}))
    with kestrava.Robot(simulate=True, arena=str(arena), seed=seed) as robot:
        reading = robot.thermal()
    assert (max(reading.pixels) - reading.ambient >= 30) == warm


def test_the_packages_limits_and_codes_are_the_servers():
    """The package checks arguments and reads errors by its own copies of the server's numbers."""
    from kestrava import limits
    hello = subprocess.run([CLI, "--device", "/nonexistent/tty", "serve"], capture_output=True, text=True, timeout=30,
                           input='{"jsonrpc": "2.0", "id": 1, "method": "hello"}\n')
    result = json.loads(hello.stdout)["result"]
    assert result["limits"] == {
        "default_watchdog_ms": limits.DEFAULT_WATCHDOG_MS, "longest_wait_ms": limits.LONGEST_WAIT_MS,
        "clock_wait_seconds": limits.LONGEST_CLOCK_WAIT_S,
        "drive_ms": limits.LONGEST_DRIVE_MS, "wheel_steps": list(limits.WHEEL_STEPS), "servo_position": list(limits.SERVO_POSITIONS),
        "servos": limits.SERVOS, "read_count": limits.READ_COUNT, "text_length": limits.LONGEST_TEXT}
    codes = result["codes"]
    assert (codes["invalid_params"], codes["no_answer"], codes["port_not_opened"], codes["device_lost"]) == (
        limits.INVALID_PARAMS, limits.NO_ANSWER, limits.PORT_NOT_OPENED, limits.DEVICE_LOST)


EXAMPLE = str(Path(PACKAGE).parent / "examples" / "square.py")
# A program run from the shell as a newcomer runs it: (its arguments, status, its first line on
# standard output, its whole standard error). Usage mistakes are one line saying what to do.
PROGRAMS = {
    "hello names the simulated robot": (["-m", "kestrava", "--simulate"], 0,
                                        r"kestrava-cli \S+ on the simulated robot \(/dev/pts/\d+\)", ""),
    "a seed without the simulator": (["-m", "kestrava", "--seed", "3"], 2, "",
                                     "python3 -m kestrava: error: --seed goes with --simulate: add --simulate "
                                     "(or --simulate=view) (see --help)\n"),
    "an arena without the simulator": ([EXAMPLE, "--arena", "house"], 2, "",
                                       "square.py: error: --arena goes with --simulate: add --simulate "
                                       "(or --simulate=view) (see --help)\n"),
    "a misspelt arena": ([EXAMPLE, "--simulate", "--arena", "House"], 1, "",
                         "error: cannot start the simulated bus: kestrava-sim: House: no such file, nor a bundled "
                         "arena (open, house, corridor)\n"),
    "a COM port past 16": ([EXAMPLE, "--com", "17"], 2, "", "error: com must be a whole number from 1 to 16, not 17\n"),
}


@pytest.mark.parametrize("arguments, status, first_line, errors", PROGRAMS.values(), ids=PROGRAMS.keys())
def test_program_messages(arguments, status, first_line, errors):
    ran = subprocess.run([sys.executable, *arguments], capture_output=True, text=True, timeout=60,
                         env=dict(os.environ, PYTHONPATH=PACKAGE))
    assert (ran.returncode, ran.stderr) == (status, errors)
    assert re.fullmatch(first_line, ran.stdout.split("\n")[0])


def test_the_speed_limit_is_the_one_the_docs_give(robot):
    with pytest.raises(ValueError, match=r"speed must be a number from 0.5 to 88.66, not 90"):
        robot.forward(100, speed=90)
    docs = (Path(PACKAGE).parent / "docs" / "programming.md").read_text()
    assert "0.5 to 88.66" in docs and "| −88.66 to 88.66 cm/s |" in docs
