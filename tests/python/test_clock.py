"""The robot's clock: a stepped simulator's time in the time module, in the server's waits and its watchdog."""

import subprocess
import threading
import time

import pytest

import kestrava
from conftest import CLI, Simulator
from kestrava.steppedtime import STANDARD

STANDARD_SLEEP = time.sleep  # as this test's interpreter made it, before any robot opened


@pytest.fixture
def stepped(tmp_path):
    simulator = Simulator(tmp_path, "--clock", "stepped")
    yield simulator
    simulator.quit()


def robot_y(simulator) -> float:
    """Where the simulator says the robot is, north of the arena's south wall, in cm."""
    line = next(line for line in simulator("world").splitlines() if line.startswith("robot at "))
    return float(line.split()[3])


def speeds(simulator) -> str:
    return simulator("get B0 0 2")


def test_a_sleep_between_wheels_and_stop_drives_as_long_as_it_sleeps(stepped):
    start = robot_y(stepped)
    with kestrava.Robot(device=stepped.link, watchdog=0) as robot:
        robot.wheels(20, 20)
        time.sleep(1)
        robot.stop()
    # 20 steps are 160 counts a second, 13.96 cm/s at full speed, less the controller's ramp.
    assert robot_y(stepped) - start == pytest.approx(13.4, abs=0.3)
    assert time.sleep is STANDARD_SLEEP  # given back when the robot closed


def test_the_time_module_reads_the_robots_clock(stepped):
    with kestrava.Robot(device=stepped.link, watchdog=0) as robot:
        assert robot.stepped
        before = (time.monotonic_ns(), time.perf_counter_ns(), time.time_ns(), robot.clock())
        robot.wait(2.5)
        after = (time.monotonic_ns(), time.perf_counter_ns(), time.time_ns(), robot.clock())
        # Asking the clock moves nothing: exactly the wait between the two readings.
        assert [b - a for a, b in zip(before[:3], after[:3])] == [2_500_000_000] * 3
        assert after[3] - before[3] == pytest.approx(2.5, abs=1e-9)
        with pytest.raises(ValueError):
            time.sleep(-1)


def test_another_thread_sleeps_in_real_time_without_moving_the_robots_clock(stepped):
    seen = {}

    def elsewhere():
        seen["sleep is standard"] = time.sleep(0) is None and time.sleep.__name__ == "sleep"
        started = STANDARD["monotonic"]()
        time.sleep(0.2)
        seen["real seconds"] = STANDARD["monotonic"]() - started
    with kestrava.Robot(device=stepped.link, watchdog=0) as robot:
        before = robot.clock()
        worker = threading.Thread(target=elsewhere)
        worker.start()
        worker.join()
        assert robot.clock() == before
    assert seen["real seconds"] >= 0.2


def test_the_watchdog_waits_while_a_stepped_program_thinks_and_acts_inside_its_wait(stepped):
    start = robot_y(stepped)
    with kestrava.Robot(device=stepped.link, watchdog=1000) as robot:
        robot.wheels(20, 20)
        moving = speeds(stepped)
        STANDARD["sleep"](2)  # thinking, in real time: no robot time passes
        assert speeds(stepped) == moving != "ok 80 80"
        started = robot.clock()
        robot.wait(3)
        assert speeds(stepped) == "ok 80 80"  # stopped by the watchdog, one second into the wait
        assert robot.clock() - started == pytest.approx(3, abs=1e-6)
    # One second of driving, as above, and the ramp down after the watchdog's stop.
    assert robot_y(stepped) - start == pytest.approx(14.0, abs=0.3)


def test_nothing_is_replaced_with_a_simulator_in_real_time(sim):
    with kestrava.Robot(device=sim.link, watchdog=0) as robot:
        assert not robot.stepped
        assert time.sleep is STANDARD_SLEEP and time.monotonic is STANDARD["monotonic"]
        started = STANDARD["monotonic"]()
        robot.wait(0.3)
        assert STANDARD["monotonic"]() - started >= 0.3  # the server waited in real time


# The command line's waits on a stepped link, and the clock after them, to the nanosecond. A byte
# takes 572 916 ns on the wire each way.
CLI_WAITS = {
    # Five commands of 6 bytes each way, one measuring time of 70 ms after the first, five reads of 6:
    # 70 ms + 36 bytes.
    "ranges fired together": (["ranges"], "0.090624976"),
    # Each ranger alone: 5 x (70 ms + 12 bytes).
    "ranges one by one": (["ranges", "--one-by-one"], "0.384374960"),
    # The mode read, the speeds and the stop around the drive's 500 ms.
    "a timed drive": (["drive", "150", "128", "500"], "0.516614564"),
    # Three passes a second apart, on the simulator's clock.
    "a period": (["telemetry", "--every", "1000", "--count", "3"], "2.009499968"),
}


@pytest.mark.parametrize("words, clock", CLI_WAITS.values(), ids=CLI_WAITS.keys())
def test_the_command_lines_waits_move_the_stepped_clock(stepped, words, clock):
    done = subprocess.run([CLI, "--device", stepped.link, *words], capture_output=True, text=True, timeout=30)
    assert done.returncode == 0, done.stderr
    assert stepped("clock") == f"ok stepped {clock}"
