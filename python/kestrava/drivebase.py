"""The drive base: moves in centimetres and degrees, closed on the wheel encoders and the compass.

It is composed from a robot and uses only the robot's public methods: it reads the encoders,
the compass and the ranger ahead, and sets the two wheels' speeds with ``wheels()``, which
puts the motor controller in the mode it needs.
"""

from __future__ import annotations

import math
import time
from collections.abc import Iterable
from typing import Protocol

from .errors import NoAnswer, Stalled
from .limits import WHEEL_STEPS
from .readings import AXLE_TRACK_CM, WHEEL_DIAMETER_CM, cm_per_count

MOTORS, RANGER_AHEAD = 0xB0, 0xE4
# Each step of a wheel's speed is 8 encoder counts a second (127, full speed, is about
# 1000 counts a second, some 170 turns a minute).
COUNTS_PER_SECOND_PER_STEP = 8
RANGER_CM, RANGER_MEASURES_S = 0x51, 0.07  # measure in cm; the result is ready after 65 ms

# How the moves close their loops.
SLOWEST_CM_S = 3          # the crawl that ends a straight move: it stops within a count
BRAKING_CM_S2 = 80        # slows down towards the end no harder than this
CRAWL_CM = 0.5
NUDGE_CM = 0.3            # a straight move off its mark by more than this is nudged
HEADING_GAIN = 1.5        # wheel steps of correction per degree off the heading
TURN_BRAKING_DPS2 = 600   # turns slow down towards the end no harder than this
TURN_GAIN = 12            # degrees a second per degree still to turn, in the last few degrees
FASTEST_TURN_DPS = 120
STOPPING_S = 0.03         # from the stop's request to wheels at rest, at a crawl
TURN_DONE_DEGREES = 0.25  # a turn is done this close to its target
# A move starts from the heading the last one aimed at, when the robot is still within
# this of it, so that small errors do not add up over a program.
GOAL_KEPT_DEGREES = 3
# Give-up rules: no answer from the compass for this long, no sign of travel over this many
# cm of wheel travel, or far longer than the move should take.
COMPASS_PATIENCE_S = 1.0
SLIP_WINDOW_CM = 10
TIME_MARGIN = 3.0
TIME_SPARE_S = 3.0


class Wheeled(Protocol):
    """What the drive base uses of a robot: these public methods of :class:`kestrava.Robot`, nothing else."""

    def read(self, address: int, register: int, count: int = 1) -> bytes: ...

    def write(self, address: int, register: int, data: bytes | Iterable[int] | int) -> int: ...

    def bearing(self) -> float: ...

    def wheels(self, left: int, right: int) -> None: ...

    def stop(self) -> None: ...


