#!/usr/bin/env python3
"""Finds the warm object with the thermal array and drives up to it.

    python3 warm_object.py --simulate      # or --simulate=view, or --device /dev/ttyUSB0

The array's eight pixels look ahead over about 41 degrees, 5.1 each, pixel 1 on the
left. The robot turns until one pixel reads clearly warmer than the rest (and gives up
after a full circle without one), then drives towards it, steering to keep it in the middle. The array cannot tell distance once the
object is within about 50 cm (the pixel stops growing warmer), so the last stretch is
measured by the wheel encoders.
"""

import sys

import kestrava

# Mode 2: speed1 is the speed of both wheels, speed2 the turn (above 128 turns right).
STOP = 128
SPEED = STOP + 40
SEARCH_TURN = STOP + 10
STEER_PER_PIXEL = 6
SEEN = 6      # degrees above ambient that count as the object
CLOSE = 55    # degrees above ambient: within about 55 cm of the array


def warmest(reading: kestrava.Thermal) -> tuple[int, int]:
    """The warmest pixel (0 is the leftmost) and how much warmer than ambient it reads."""
    hottest = max(range(len(reading.pixels)), key=lambda i: reading.pixels[i])
    return hottest, reading.pixels[hottest] - reading.ambient


def steer(pixel: int) -> int:
    """The turn register for the object seen in `pixel`: straight at the middle two."""
    return STOP + round((pixel - 3.5) * STEER_PER_PIXEL)


def approach(robot: kestrava.Robot) -> bool:
    """Searches for the object, then drives towards it until it is close; False after a full circle without it."""
    searched, last = 0.0, robot.bearing()
    while searched < 360:
        pixel, excess = warmest(robot.thermal())
        if excess >= CLOSE:
            return True
        if excess < SEEN:
            robot.drive(STOP, SEARCH_TURN)  # not in sight: turn on the spot to the right
            now = robot.bearing()
            searched += (now - last + 180) % 360 - 180
            last = now
        else:
            robot.drive(SPEED, steer(pixel))
            searched, last = 0.0, robot.bearing()  # seen: a new search starts from here
    robot.stop()
    return False


def last_stretch(robot: kestrava.Robot, cm: float) -> None:
    """Drives `cm` further by the encoders, still steering towards the warmest pixel."""
    start = robot.telemetry()
    while robot.telemetry().travelled_since(start) < cm:
        pixel, _ = warmest(robot.thermal())
        robot.drive(STOP + 20, steer(pixel))
    robot.stop()


def main() -> int:
    parser = kestrava.argument_parser(__doc__.splitlines()[0])
    parser.add_argument("--closer", type=float, default=45,
                        help="cm to drive on once the object is close (default 45)")
    arguments = parser.parse_args()
    with kestrava.robot_from_arguments(arguments) as robot:
        robot.write(0xB0, 15, 2)  # mode 2: speed and turn
        if not approach(robot):
            print("nothing warm in sight after a full circle: no warm object here")
            return 1
        last_stretch(robot, arguments.closer)
        pixel, excess = warmest(robot.thermal())
        print(f"arrived: pixel {pixel + 1} reads {excess} degrees above ambient")
    return 0


if __name__ == "__main__":
    sys.exit(main())
