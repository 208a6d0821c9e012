#!/usr/bin/env python3
"""A class's program for the judge's bench: looks round from the start, then drives at the warmest
pixel with the fan on. It only finds a candle it can see from the hall."""

import kestrava

with kestrava.Robot(simulate=True) as robot:
    for _ in range(24):
        reading = robot.thermal()
        if max(reading.pixels) - reading.ambient >= 6:
            break
        robot.turn(15)
    else:
        print("no candle seen")
        raise SystemExit(1)
    robot.relay(1, True)
    robot.forward(80, stop_within=15)
    robot.relay(1, False)
