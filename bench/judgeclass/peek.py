#!/usr/bin/env python3
"""A class's program for the judge's bench: along the hall it looks straight into each room, and
drives at a candle it sees there with the fan on; it never looks round."""

import time

import kestrava

DOORWAYS = [(65, 0), (85, 180), (175, 180), (195, 0)]  # (x along the hall, the bearing into the room)

with kestrava.Robot(simulate=True) as robot:
    x = 30
    for doorway_x, into_room in DOORWAYS:
        robot.turn_to(90)
        robot.forward(doorway_x - x, stop_within=15)
        x = doorway_x
        robot.turn_to(into_room)
        reading = robot.thermal()
        warmest = max(range(8), key=lambda i: reading.pixels[i])
        if reading.pixels[warmest] - reading.ambient >= 6:
            robot.turn((warmest - 3.5) * 41 / 8)
            robot.relay(1, True)
            robot.forward(45, speed=20, stop_within=10)
            time.sleep(2)
            robot.relay(1, False)
            print("blew at it")
            break
    else:
        print("no candle seen")
