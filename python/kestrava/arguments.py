"""Command-line options that choose the robot, so that one program runs on the simulator and on the robot."""

from __future__ import annotations

import argparse

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
    parser = argparse.ArgumentParser(description=description)
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
    """The robot the options of :func:`argument_parser` chose."""
    return Robot(device=arguments.device, com=arguments.com, simulate=arguments.simulate,
                 arena=arguments.arena, seed=arguments.seed, watchdog=arguments.watchdog)
