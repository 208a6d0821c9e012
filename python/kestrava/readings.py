"""Readings that hold more than one number."""

from __future__ import annotations

from dataclasses import dataclass


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
    """

    encoder1: int
    encoder2: int
    battery: float
    current1: float
    current2: float
    version: int
