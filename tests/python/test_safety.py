"""The motors end at rest in the controller's own mode, however the program ends."""

import os
import signal
import subprocess
import sys
import time

import pytest

from conftest import PACKAGE

# Speeds that run forwards, and the stop, of each mode as the speed registers show them; the
# wheels' steps run in mode 0, whatever the mode before.
MOVING = {0: ("drive 150 150", "96 96"), 1: ("drive 20 20", "14 14"), 2: ("drive 150 128", "96 80"),
          3: ("drive 20 0", "14 00"), "wheels": ("wheels 20 20", "94 94")}
STOPPED = {0: "80 80", 1: "00 00", 2: "80 80", 3: "00 00", "wheels": "80 80"}

CHILD = """
import sys, kestrava
device, mode, watchdog, move, ms, ending = sys.argv[1:]
how, *speeds = move.split()
with kestrava.Robot(device=device, watchdog=int(watchdog)) as robot:
    robot.write(0xB0, 15, int(mode))
    print("driving", flush=True)
    if how == "wheels":
        robot.wheels(*map(int, speeds))
    else:
        robot.drive(*map(int, speeds), ms=int(ms) or None)
    sys.stdin.readline()  # until the test says so, without a request
    if ending == "raise":
        raise RuntimeError("the program fails")
"""


def wait_for(sim, command, answer, seconds):
    deadline = time.monotonic() + seconds
    while answer.lower() not in sim(command).lower():
        assert time.monotonic() < deadline, f"{command!r} never answered {answer!r}: {sim(command)!r}"
        time.sleep(0.05)


@pytest.fixture
def careless_motors(sim):
    """The controller's own automatic stop is off, so that only the program's stops count."""
    assert sim("write B0 16 0x32").endswith("ok")
    return sim


# (the mode written first, the move (a mode's drive, or the wheels), the watchdog, a timed drive's ms or 0, how the
# program ends: a signal, or what it does next)
ENDINGS = {
    "leaves with, mode 0": (0, 0, 0, 0, "leave"),
    "exception in with, mode 1": (1, 1, 0, 0, "raise"),
    "Ctrl-C, mode 0": (0, 0, 0, 0, signal.SIGINT),
    "Ctrl-C in a 10 s drive, mode 1": (1, 1, 0, 10000, signal.SIGINT),
    "killed, mode 1": (1, 1, 0, 0, signal.SIGKILL),
    "killed, mode 2": (2, 2, 0, 0, signal.SIGKILL),
    "terminated, mode 3": (3, 3, 0, 0, signal.SIGTERM),
    "hung, watchdog 300 ms, mode 3": (3, 3, 300, 0, None),
    "killed, the wheels from mode 1": (1, "wheels", 0, 0, signal.SIGKILL),
    "leaves with, the wheels from mode 3": (3, "wheels", 0, 0, "leave"),
}


@pytest.mark.parametrize("mode, move, watchdog, ms, ending", ENDINGS.values(), ids=ENDINGS.keys())
def test_program_that_ends_while_driving(careless_motors, mode, move, watchdog, ms, ending):
    sim = careless_motors
    child = subprocess.Popen([sys.executable, "-c", CHILD, sim.link, str(mode), str(watchdog), MOVING[move][0],
                              str(ms), str(ending)], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             env=dict(os.environ, PYTHONPATH=PACKAGE))
    try:
        assert child.stdout.readline() == b"driving\n"
        wait_for(sim, "get B0 0 2", MOVING[move][1], 10)
        if isinstance(ending, signal.Signals):
            child.send_signal(ending)
        elif ending:
            child.stdin.write(b"go on\n")
            child.stdin.flush()
        # Far less than the 10 s drive: the stop comes at once, not when the drive ends.
        wait_for(sim, "get B0 0 2", STOPPED[move], 5)
    finally:
        child.kill()
        child.wait()
