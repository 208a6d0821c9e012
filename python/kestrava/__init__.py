"""Robot programs for Kestrava: drive and read the robot's I2C modules from Python.

A first program::

    import kestrava

    with kestrava.Robot(simulate=True) as robot:   # or device="/dev/ttyUSB0", or com=3
        while robot.ranges()[2] > 30:              # the ranger straight ahead, in cm
            robot.drive(150, 128)
        robot.stop()

Everything goes through :class:`Robot`. It runs ``kestrava-cli serve`` and talks to
it through a pipe, so the same program drives the simulated robot and the real one.
"""

from .arguments import argument_parser, robot_from_arguments
from .drivebase import DriveBase
from .errors import DeviceLost, KestravaError, NoAnswer, PortError, Stalled
from .readings import Telemetry, Thermal
from .robot import Robot
from .simanswers import PathPoint
from .simulator import Pose, Run, Simulator

__version__ = "0.1"
__all__ = ["Robot", "DriveBase", "Simulator", "Run", "Pose", "PathPoint", "argument_parser", "robot_from_arguments", "Thermal", "Telemetry",
           "KestravaError", "NoAnswer", "DeviceLost", "PortError", "Stalled"]
