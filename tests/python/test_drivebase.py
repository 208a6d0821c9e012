"""The drive base judged by the simulator's own pose, not by what the package believes."""

import math
import os
import signal
import subprocess
import sys
import time

import pytest

import kestrava
from conftest import PACKAGE


def pose(sim):
    """The robot's x, y and heading from the simulator's world."""
    words = sim("world").replace(",", " ").split()
    at = words.index("robot")
    return float(words[at + 2]), float(words[at + 3]), float(words[at + 5])


def square(robot):
    for _ in range(4):
        robot.forward(60, speed=40)
        robot.turn(90)


# (where the robot starts in the open arena and the controller's mode, the move, then how far from the start it ends
# in cm and how many degrees it turned, each with its tolerance; what the move returns)
MOVES = {
    "forward 50": (["pose 300 100 0"], lambda r: r.forward(50), (50, 1), (0, 2), 50),
    "forward 20 from mode 3": (["pose 300 100 0", "write B0 15 3", "write B0 0 0 0"], lambda r: r.forward(20),
                               (20, 1), (0, 2), 20),
    "backward 30, fast": (["pose 300 200 90"], lambda r: r.backward(30, speed=40), (30, 1), (0, 2), 30),
    "turn 90": (["pose 300 200 0"], lambda r: r.turn(90), (0, 0.5), (90, 2), 90),
    "turn -135": (["pose 300 200 10"], lambda r: r.turn(-135), (0, 0.5), (-135, 2), -135),
    "turn_to 200 the short way, left": (["pose 300 200 350"], lambda r: r.turn_to(200), (0, 0.5), (-150, 2), -150),
    "turn_to 10 across north": (["pose 300 200 340"], lambda r: r.turn_to(10), (0, 0.5), (30, 2), 30),
    "round a 60 cm square": (["pose 300 100 0"], square, (0, 2), (0, 1.5), None),
    # The ranger ahead sits 12 cm before the centre; the wall is at y 400.
    "stop_within 15 before a wall": (["pose 300 340 0"], lambda r: r.forward(100, stop_within=15), (33, 2), (0, 2), 33),
}


@pytest.mark.parametrize("setup, move, travel, turned, returns", MOVES.values(), ids=MOVES.keys())
def test_move_ends_where_asked(sim, robot, setup, move, travel, turned, returns):
    for command in setup:
        assert sim(command) == "ok"
    before = pose(sim)
    got = move(robot)
    after = pose(sim)
    assert math.dist(before[:2], after[:2]) == pytest.approx(travel[0], abs=travel[1])
    assert (after[2] - before[2] + 180) % 360 - 180 == pytest.approx(turned[0], abs=turned[1])
    if returns is not None:
        assert got == pytest.approx(returns, abs=2)
    assert sim("get B0 0 2") == "ok 80 80"  # mode 0's stop


# (set-up, the move, what the message says): each gives up within a bounded time, stopped.
STALLS = {
    "a wall ahead": (["pose 300 340 0"], lambda r: r.forward(100), "slipping"),
    "a wall behind": (["pose 300 30 0"], lambda r: r.backward(50), "slipping"),
    "a silent compass, turning": (["silence C0"], lambda r: r.turn(90), "compass"),
    "a silent compass, driving": (["silence C0"], lambda r: r.forward(50), "compass"),
    "a silent ranger with stop_within": (["silence E4"], lambda r: r.forward(50, stop_within=10), "ranger"),
}


@pytest.mark.parametrize("setup, move, why", STALLS.values(), ids=STALLS.keys())
def test_move_that_cannot_go_on_gives_up_stopped(sim, robot, setup, move, why):
    for command in setup:
        assert sim(command) == "ok"
    began = time.monotonic()
    with pytest.raises(kestrava.Stalled, match=why):
        move(robot)
    assert time.monotonic() - began < 15
    assert sim("get B0 0 2") == "ok 80 80"


def test_ranger_falling_silent_leaves_a_plain_move_to_the_encoders(sim, robot):
    assert sim("pose 300 100 0") == "ok" and sim("silence E4") == "ok"
    robot.forward(30)
    assert pose(sim)[1] == pytest.approx(130, abs=1)


SIMULATED_WHEEL_DIAMETER = 10  # the simulated robot's own


@pytest.mark.parametrize("wheel_diameter", [10, 5])
def test_move_keeps_going_and_both_distances_count_it_on_the_robots_wheels(sim, wheel_diameter):
    """A robot told its wheels are 5 cm takes every count for half the simulator's cm, in both readings."""
    assert sim("pose 300 100 0") == "ok"
    with kestrava.Robot(device=sim.link, timeout=100, watchdog=0, wheel_diameter=wheel_diameter) as robot:
        robot.reset_distance()
        start = robot.telemetry()
        robot.move(speed=20)
        time.sleep(1)
        robot.stop()
        time.sleep(0.3)
        believed = (pose(sim)[1] - 100) * wheel_diameter / SIMULATED_WHEEL_DIAMETER
        assert robot.distance() == pytest.approx(believed, abs=0.5)
        assert robot.telemetry().travelled_since(start) == pytest.approx(believed, abs=0.5)
    assert sim("get B0 15") == "ok 00"


CHILD = """
import sys, kestrava
with kestrava.Robot(device=sys.argv[1]) as robot:
    print("moving", flush=True)
    robot.forward(300, speed=10)
"""


def test_ctrl_c_in_a_move_stops_at_once(sim):
    assert sim("write B0 16 0x32") == "ok"  # the controller's own stop off: only the program's counts
    assert sim("pose 300 40 0") == "ok"
    child = subprocess.Popen([sys.executable, "-c", CHILD, sim.link], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, env=dict(os.environ, PYTHONPATH=PACKAGE))
    try:
        assert child.stdout.readline() == b"moving\n"
        deadline = time.monotonic() + 10
        while sim("get B0 0 2") == "ok 80 80":
            assert time.monotonic() < deadline, "the move never started"
            time.sleep(0.05)
        child.send_signal(signal.SIGINT)
        assert child.wait(5) != 0
        assert sim("get B0 0 2") == "ok 80 80"
    finally:
        child.kill()
        child.wait()