class DriveBase:
    """Moves of a two-wheeled robot in cm and degrees, on the wheel encoders and the compass.

    Every :class:`kestrava.Robot` has one, whose moves it offers as its own
    (``robot.forward(40)``), built with the robot's ``wheel_diameter`` and ``axle_track``.
    Another can be composed from a robot: ``DriveBase(robot, wheel_diameter=10, axle_track=13.7)``.

    Each blocking move feeds the watchdog while it runs and ends with the motors stopped,
    also on Ctrl-C or an error. Bad arguments raise ValueError before anything moves; a
    move that cannot go on raises :class:`kestrava.Stalled` after stopping the motors.
    """

    def __init__(self, robot: Wheeled, wheel_diameter: float = WHEEL_DIAMETER_CM,
                 axle_track: float = AXLE_TRACK_CM) -> None:
        """`wheel_diameter`: the wheels' diameter in cm; `axle_track`: the distance between them in cm."""
        self._robot = robot
        self._wheel_diameter = _positive("wheel_diameter", wheel_diameter)
        self._cm_per_count = cm_per_count(self._wheel_diameter)
        self._track = _positive("axle_track", axle_track)
        self._zero: tuple[int, int] | None = None
        self._goal: float | None = None  # the bearing the last move aimed at

    @property
    def wheel_diameter(self) -> float:
        """The wheels' diameter in cm, which turns encoder counts into cm."""
        return self._wheel_diameter

    # What the docs promise, checked before anything moves.

    def forward(self, cm: float, speed: float = 20, stop_within: float | None = None) -> float:
        """Drives `cm` forwards at `speed` cm/s on the heading it starts on, then stops; returns the cm covered.

        With `stop_within`, stops early once the ranger straight ahead reads under that many cm.
        """
        _check(cm, "cm", 0, 10000)
        _check(speed, "speed", 0.5, self.fastest_cm_s())
        if stop_within is not None:
            _check(stop_within, "stop_within", 1, 600)
        return self._guarded(lambda: self._straight(cm, speed, stop_within))

    def backward(self, cm: float, speed: float = 20) -> float:
        """Drives `cm` backwards at `speed` cm/s on the heading it starts on, then stops; returns the cm covered."""
        _check(cm, "cm", 0, 10000)
        _check(speed, "speed", 0.5, self.fastest_cm_s())
        return -self._guarded(lambda: self._straight(-cm, speed, None))

    def turn(self, degrees: float) -> float:
        """Turns on the spot by `degrees`, clockwise as the compass counts (negative: anticlockwise).

        Returns the degrees turned, by the compass.
        """
        _check(degrees, "degrees", -3600, 3600)
        return self._guarded(lambda: self._turn(lambda start, now: degrees + _signed(start - now)))

    def turn_to(self, bearing: float) -> float:
        """Turns on the spot to a compass `bearing` (0 north, 90 east) the short way round; returns the degrees turned."""
        _check(bearing, "bearing", 0, 360)
        return self._guarded(lambda: self._turn(lambda start, now: _signed(bearing - now)))

    def move(self, speed: float = 0, turn_rate: float = 0) -> None:
        """Sets the robot going at `speed` cm/s (negative: backwards) turning `turn_rate` degrees/s clockwise.

        Like ``drive()``, it keeps going: the program must keep sending requests (the
        watchdog) and end with ``stop()``.
        """
        fastest = self.fastest_cm_s()
        _check(speed, "speed", -fastest, fastest)
        _check(turn_rate, "turn_rate", -self.fastest_turn_dps(), self.fastest_turn_dps())
        self._ready()
        self._wheels(speed, turn_rate)

    def distance(self) -> float:
        """The cm covered since the last ``reset_distance()`` (or the first move), the mean of both wheels; signed."""
        self._ready()
        return self._covered(self._zero)

    def reset_distance(self) -> None:
        """Counts ``distance()`` from here."""
        self._zero = self._counts()

    def fastest_cm_s(self) -> float:
        return WHEEL_STEPS[1] * COUNTS_PER_SECOND_PER_STEP * self._cm_per_count

    def fastest_turn_dps(self) -> float:
        return math.degrees(2 * self.fastest_cm_s() / self._track)

    # The loops.

    def _straight(self, cm: float, speed: float, stop_within: float | None) -> float:
        """Drives `cm` (negative: backwards) on the heading it starts on; returns the cm covered."""
        heading = self._goal = self._starting_heading()
        start = self._counts()
        watch = _Ahead(self._robot, stop_within)
        deadline = time.monotonic() + abs(cm) / speed * TIME_MARGIN + TIME_SPARE_S
        compass = _Patience(COMPASS_PATIENCE_S, "the compass has not answered")
        # The way, then a nudge at a crawl when the stop fell off the mark (a slow lap of the loop).
        for leg_speed in (speed, SLOWEST_CM_S):
            blocked = self._leg(cm, start, heading, leg_speed, watch, compass, deadline)
            covered = self._covered(start, self._settled_counts())
            if blocked or abs(cm - covered) <= NUDGE_CM:
                break
        return covered

    def _leg(self, cm: float, start: tuple[int, int], heading: float, speed: float, watch: _Ahead,
             compass: _Patience, deadline: float) -> bool:
        """Drives until `cm` from `start` are covered, then stops; True when it stopped for what is ahead."""
        cm_s, lap = 0.0, _Lap()
        while True:
            covered = self._covered(start)
            direction = 1 if cm >= covered else -1
            room = watch.room(covered)  # measures all along: slipping shows either way
            room = room if direction > 0 else math.inf
            left_to_go = min(abs(cm - covered), room)
            # What the wheels still cover before they stop, if told now: they run on for a lap of the loop.
            if left_to_go <= cm_s * (lap.seconds() + STOPPING_S):
                self._robot.stop()
                return room <= left_to_go
            _in_time(deadline, f"a move of {cm:g} cm")
            bearing = compass.keep(self._bearing_or_none())
            steer = 0 if bearing is None else _signed(heading - bearing) * HEADING_GAIN
            # The last CRAWL_CM at a crawl, so that the stop falls within a count or two.
            braking = math.sqrt(2 * BRAKING_CM_S2 * max(0.0, left_to_go - CRAWL_CM))
            cm_s = max(SLOWEST_CM_S, min(speed, braking))
            self._wheel_steps(direction * self._steps(cm_s) + steer, direction * self._steps(cm_s) - steer)

    def _turn(self, aim) -> float:
        """Turns on the spot by the degrees `aim` gives from the starting heading and the bearing now.

        Returns the degrees turned, by the compass.
        """
        compass = _Patience(COMPASS_PATIENCE_S, "the compass has not answered")
        before = compass.wait(self._bearing_or_none)
        target = aim(self._starting_heading(before), before)
        self._goal = (before + target) % 360
        turned, last, counts = 0.0, before, self._counts()
        deadline = time.monotonic() + abs(target) / 30 * TIME_MARGIN + TIME_SPARE_S
        degrees_s = 0.0
        while True:
            left_to_go = target - turned
            if abs(left_to_go) <= max(TURN_DONE_DEGREES / 2, abs(degrees_s) * STOPPING_S):
                self._robot.stop()
                # Where the wheels come to rest decides; a nudge when they stopped short or overshot.
                self._settled_counts()
                now = compass.wait(self._bearing_or_none)
                turned, last = turned + _signed(now - last), now
                if abs(target - turned) <= TURN_DONE_DEGREES:
                    return turned
            _in_time(deadline, f"turn {target:.1f} degrees")
            degrees_s = math.copysign(min(math.sqrt(2 * TURN_BRAKING_DPS2 * abs(left_to_go)),
                                          TURN_GAIN * abs(left_to_go), FASTEST_TURN_DPS), left_to_go)
            steps = math.copysign(max(1.0, abs(self._turn_steps(degrees_s))), left_to_go)
            self._wheel_steps(steps, -steps)
            now = compass.keep(self._bearing_or_none())
            if now is not None:
                turned, last = turned + _signed(now - last), now
            self._check_turning(counts, turned)

    def _check_turning(self, start: tuple[int, int], turned: float) -> None:
        """Gives up when the wheels have turned the robot a quarter turn further than the compass saw."""
        now = self._counts()
        wheels = math.degrees(((now[0] - start[0]) - (now[1] - start[1])) * self._cm_per_count / self._track)
        if abs(wheels) - abs(turned) > 90:
            raise Stalled(f"the wheels have turned the robot {wheels:.0f} degrees but the compass saw {turned:.0f}: "
                          f"the wheels slip or the compass is stuck")

    # The wheels, the encoders and the compass.

    def _guarded(self, move):
        """Runs a blocking move; whatever ends it (an error, Ctrl-C), the motors are left stopped."""
        try:
            self._ready()
            return move()
        except BaseException:
            try:
                self._robot.stop()
            except Exception:
                pass  # the server stops them by itself when the program goes
            raise

    def _ready(self) -> None:
        if self._zero is None:
            self._zero = self._counts()

    def _wheels(self, cm_s: float, degrees_s: float) -> None:
        difference = math.radians(degrees_s) * self._track / 2
        self._wheel_steps(self._steps(cm_s + difference), self._steps(cm_s - difference))

    def _wheel_steps(self, left: float, right: float) -> None:
        least, most = WHEEL_STEPS
        self._robot.wheels(*(round(max(least, min(most, steps))) for steps in (left, right)))

    def _steps(self, cm_s: float) -> float:
        return cm_s / self._cm_per_count / COUNTS_PER_SECOND_PER_STEP

    def _turn_steps(self, degrees_s: float) -> float:
        return self._steps(math.radians(degrees_s) * self._track / 2)

    def _counts(self) -> tuple[int, int]:
        raw = self._robot.read(MOTORS, 2, 8)
        return (int.from_bytes(raw[:4], "big", signed=True), int.from_bytes(raw[4:], "big", signed=True))

    def _covered(self, start: tuple[int, int], now: tuple[int, int] | None = None) -> float:
        now = now or self._counts()
        return ((now[0] - start[0]) + (now[1] - start[1])) / 2 * self._cm_per_count

    def _settled_counts(self) -> tuple[int, int]:
        """The counts once both wheels have come to rest after a stop (within a second)."""
        last, deadline = self._counts(), time.monotonic() + 1.0
        while time.monotonic() < deadline:
            time.sleep(0.03)
            now = self._counts()
            if now == last:
                break
            last = now
        return last

    def _starting_heading(self, bearing: float | None = None) -> float:
        """The bearing now, or the one the last move aimed at when the robot is still close to it."""
        if bearing is None:
            bearing = _Patience(COMPASS_PATIENCE_S, "the compass has not answered").wait(self._bearing_or_none)
        if self._goal is not None and abs(_signed(bearing - self._goal)) <= GOAL_KEPT_DEGREES:
            return self._goal
        return bearing

    def _bearing_or_none(self) -> float | None:
        try:
            return self._robot.bearing()
        except NoAnswer:
            return None


