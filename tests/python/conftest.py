"""The simulated robot behind the real kestrava-cli serve, for the package's tests."""

import os
import subprocess
from pathlib import Path

import pytest

CLI = os.environ.get("KESTRAVA_CLI", "")
SIM = os.path.join(os.path.dirname(CLI), "kestrava-sim")
PACKAGE = str(Path(__file__).resolve().parents[2] / "python")  # for the programs the tests start


class Simulator:
    """kestrava-sim on a link in a temporary folder, with its control commands at hand."""

    def __init__(self, folder: Path, *options: str) -> None:
        self.link = str(folder / "adapter")
        self._process = subprocess.Popen([SIM, "--link", self.link, *options], stdin=subprocess.PIPE,
                                         stdout=subprocess.PIPE, text=True)
        assert self._process.stdout.readline().startswith("/dev/")

    def __call__(self, command: str) -> str:
        """The command's whole answer; its last line is "ok..." or "error: ..."."""
        self._process.stdin.write(command + "\n")
        self._process.stdin.flush()
        lines = []
        while not lines or not lines[-1].startswith(("ok", "error:")):
            line = self._process.stdout.readline()
            assert line, f"the simulator ended during {command!r}"
            lines.append(line.rstrip("\n"))
        return "\n".join(lines)

    def quit(self) -> None:
        self._process.stdin.close()
        self._process.wait(10)


def sandbox_refused() -> str:
    """Why kestrava-judge can make no sandbox on this machine, or "" when it can. A chroot, or a container
    whose user namespaces are off, refuses one: the judge's tests then say why and skip. Never in CI, whose
    machine must judge as a teacher's does."""
    from kestrava.sandbox import unavailable_reason
    return "" if os.environ.get("CI") else unavailable_reason()


def pytest_sessionstart(session):
    # Without the programs nothing can run: fail, never skip into a green run.
    if not (os.access(CLI, os.X_OK) and os.access(SIM, os.X_OK)):
        raise pytest.UsageError(f"KESTRAVA_CLI must name the built kestrava-cli, beside kestrava-sim, not {CLI!r}")


def pytest_sessionfinish(session, exitstatus):
    if session.testscollected == 0:
        session.exitstatus = 1


@pytest.fixture
def sim(tmp_path):
    simulator = Simulator(tmp_path, "--fast")
    yield simulator
    simulator.quit()


@pytest.fixture
def robot(sim):
    import kestrava
    with kestrava.Robot(device=sim.link, timeout=100, watchdog=0) as opened:
        yield opened
