"""The pipe to ``kestrava-cli serve``: one JSON-RPC 2.0 request per line, one at a time."""

from __future__ import annotations

import collections
import json
import os
import selectors
import shutil
import signal
import subprocess
import sys
import threading
from .steppedtime import STANDARD
from pathlib import Path
from typing import Any

from .errors import DeviceLost, KestravaError, NoAnswer, PortError
from .limits import DEVICE_LOST, INVALID_PARAMS, NO_ANSWER, PORT_NOT_OPENED

PROGRAM = "kestrava-cli"
# Replies are a few hundred bytes; a line longer than this means the other side is not the server.
LONGEST_REPLY = 1 << 20
# How long the server gets to end by itself once its input is closed (it stops the motors first).
END_SECONDS = 5.0
STDERR_LINES_KEPT = 20



def find_program() -> str:
    """kestrava-cli: from KESTRAVA_CLI, else beside this package (installed or in a checkout), else on PATH."""
    chosen = os.environ.get("KESTRAVA_CLI")
    if chosen:
        if not os.access(chosen, os.X_OK):
            raise KestravaError(f"KESTRAVA_CLI is {chosen!r}, which is not a program that can be run")
        return chosen
    for candidate in _beside_package():
        if os.access(candidate, os.X_OK) and candidate.is_file():
            return str(candidate)
    found = shutil.which(PROGRAM)
    if found:
        return found
    raise KestravaError(f"{PROGRAM} was not found: install the kestrava package, "
                        f"or set KESTRAVA_CLI to the program's path")


def _beside_package() -> list[Path]:
    package = Path(__file__).resolve().parent
    checkout = package.parent.parent
    # A checkout's build folder, then the bin folder of the prefix the package is installed
    # under (/usr/lib/python3/dist-packages/kestrava -> /usr/bin).
    places = [checkout / "build" / "bin"]
    places += [ancestor / "bin" for ancestor in list(package.parents)[:4]]
    return [place / PROGRAM for place in places]


