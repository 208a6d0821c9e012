"""Reads each sensor of the robot once, to check that it answers: python3 -m kestrava --simulate."""

import sys

from . import KestravaError, NoAnswer, argument_parser, robot_from_arguments


def main() -> int:
    parser = argument_parser(__doc__.split(":")[0])
    parser.prog = "python3 -m kestrava"
    arguments = parser.parse_args()
    try:
        with robot_from_arguments(arguments) as robot:
            print(f"kestrava-cli {robot.version} on {robot.connection}")
            for reading in (robot.bearing, robot.thermal, robot.telemetry, robot.ranges, robot.keys):
                try:
                    print(f"{reading.__name__}: {reading()}")
                except NoAnswer as error:
                    print(f"{reading.__name__}: {error}")
    except KestravaError as error:
        print(f"error: {error}", file=sys.stderr)
        return 1
    return 0


sys.exit(main())
