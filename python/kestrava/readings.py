"""Readings that hold more than one number, and the wheels that turn encoder counts into cm."""

from __future__ import annotations

import math
from dataclasses import dataclass

# The robot's wheels as built, unless a program says otherwise: 10 cm across, 13.7 cm
# apart, and their encoders count 360 a turn.
WHEEL_DIAMETER_CM, AXLE_TRACK_CM, COUNTS_PER_TURN = 10, 13.7, 360


def cm_per_count(wheel_diameter: float) -> float:
    """The cm a wheel of that diameter rolls for one encoder count."""
    return math.pi * wheel_diameter / COUNTS_PER_TURN


@dataclass(frozen=True)
class Thermal:
    """One reading of the thermal array.

    Attributes:
        version: the array's software version.
        ambient: the temperature around the sensor, in degrees Celsius.
        pixels: eight temperatures in degrees Celsius, from the leftmost to the rightmost.
    """

    version: int
    ambient: int
    pixels: list[int]


@dataclass(frozen=True)
class Telemetry:
    """One reading of the motor controller.

    Attributes:
        encoder1: motor 1's encoder count (the left wheel).
        encoder2: motor 2's encoder count (the right wheel).
        battery: the battery voltage, in volts.
        current1: motor 1's current, in amperes.
        current2: motor 2's current, in amperes.
        version: the controller's software version.
        wheel_diameter: the diameter in cm of the wheels that turned the encoders, for
            ``travelled_since()``: the ``wheel_diameter`` of the robot that read it.
    """

    encoder1: int
    encoder2: int
    battery: float
    current1: float
    current2: float
    version: int
    wheel_diameter: float = WHEEL_DIAMETER_CM

    def travelled_since(self, earlier: Telemetry) -> float:
        """How far the robot has gone since the `earlier` reading, in cm: the mean of both wheels.

        Backwards counts as negative; turning on the spot adds up to about nothing. The
        controller's 32-bit counts may wrap on a long run; the difference is still right.
        """
        counts = (_since(self.encoder1, earlier.encoder1) + _since(self.encoder2, earlier.encoder2)) / 2
        return counts * cm_per_count(self.wheel_diameter)


def _since(count: int, earlier: int) -> int:
    """The counts from `earlier` to `count`, as the controller's signed 32-bit counter runs."""
    return (count - earlier + 2**31) % 2**32 - 2**31
