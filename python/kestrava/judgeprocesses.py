"""A judged program's processes: its session, its environment, its last lines, and its end with everything
it started."""

from __future__ import annotations

import collections
import ctypes
import os
import signal
import subprocess
import threading
import time
from pathlib import Path

# A program asked to end gets this long before it is killed; its server stops the motors meanwhile.
GRACE_SECONDS = 3.0
LOOK_AGAIN_SECONDS = 0.1
PR_SET_CHILD_SUBREAPER = 36
OUTPUT_LINES_KEPT = 8
OUTPUT_LINE_CHARACTERS = 200


def adopt_orphans() -> None:
    """Processes a trial's program leaves behind (its server) become the judge's children when the
    program ends first, so that their end can be waited for rather than looked for (Linux)."""
    try:
        ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
    except (OSError, AttributeError):
        pass


def start_program(command: list[str], link: str, folder: str | None = None) -> subprocess.Popen:
    """The program in a session of its own, out of the terminal's reach, unsandboxed (a program folder runs
    from that folder); raises OSError."""
    return subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            env=program_environment(link), start_new_session=True, cwd=folder)


def program_environment(link: str) -> dict[str, str]:
    # Unbuffered, a Python program's prints keep their order with its errors in the last lines kept.
    environment = dict(os.environ, KESTRAVA_TRIAL=link, PYTHONUNBUFFERED="1")
    # The program's `import kestrava` is this package, wherever the judge was started from.
    package_parent = str(Path(__file__).resolve().parent.parent)
    environment["PYTHONPATH"] = os.pathsep.join(filter(None, [package_parent, os.environ.get("PYTHONPATH")]))
    return environment


def end_group(process: subprocess.Popen) -> None:
    """Ends the program and everything it started; its server stops the motors on SIGTERM."""
    killer = threading.Timer(GRACE_SECONDS, _signal_group, (process.pid, signal.SIGKILL))
    killer.start()
    try:
        _signal_group(process.pid, signal.SIGTERM)
        _signal_group(process.pid, signal.SIGCONT)  # held by hold_group: it takes the SIGTERM now
        process.wait()
        while True:
            os.waitpid(-process.pid, 0)  # the adopted rest of its group
    except ChildProcessError:
        pass
    finally:
        killer.cancel()
    # Without adoption, look for the rest of the group until it has gone.
    deadline = time.monotonic() + GRACE_SECONDS
    while time.monotonic() < deadline and _signal_group(process.pid, 0):
        time.sleep(LOOK_AGAIN_SECONDS)


def hold_group(process: subprocess.Popen) -> None:
    """Stops the program and everything it started where they stand, until end_group."""
    _signal_group(process.pid, signal.SIGSTOP)


def _signal_group(group: int, sent: int) -> bool:
    try:
        os.killpg(group, sent)
        return True
    except ProcessLookupError:
        return False


class ProgramOutput:
    """The last lines a program printed, both streams as they come, and the last of standard error."""

    def __init__(self, program: subprocess.Popen) -> None:
        self.lines: collections.deque[str] = collections.deque(maxlen=OUTPUT_LINES_KEPT)
        self.last_error = ""
        self._lock = threading.Lock()
        self._readers = [threading.Thread(target=self._keep, args=(stream, stream is program.stderr), daemon=True)
                         for stream in (program.stdout, program.stderr)]
        for reader in self._readers:
            reader.start()

    def _keep(self, stream, is_error: bool) -> None:
        for raw in stream:  # read to the end, however much: a pipe left full would stop the program
            text = raw.decode(errors="replace").rstrip()[:OUTPUT_LINE_CHARACTERS]
            if text:
                with self._lock:
                    self.lines.append(text)
                    self.last_error = text if is_error else self.last_error
        stream.close()

    def finish(self) -> None:
        for reader in self._readers:
            reader.join(GRACE_SECONDS)

    @property
    def last_line(self) -> str:
        return self.lines[-1] if self.lines else ""
