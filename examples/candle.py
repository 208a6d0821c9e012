#!/usr/bin/env python3
"""Finds the candle in the house and puts it out with the fan.

    python3 candle.py --simulate=view --seed 3     # the house arena; or --device /dev/ttyUSB0

The house is a hall running east from the start, with two rooms on each side. The robot
drives along the hall and, at each doorway, sweeps the thermal array across the room. Once
a pixel reads warm, it goes in through the middle of the doorway, turns to the candle and
drives at it with the fan on, until the array reads the candle no warmer than the room.
The flame goes out once the fan has blown at it for 1 s in all from within 30 cm of the
robot's front and 20 degrees of its heading.
"""

import sys
import time

import kestrava

START_X = 30           # cm along the hall, where the robot starts facing east
EAST = 90
DOORWAYS = [(65, 0), (85, 180), (175, 180), (195, 0)]  # (x along the hall, the bearing into the room)
ROOM_DEPTH = 35        # how far into a room the robot goes to look round: clear of the doorway, short of a candle behind it
SPEED = 60             # cm/s
SWEEP_RATE = 90        # degrees a second while looking
PIXEL_DEGREES = 41 / 8
SEEN = 6               # degrees above ambient that count as the candle
BLOW_SECONDS = 1.2     # the flame needs 1 s of the fan within its reach
AIMED_BLOWS = 2        # blows from where the robot stands before it creeps closer
NEAR = 55              # above ambient: within about 55 cm of the array


def warmest(robot: kestrava.Robot) -> tuple[float, int]:
    """How many degrees right of the heading the warmest pixel looks, and how much warmer it reads."""
    reading = robot.thermal()
    pixel = max(range(8), key=lambda i: reading.pixels[i])
    return (pixel - 3.5) * PIXEL_DEGREES, reading.pixels[pixel] - reading.ambient


def sweep(robot: kestrava.Robot, degrees: float) -> bool:
    """Turns right up to `degrees` watching the array; True, stopped, as soon as a pixel reads warm."""
    turned, last = 0.0, robot.bearing()
    try:
        while turned < degrees:
            robot.move(turn_rate=SWEEP_RATE)  # again each time: the controller stops by itself after 2 s
            if warmest(robot)[1] >= SEEN:
                return True
            now = robot.bearing()
            turned += (now - last + 180) % 360 - 180
            last = now
        return False
    finally:
        robot.stop()


def put_out(robot: kestrava.Robot, fan: int) -> bool:
    """Drives at the candle, the fan on once near; True when the array no longer sees it warm."""
    blows = 0
    try:
        for _ in range(20):  # every pass gets closer, or blows at it a little longer
            offset, excess = warmest(robot)
            if excess < SEEN:
                return blows > 0  # out, or out of sight before the fan ever ran
            if abs(offset) > 3:
                robot.turn(offset)
            if excess < NEAR:  # beyond 50 cm the array tells how far: 60 x 50 / distance
                robot.forward(max(5.0, 3000 / excess - 35), speed=SPEED, stop_within=12)
            elif blows < AIMED_BLOWS:  # within 50 cm: blow from here, aimed anew, it may be in reach already
                robot.relay(fan, True)
                blows += 1
                time.sleep(BLOW_SECONDS)
            else:
                robot.forward(4, speed=8, stop_within=8)
        return False
    finally:
        robot.relay(fan, False)


def tour(robot: kestrava.Robot, fan: int) -> bool:
    """Along the hall, a look into each room, then into the one that shows the candle; True once it is out."""
    x = START_X
    for doorway_x, into_room in DOORWAYS:
        robot.turn_to(EAST)
        robot.forward(doorway_x - x, speed=SPEED, stop_within=15)
        x = doorway_x
        robot.turn_to((into_room - 50) % 360)
        if sweep(robot, 100):
            robot.turn_to(into_room)
            robot.forward(ROOM_DEPTH, speed=SPEED, stop_within=20)
            return sweep(robot, 360) and put_out(robot, fan)
    return False


def main() -> int:
    parser = kestrava.argument_parser(__doc__.splitlines()[0])
    parser.add_argument("--fan", type=int, default=1, help="the relay that runs the fan (default 1)")
    arguments = parser.parse_args()
    if arguments.simulate and arguments.arena is None:
        arguments.arena = "house"
    with kestrava.robot_from_arguments(arguments) as robot:
        try:
            out = tour(robot, arguments.fan)
        except kestrava.Stalled as error:
            print(f"gave up: {error}")
            return 1
    print("the candle is out" if out else "the candle is still burning")
    return 0 if out else 1


if __name__ == "__main__":
    sys.exit(main())
