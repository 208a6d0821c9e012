#!/usr/bin/env python3
"""A class's program for the judge's bench: runs down the hall with the fan on, and gives up."""

import kestrava

with kestrava.Robot(simulate=True) as robot:
    robot.relay(1, True)
    robot.forward(200, stop_within=20)
    robot.relay(1, False)
    print("no candle seen")