class _Lap:
    """How long a lap of a control loop takes, smoothed over the last few."""

    def __init__(self) -> None:
        self._last, self._seconds = time.monotonic(), 0.02

    def seconds(self) -> float:
        now = time.monotonic()
        self._seconds += (now - self._last - self._seconds) / 4
        self._last = now
        return self._seconds


class _Patience:
    """A sensor that may miss an answer now and then, but not for longer than `seconds`."""

    def __init__(self, seconds: float, why: str) -> None:
        self._seconds, self._why = seconds, why
        self._last = time.monotonic()

    def keep(self, value):
        now = time.monotonic()
        if value is not None:
            self._last = now
        elif now - self._last > self._seconds:
            raise Stalled(f"{self._why} for {now - self._last:.1f} s")
        return value

    def wait(self, read):
        while (value := self.keep(read())) is None:
            pass
        return value


class _Ahead:
    """The ranger straight ahead, measuring while the robot drives on.

    Each measurement is fired, then read once its time is up, so that the loop never waits
    for it; the encoders carry the distance on between measurements. It tells how far the
    robot may go before it is `stop_within` cm from what is ahead, and tells wheels slipping
    against a wall: they turn, but the distance ahead stays the same.
    """

    def __init__(self, robot: Wheeled, stop_within: float | None) -> None:
        self._robot, self._stop_within = robot, stop_within
        self._fired: tuple[float, float] | None = None  # (when, cm covered then)
        self._last: tuple[float, int] | None = None  # (cm covered, cm ahead) of the last measurement
        self._reference: tuple[float, int] | None = None  # the same, at the last check for slipping
        self._silent = False

    def room(self, covered: float) -> float:
        """The cm left before `stop_within` (infinite when not asked for or nothing is in reach).

        `covered` counts forwards; raises Stalled when the robot cannot go on.
        """
        if not self._silent and (measured := self._measure(covered)) is not None:
            self._last = measured
            if measured[1]:
                self._check_progress(*measured)
        if self._stop_within is None or self._last is None or not self._last[1]:
            return math.inf
        return self._last[1] - (covered - self._last[0]) - self._stop_within

    def _measure(self, covered: float) -> tuple[float, int] | None:
        """A new measurement when one is ready; fires the next one."""
        try:
            if self._fired is None:
                self._robot.write(RANGER_AHEAD, 0, RANGER_CM)
                self._fired = (time.monotonic(), covered)
                return None
            fired_at, covered_then = self._fired
            if time.monotonic() - fired_at < RANGER_MEASURES_S:
                return None
            self._fired = None
            high, low = self._robot.read(RANGER_AHEAD, 2, 2)
            return covered_then, high << 8 | low
        except NoAnswer:
            if self._stop_within is not None:
                raise Stalled(f"the ranger ahead ({RANGER_AHEAD:02X}) did not answer: "
                              f"the move cannot tell how near it is") from None
            self._silent = True  # a move without stop_within goes on by the encoders alone
            return None

    def _check_progress(self, covered: float, ahead: int) -> None:
        """On a flat wall ahead the distance shrinks by exactly the cm the robot covers."""
        if self._reference is None:
            self._reference = (covered, ahead)
            return
        wheels = abs(covered - self._reference[0])
        if wheels < SLIP_WINDOW_CM:
            return
        if abs(ahead - self._reference[1]) < 0.3 * wheels:
            raise Stalled(f"the wheels turned {wheels:.0f} cm but the distance ahead stayed at {ahead} cm: "
                          f"the robot is held against something, its wheels slipping")
        self._reference = (covered, ahead)


def _signed(degrees: float) -> float:
    """An angle as -180 to 180 degrees."""
    return (degrees + 180) % 360 - 180


def _check(value: object, name: str, least: float, most: float) -> None:
    if isinstance(value, bool) or not isinstance(value, (int, float)) or not least <= value <= most:
        raise ValueError(f"{name} must be a number from {round(least, 2):g} to {round(most, 2):g}, not {value!r}")


def _positive(name: str, value: object) -> float:
    if isinstance(value, bool) or not isinstance(value, (int, float)) or not 0 < value < 1000:
        raise ValueError(f"{name} must be a number of cm above 0, not {value!r}")
    return float(value)


def _in_time(deadline: float, what: str) -> None:
    if time.monotonic() > deadline:
        raise Stalled(f"{what} did not get there in time: the robot is held back or its wheels slip")
