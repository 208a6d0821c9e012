#!/usr/bin/env python3
"""Drives straight ahead and stops in front of the wall.

    python3 wall_stop.py --simulate        # or --simulate=view, or --device /dev/ttyUSB0
"""

import kestrava

AHEAD = 2         # ranges() lists the rangers right, front right, ahead, front left, left
STOP = 128        # mode 0: each wheel's speed register, 128 stops, above goes forwards
FASTEST, SLOWEST = 40, 4


def main() -> None:
    parser = kestrava.argument_parser(__doc__.splitlines()[0])
    parser.add_argument("--distance", type=int, default=30, help="stop this many cm from the wall (default 30)")
    arguments = parser.parse_args()
    with kestrava.robot_from_arguments(arguments) as robot:
        robot.write(0xB0, 15, 0)  # mode 0: one register per wheel
        distance = robot.ranges()[AHEAD]
        # 0 is no echo at all: nothing within the ranger's reach, so keep going.
        while distance == 0 or distance > arguments.distance:
            # A reading of all five rangers takes a while: slow down as the wall comes near.
            gap = FASTEST if distance == 0 else distance - arguments.distance
            steps = max(SLOWEST, min(FASTEST, gap))
            robot.drive(STOP + steps, STOP + steps)
            distance = robot.ranges()[AHEAD]
        robot.stop()
        print(f"stopped {robot.ranges()[AHEAD]} cm from the wall")


if __name__ == "__main__":
    main()
