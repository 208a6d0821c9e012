#!/usr/bin/env python3
"""Drives a square: each side measured by the wheel encoders, each corner by the compass.

    python3 square.py --simulate           # or --simulate=view, or --device /dev/ttyUSB0
"""

import kestrava

FORWARD = 170  # mode 0: each wheel's speed register, 128 stops
STOP = 128


def drive_straight(robot: kestrava.Robot, cm: float) -> None:
    """Forwards until both wheels have covered `cm` on average."""
    start = robot.telemetry()
    while robot.telemetry().travelled_since(start) < cm:
        robot.drive(FORWARD, FORWARD)
    robot.stop()


def turn_left_to(robot: kestrava.Robot, target: float) -> None:
    """Turns on the spot to the left until the compass reads `target`, slower near the end."""
    while True:
        left_to_go = (robot.bearing() - target) % 360
        if left_to_go < 2 or left_to_go > 180:  # there, or just past it
            break
        step = 12 if left_to_go > 20 else 4
        robot.drive(STOP - step, STOP + step)  # left wheel back, right wheel forwards
    robot.stop()


def main() -> None:
    parser = kestrava.argument_parser(__doc__.splitlines()[0])
    parser.add_argument("--side", type=float, default=60, help="the side of the square in cm (default 60)")
    arguments = parser.parse_args()
    with kestrava.robot_from_arguments(arguments) as robot:
        robot.write(0xB0, 15, 0)  # mode 0: one register per wheel
        start = robot.bearing()
        for corner in range(1, 5):
            drive_straight(robot, arguments.side)
            # Each corner aims at a bearing from the start, so that small errors do not add up.
            turn_left_to(robot, (start - 90 * corner) % 360)
            print(f"corner {corner}: bearing {robot.bearing():.1f}")
        print(f"back at the start, {(robot.bearing() - start + 180) % 360 - 180:+.1f} degrees off the start")


if __name__ == "__main__":
    main()
