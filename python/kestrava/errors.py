"""What can go wrong when talking to the robot.

Every error the package raises on its own is a :class:`KestravaError`, so one
``except kestrava.KestravaError`` catches them all. Bad arguments are the
exception: they raise :class:`ValueError` before anything is sent.
"""

from __future__ import annotations


class KestravaError(Exception):
    """Something went wrong between the program and the robot."""


class NoAnswer(KestravaError):
    """A module did not answer, or its answer came late or mixed with other bytes.

    The reading is not used: a value is only ever returned when the answer to its
    own request came, whole and alone.

    Attributes:
        address: the module's even bus address, such as 0xC0.
        register: the register the request was for.
    """

    def __init__(self, message: str, address: int, register: int) -> None:
        super().__init__(message)
        self.address = address
        self.register = register


class DeviceLost(KestravaError):
    """The adapter went away (unplugged, or its link closed); nothing more can be sent."""


class PortError(KestravaError):
    """The port could not be opened: a wrong device, no permission, or held by another program."""


class Stalled(KestravaError):
    """A move of the drive base could not go on, and the motors were stopped.

    The message says why: the robot is held against something (its wheels turn, the
    distance ahead stays), the compass or the ranger ahead stopped answering, or the
    move took far longer than it should.
    """
