"""The example programs end to end, judged by the simulator's world."""

import math
import os
import subprocess
import sys
from pathlib import Path

import pytest

from conftest import PACKAGE, Simulator

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"


def place(sim, what):
    """The x and y of the robot or the candle in the simulator's world."""
    words = sim("world").replace(",", " ").split()
    return [float(n) for n in words[words.index(what) + 2:][:2]]


def front_reaches_candle(sim):
    # The robot is a disc of 15 cm radius: its front is within 20 cm of the candle.
    return math.dist(place(sim, "robot"), place(sim, "candle")) < 35


# (the simulator's options, its set-up, the example and its options, its exit status, what the world then shows)
RUNS = {
    # 85 cm short of the candle, turned 33 degrees left of it: out of the array's sight, so the
    # program searches, approaches and drives the last stretch, in half the time of the whole arena.
    "warm_object reaches it, on the wire": ([], ["pose 135 215 330"], ["warm_object.py"], 0, front_reaches_candle),
    "warm_object gives up after a circle": (["--fast"], ["candle 230 80"], ["warm_object.py"], 1,  # behind the crate
                                            lambda sim: sim("get B0 0 2") == "ok 80 80"),
    "candle in the south-west room": (["--fast", "--arena", "house", "--seed", "5"], [], ["candle.py"], 0,
                                      lambda sim: sim("run").endswith("candle out")),
}


@pytest.mark.parametrize("options, setup, example, status, holds", RUNS.values(), ids=RUNS.keys())
def test_example(tmp_path, options, setup, example, status, holds):
    sim = Simulator(tmp_path, *options)
    try:
        for command in setup:
            assert sim(command) == "ok"
        ran = subprocess.run([sys.executable, str(EXAMPLES / example[0]), *example[1:], "--device", sim.link],
                             timeout=120, env=dict(os.environ, PYTHONPATH=PACKAGE))
        assert ran.returncode == status
        assert holds(sim)
    finally:
        sim.quit()