class Server:
    """A running ``kestrava-cli serve`` and the requests sent to it."""

    def __init__(self, program: str, options: list[str], lingers: bool = False) -> None:
        """`lingers`: the server ends only when its robot view is closed, so closing waits for that."""
        try:
            self._process = subprocess.Popen([program, *options, "serve"], stdin=subprocess.PIPE,
                                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        except OSError as error:
            raise KestravaError(f"cannot start {program}: {error.strerror or error}") from None
        self._stderr_tail: collections.deque[str] = collections.deque(maxlen=STDERR_LINES_KEPT)
        self._stderr_lock = threading.Lock()
        self._stderr_held: list[str] | None = []  # until the port is known to be open
        self._stderr_reader = threading.Thread(target=self._keep_stderr, daemon=True)
        self._stderr_reader.start()
        self._selector = selectors.DefaultSelector()
        self._selector.register(self._process.stdout, selectors.EVENT_READ)
        self._pending = bytearray()
        self._next_id = 1
        self._interrupted = False  # a request was cut short (Ctrl-C): its reply may still come
        self._closed = False       # no more requests: closed, or the server has gone
        self._finished = False     # the process has been waited for and its pipes closed
        self._gone: KestravaError | None = None  # why the server went away, said again on each call
        self._lingers = lingers

    def call(self, method: str, params: dict[str, Any] | None = None, seconds: float = 30.0) -> Any:
        """Sends one request and returns its result; waits at most `seconds` for the reply."""
        if self._gone is not None:
            raise type(self._gone)(*self._gone.args)
        if self._closed:
            raise KestravaError("the robot is closed")
        request_id = self._next_id
        self._next_id += 1  # also counts the requests: a stepped clock read since the last one still holds
        message = {"jsonrpc": "2.0", "id": request_id, "method": method}
        if params is not None:
            message["params"] = params
        try:
            self._send(json.dumps(message).encode() + b"\n")
            reply = self._reply_to(request_id, STANDARD["monotonic"]() + seconds)
        except KestravaError:
            raise
        except BaseException:
            self._interrupted = True
            raise
        if "error" in reply:
            error = _error_of(reply["error"])
            if isinstance(error, DeviceLost):
                self._gone = error
            raise error
        if "result" not in reply:
            raise KestravaError(f"{PROGRAM} answered {method} with neither a result nor an error")
        return reply["result"]

    @property
    def requests(self) -> int:
        """How many requests have been sent."""
        return self._next_id - 1

    def close(self) -> None:
        """Ends the server, which leaves the motors stopped with the stop of the controller's mode.

        Safe to call more than once.
        """
        if self._finished:
            return
        if not self._closed and self._process.poll() is None and self._interrupted:
            # The server may be in the middle of a timed drive: its own stop on SIGINT is at once.
            self._process.send_signal(signal.SIGINT)
        self._closed = self._finished = True
        self._end_process()
        self._selector.close()

    def _end_process(self) -> None:
        try:
            self._process.stdin.close()
        except OSError:
            pass
        try:
            self._process.wait(None if self._lingers else END_SECONDS)
        except subprocess.TimeoutExpired:
            self._process.send_signal(signal.SIGINT)
            try:
                self._process.wait(END_SECONDS)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()
        self._process.stdout.close()
        # Its last words are printed before the interpreter may end.
        self._stderr_reader.join(END_SECONDS)

    def _send(self, line: bytes) -> None:
        try:
            self._process.stdin.write(line)
            self._process.stdin.flush()
        except OSError:
            raise self._ended() from None

    def _reply_to(self, request_id: int, deadline: float) -> dict[str, Any]:
        while True:
            line = self._read_line(deadline)
            try:
                reply = json.loads(line)
            except ValueError:
                raise KestravaError(f"{PROGRAM} sent a line that is not JSON: {line[:80]!r}") from None
            # Replies to requests cut short by Ctrl-C come first and are skipped.
            if isinstance(reply, dict) and reply.get("id") == request_id:
                return reply

    def _read_line(self, deadline: float) -> bytes:
        while True:
            end = self._pending.find(b"\n")
            if end >= 0:
                line = bytes(self._pending[:end])
                del self._pending[:end + 1]
                return line
            if len(self._pending) > LONGEST_REPLY:
                raise KestravaError(f"{PROGRAM} sent a reply longer than {LONGEST_REPLY} bytes")
            left = deadline - STANDARD["monotonic"]()
            if left <= 0:
                self._interrupted = True
                self.close()
                self._gone = KestravaError(f"{PROGRAM} did not answer in time; it was ended and the motors stopped")
                raise self._gone
            if not self._selector.select(left):
                continue
            chunk = os.read(self._process.stdout.fileno(), 65536)
            if not chunk:
                raise self._ended()
            self._pending += chunk

    def _ended(self) -> KestravaError:
        """The error for a server that has gone away, from its exit status and last words."""
        try:
            status = self._process.wait(END_SECONDS)
        except subprocess.TimeoutExpired:
            status = None
        self._closed = True
        self._stderr_reader.join(1.0)  # its last line says why
        said = " ".join(self._stderr_tail) or "nothing"
        if status == DEVICE_LOST:
            self._gone = DeviceLost(said)
        elif status == PORT_NOT_OPENED:
            self._gone = PortError(said)
        else:
            self._gone = KestravaError(f"{PROGRAM} ended (status {status}) and said: {said}")
        return self._gone

    def pass_messages_on(self) -> None:
        """From now on the server's messages reach standard error, those held so far first.

        Until the port is open they are only held: a port that cannot be opened is said once,
        by the exception.
        """
        with self._stderr_lock:
            held, self._stderr_held = self._stderr_held or [], None
            for line in held:
                print(line, file=sys.stderr, flush=True)

    def _keep_stderr(self) -> None:
        """Passes the server's few messages on (a watchdog stop, a slow adapter) and keeps the last ones."""
        for raw in self._process.stderr:
            line = raw.decode(errors="replace").rstrip()
            self._stderr_tail.append(line)
            with self._stderr_lock:
                if self._stderr_held is None:
                    print(line, file=sys.stderr, flush=True)
                else:
                    self._stderr_held.append(line)
        self._process.stderr.close()


def _error_of(error: Any) -> Exception:
    """The exception for a JSON-RPC error object."""
    if not isinstance(error, dict):
        return KestravaError(f"{PROGRAM} answered with a malformed error: {error!r}")
    code, message = error.get("code"), str(error.get("message", "no message"))
    data = error.get("data") if isinstance(error.get("data"), dict) else {}
    if code == NO_ANSWER:
        return NoAnswer(message, int(data.get("address", 0)), int(data.get("register", 0)))
    if code == DEVICE_LOST:
        return DeviceLost(message)
    if code == PORT_NOT_OPENED:
        return PortError(message)
    if code == INVALID_PARAMS:
        return ValueError(message)
    return KestravaError(f"{message} (code {code})")
