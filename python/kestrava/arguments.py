"""Command-line options that choose the robot, so that one program runs on the simulator and on the robot."""

from __future__ import annotations

import argparse
import sys
from typing import NoReturn

from .errors import KestravaError
from .limits import DEFAULT_WATCHDOG_MS
from .robot import Robot


def argument_parser(description: str) -> argparse.ArgumentParser:
    """An argument parser that already takes the robot's options.

    ``--device PATH``, ``--com N``, ``--simulate`` (or ``--simulate=view`` to watch the
    robot drive), ``--arena NAME`` and ``--seed N``. Add a program's own options to it, then open the
    robot with :func:`robot_from_arguments`::

        parser = kestrava.argument_parser("Drives up to the wall.")
        parser.add_argument("--distance", type=int, default=30)
        arguments = parser.parse_args()
        with kestrava.robot_from_arguments(arguments) as robot:
            ...
    """
    parser = _RobotArgumentParser(description=description)
    where = parser.add_mutually_exclusive_group()
    where.add_argument("--device", metavar="PATH", help="the adapter's device, such as /dev/ttyUSB0")
    where.add_argument("--com", type=int, metavar="N", help="COM port N (1 to 16), as in the window")
    where.add_argument("--simulate", nargs="?", const=True, default=False, choices=["view"],
                       metavar="view", help="a simulated robot; --simulate=view also opens the robot view")
    parser.add_argument("--arena", metavar="NAME", help="with --simulate: the arena to load (a name or a file)")
    parser.add_argument("--seed", type=int, metavar="N",
                        help="with --simulate: picks the candle's place among the arena's places")
    parser.add_argument("--watchdog", type=int, default=DEFAULT_WATCHDOG_MS, metavar="MS",
                        help="stop the motors when the program is silent this long while they run (0: never)")
    return parser


def robot_from_arguments(arguments: argparse.Namespace) -> Robot:
    """The robot the options of :func:`argument_parser` chose.

    A robot that cannot be opened as asked ends the program with one line saying why, as a
    command-line program should: status 2 for an option's value out of range (``--com 99``),
    1 when the robot cannot be reached (a misspelt arena, a port that does not open).
    """
    try:
        return Robot(device=arguments.device, com=arguments.com, simulate=arguments.simulate,
                     arena=arguments.arena, seed=arguments.seed, watchdog=arguments.watchdog)
    except ValueError as error:
        print(f"error: {error}", file=sys.stderr)
        raise SystemExit(2) from None
    except KestravaError as error:
        raise SystemExit(f"error: {error}") from None


class _RobotArgumentParser(argparse.ArgumentParser):
    """Refuses the simulator's options without --simulate as a usage mistake, before anything starts.

    A usage mistake is one line that says what to do (status 2), not the whole usage.
    """

    def error(self, message: str) -> NoReturn:
        self.exit(2, f"{self.prog}: error: {message} (see --help)\n")

    def parse_known_args(self, args=None, namespace=None):  # type: ignore[no-untyped-def]
        arguments, rest = super().parse_known_args(args, namespace)
        if not arguments.simulate:
            for option in ("arena", "seed"):
                if getattr(arguments, option) is not None:
                    self.error(f"--{option} goes with --simulate: add --simulate (or --simulate=view)")
        return arguments, rest
