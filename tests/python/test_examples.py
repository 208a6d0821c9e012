"""An example program end to end, against the simulator's world."""

import math
import os
import subprocess
import sys
from pathlib import Path

from conftest import PACKAGE, Simulator

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"


def test_warm_object_example_reaches_it(tmp_path):
    sim = Simulator(tmp_path)  # wire time, as on the robot
    try:
        # 85 cm short of the candle, turned 33 degrees left of it: out of the array's
        # sight, so the program searches, approaches and drives the last stretch,
        # in half the time of the whole arena.
        assert sim("pose 135 215 330") == "ok"
        subprocess.run([sys.executable, str(EXAMPLES / "warm_object.py"), "--device", sim.link], check=True,
                       timeout=120, env=dict(os.environ, PYTHONPATH=PACKAGE))
        world = sim("world").replace(",", " ").split()
        robot, candle = ([float(n) for n in world[world.index(what) + 2:][:2]] for what in ("robot", "candle"))
        # The robot is a disc of 15 cm radius: its front is within 20 cm of the candle.
        assert math.dist(robot, candle) < 35
    finally:
        sim.quit()
