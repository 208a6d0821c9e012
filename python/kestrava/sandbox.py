"""A judged program's sandbox: bubblewrap (bwrap) around it, and bounds on its processes, memory and files.

Inside, the program sees a read-only system (/usr, and what programs need of /etc), Kestrava's package and programs, its own file or
folder (read-only, its working folder), an empty home and /tmp of its own, and its trial's link at
/trial/adapter. No network, no other process, no other file. Its first process is _sandboxinit.py, which
starts it, reports how it ended and ends everything in the sandbox at the trial's end.

The bounds come from a cgroup of the trial's own where the cgroup filesystem can be written (root, as in CI):
the kernel then counts the sandbox's processes and memory together. Elsewhere the limits are per process
(RLIMIT_AS, and RLIMIT_NPROC in the sandbox's own user namespace), and the first process watches the
processes and memory of the whole sandbox at each tick.
"""

from __future__ import annotations

import argparse
import errno
import json
import os
import select
import shutil
import signal
import subprocess
import sys
import threading
from dataclasses import dataclass
from pathlib import Path

BWRAP = "bwrap"
PACKAGE = "bubblewrap"
INSIDE_PROGRAM = "/program"
INSIDE_HOME = "/home/program"
INSIDE_LINK = "/trial/adapter"
SYSTEM_FOLDERS = ("/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32")
# What programs need of /etc: the libraries' cache, the commands' alternatives, users, time, Python's
# and Qt's settings. Not the rest: as root, a program would read /etc's secrets (ssh's and TLS's keys).
ETC_SHOWN = ("ld.so.cache", "ld.so.conf", "ld.so.conf.d", "alternatives", "passwd", "group", "nsswitch.conf",
             "localtime", "timezone", "locale.alias", "locale.conf", "default/locale", "mime.types", "python3",
             f"python3.{sys.version_info.minor}", "xdg", "fonts")
# Kept from the judge's environment: the language, and a sanitized build's own settings.
ENVIRONMENT_KEPT = ("LANG", "LANGUAGE", "KESTRAVA_LANG", "QT_QPA_PLATFORM")
ENVIRONMENT_PREFIXES_KEPT = ("LC_", "ASAN_", "UBSAN_", "LSAN_")
CGROUP_ROOT = Path("/sys/fs/cgroup")
INIT = Path(__file__).resolve().with_name("_sandboxinit.py")
GIB = 1 << 30
MIB = 1 << 20
# Time for the sandbox to end after its first process was told to: its own grace, then a margin.
END_SECONDS = 5.0
NOT_SANDBOXED = "not sandboxed: the programs ran with the judge's own rights"
MOST_PROCESSES = 100000
FILE_TOO_LARGE = os.strerror(errno.EFBIG)
MEMORY_REFUSED = ("MemoryError", os.strerror(errno.ENOMEM), "std::bad_alloc")
PROCESS_REFUSED = os.strerror(errno.EAGAIN)  # fork() beyond RLIMIT_NPROC


class Unavailable(Exception):
    """No sandbox can be made here (no bwrap, or no user namespaces)."""


@dataclass
class Bounds:
    memory: int      # bytes, all the sandbox's processes together
    processes: int   # besides the sandbox's first process
    file_size: int   # bytes per file written; its home and its /tmp hold twice that each


def amount(size: int) -> str:
    """1073741824 as "1 GiB", 67108864 as "64 MiB"."""
    for unit, name in ((GIB, "GiB"), (MIB, "MiB"), (1 << 10, "KiB")):
        if size >= unit:
            return f"{size / unit:g} {name}"
    return f"{size} bytes"


def bound_reason(which: str, bounds: Bounds) -> str:
    if which == "processes":
        return f"started more than {bounds.processes} processes"
    if which == "memory":
        return f"used more than {amount(bounds.memory)} of memory"
    return f"wrote a file larger than {amount(bounds.file_size)}"


# ---- Cgroups (version 1 hierarchies, writable by root) ----

def own_cgroup(controller: str) -> Path | None:
    """This process's cgroup folder in a controller's hierarchy, when it can be written."""
    try:
        lines = Path("/proc/self/cgroup").read_text().splitlines()
    except OSError:
        return None
    for line in lines:
        _, controllers, path = line.split(":", 2)
        if controller in controllers.split(","):
            folder = CGROUP_ROOT / controller / path.lstrip("/")
            return folder if os.access(folder, os.W_OK) else None
    return None


class TrialCgroups:
    """A pids and a memory cgroup for one trial, removed when it ends."""

    _made = 0
    _lock = threading.Lock()

    def __init__(self, bounds: Bounds) -> None:
        with TrialCgroups._lock:
            TrialCgroups._made += 1
            name = f"kestrava-judge-{os.getpid()}-{TrialCgroups._made}"
        self.pids = own_cgroup("pids") / name
        self.memory = own_cgroup("memory") / name
        self.pids.mkdir()
        self.memory.mkdir()
        (self.pids / "pids.max").write_text(str(bounds.processes + 2))  # and bwrap, and the sandbox's first process
        (self.memory / "memory.limit_in_bytes").write_text(str(bounds.memory))
        swap = self.memory / "memory.memsw.limit_in_bytes"
        if swap.exists():
            swap.write_text(str(bounds.memory))  # nor swapped out beyond it

    def procs_files(self) -> list[str]:
        return [str(self.pids / "cgroup.procs"), str(self.memory / "cgroup.procs")]

    def bound_hit(self) -> str:
        if _counter(self.pids / "pids.events", "max"):
            return "processes"
        if _counter(self.memory / "memory.oom_control", "oom_kill"):
            return "memory"
        return ""

    def remove(self) -> None:
        for folder in (self.pids, self.memory):
            try:
                folder.rmdir()
            except OSError:
                pass  # still busy: left behind, empty and bounded


def _counter(path: Path, name: str) -> int:
    try:
        for line in path.read_text().splitlines():
            key, _, value = line.partition(" ")
            if key == name:
                return int(value)
    except (OSError, ValueError):
        pass
    return 0


def cgroups_usable() -> bool:
    return own_cgroup("pids") is not None and own_cgroup("memory") is not None


# ---- The sandbox ----

def system_binds() -> list[str]:
    """A read-only /usr and what programs need of /etc, and /bin, /lib… as the host has them (links into
    /usr, or folders)."""
    arguments = ["--ro-bind", "/usr", "/usr"]
    for name in ETC_SHOWN:
        arguments += ["--ro-bind-try", f"/etc/{name}", f"/etc/{name}"]
    for folder in SYSTEM_FOLDERS:
        if os.path.islink(folder):
            arguments += ["--symlink", os.readlink(folder), folder]
        elif os.path.isdir(folder):
            arguments += ["--ro-bind", folder, folder]
    return arguments


def isolation() -> list[str]:
    return ["--unshare-all", "--die-with-parent", "--new-session", "--cap-drop", "ALL", "--as-pid-1",
            "--proc", "/proc", "--dev", "/dev"]


def unavailable_reason() -> str:
    """Why no sandbox can be made here, or "" when one can (tried once, as a trial would make it)."""
    program = shutil.which(BWRAP)
    if not program:
        return f"{BWRAP} was not found"
    tried = subprocess.run([program, *isolation(), *system_binds(), "--remount-ro", "/", "true"],
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if tried.returncode:
        said = tried.stderr.strip().splitlines()
        return f"{BWRAP} cannot make a sandbox here ({said[-1] if said else f'status {tried.returncode}'})"
    return ""


def describe(bounds: Bounds, grouped: bool) -> str:
    """The sandbox as the table, the JSON and the report state it."""
    limits = (f"{amount(bounds.memory)} of memory, {bounds.processes} processes, "
              f"files up to {amount(bounds.file_size)}")
    how = ("for all its processes together (cgroup)" if grouped else
           "memory per process and for all its processes at each tick (no cgroup here)")
    return f"sandboxed: each program alone, no network, {limits}, {how}"



def add_options(parser: argparse.ArgumentParser) -> None:
    """The judge's options for the sandbox: its bounds, or none."""
    parser.add_argument("--memory", type=size, default=GIB, metavar="SIZE",
                        help="the memory of each program, all its processes together (default: 1G)")
    parser.add_argument("--processes", type=processes, default=64, metavar="N",
                        help="the processes (and threads) each program may have (default: 64)")
    parser.add_argument("--file-size", type=size, default=64 * MIB, metavar="SIZE",
                        help="the largest file a program may write; its home and /tmp hold twice that (default: 64M)")
    parser.add_argument("--no-sandbox", action="store_true",
                        help="run the programs with your own rights, unbounded, each seeing all you see")
    parser.set_defaults(sandboxes=None)


def size(text: str) -> int:
    """"1G", "512M", "64K" or a number of bytes, 1M or more."""
    units = {"K": 1 << 10, "M": MIB, "G": GIB}
    number, unit = (text[:-1], units[text[-1].upper()]) if text[-1:].upper() in units else (text, 1)
    try:
        value = round(float(number) * unit)
    except (ValueError, OverflowError):
        value = 0
    if value < MIB:
        raise argparse.ArgumentTypeError(f"a size of 1M or more such as 1G, 512M or 1048576, not {text!r}")
    return value


def processes(text: str) -> int:
    if not text.isdigit() or not 0 < int(text) <= MOST_PROCESSES:
        raise argparse.ArgumentTypeError(f"1 to {MOST_PROCESSES} processes, not {text!r}")
    return int(text)


def from_options(options: argparse.Namespace, package_parent: str, cli: str) -> "Sandboxes | None":
    """Every trial's sandbox, or none with --no-sandbox; Unavailable, in words for the user, where none can be made."""
    if options.no_sandbox:
        return None
    try:
        return Sandboxes(Bounds(options.memory, options.processes, options.file_size), package_parent, cli)
    except Unavailable as error:
        raise Unavailable(f"{error}: install the {PACKAGE} package, or run the programs with your own rights "
                          "and unbounded with --no-sandbox") from None


def note(sandboxes: "Sandboxes | None") -> str:
    return sandboxes.describe() if sandboxes else NOT_SANDBOXED


def environment(package_parent: str, cli: str) -> dict[str, str]:
    """The program's environment: Kestrava's and the language's; nothing else of the judge's."""
    kept = {name: value for name, value in os.environ.items()
            if name in ENVIRONMENT_KEPT or name.startswith(ENVIRONMENT_PREFIXES_KEPT)}
    cli_folder = os.path.dirname(cli)
    return {**kept, "PATH": f"{cli_folder}:/usr/local/bin:/usr/bin:/bin", "HOME": INSIDE_HOME,
            "KESTRAVA_TRIAL": INSIDE_LINK, "KESTRAVA_CLI": cli, "PYTHONPATH": package_parent,
            "PYTHONUNBUFFERED": "1"}


class Sandboxes:
    """How every trial's sandbox is made: the bounds, and what is shown inside besides the program."""

    def __init__(self, bounds: Bounds, package_parent: str, cli: str) -> None:
        reason = unavailable_reason()
        if reason:
            raise Unavailable(reason)
        self.bounds = bounds
        self.grouped = cgroups_usable()
        self._package_parent = package_parent
        self._cli = cli
        self._shown = [package_parent, os.path.dirname(cli), *python_folders()]

    def describe(self) -> str:
        return describe(self.bounds, self.grouped)

    def inside(self, program: Path) -> str:
        """Where a program file or folder is seen inside: /program/NAME for a file, /program for a folder."""
        return INSIDE_PROGRAM if program.is_dir() else f"{INSIDE_PROGRAM}/{program.name}"

    def arguments(self, program: Path, link: str) -> list[str]:
        bounds = self.bounds
        arguments = [*isolation(), *system_binds()]
        for folder in (INSIDE_HOME, "/tmp"):  # room for two files at the bound: the bound is met first
            arguments += ["--size", str(2 * bounds.file_size), "--tmpfs", folder]
        # After /tmp's tmpfs, which would hide them: Kestrava's package and programs may be under /tmp.
        for folder in dict.fromkeys(self._shown):
            arguments += ["--ro-bind", folder, folder]
        arguments += ["--ro-bind", str(program.resolve()), self.inside(program), "--chdir", INSIDE_PROGRAM]
        # The link's device, and the control socket beside it, at a place that tells nothing of the trial.
        arguments += ["--dev-bind", os.path.realpath(link), INSIDE_LINK,
                      "--bind", link + ".control", INSIDE_LINK + ".control"]
        arguments += ["--remount-ro", "/", "--clearenv"]
        for name, value in environment(self._package_parent, self._cli).items():
            arguments += ["--setenv", name, value]
        return arguments

    def start(self, program: Path, entry: Path, command: list[str], link: str) -> "SandboxedProgram":
        """`command` runs `entry`, the program file or its folder's main, as the judge sees them."""
        inside = self.inside(program) if entry == program else f"{INSIDE_PROGRAM}/{entry.name}"
        seen = {str(entry), str(entry.resolve())}
        return SandboxedProgram(self, program, [inside if part in seen else part for part in command], link)


def python_folders() -> list[str]:
    """This Python's own folders, when it is not the system's (a virtual environment)."""
    return [folder for folder in {sys.prefix, sys.base_prefix} if not folder.startswith("/usr")]


class SandboxedProgram:
    """One trial's program in its sandbox, waited for as a subprocess.Popen is."""

    def __init__(self, sandboxes: Sandboxes, program: Path, command: list[str], link: str) -> None:
        self._bounds = sandboxes.bounds
        self._cgroups = TrialCgroups(self._bounds) if sandboxes.grouped else None
        self.returncode: int | None = None
        self.bound = ""  # which bound the program hit: "processes", "memory" or "files"
        self._first: int | None = None
        status_read, status_write = os.pipe()
        info_read, info_write = os.pipe()
        self._status = os.fdopen(status_read, "rb", buffering=0)
        self._info = os.fdopen(info_read, "rb", buffering=0)
        try:
            self._process = subprocess.Popen(
                self._command(sandboxes, program, command, link, status_write, info_write),
                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                pass_fds=(status_write, info_write), start_new_session=True)  # out of the terminal's Ctrl-C
        except OSError:
            self._forget()
            raise
        finally:
            os.close(status_write)
            os.close(info_write)
        self.stdout, self.stderr = self._process.stdout, self._process.stderr

    def _command(self, sandboxes: Sandboxes, program: Path, command: list[str], link: str,
                 status_fd: int, info_fd: int) -> list[str]:
        bounds = self._bounds
        grouped = self._cgroups is not None
        # Limits per process where no cgroup counts them together; RLIMIT_AS would also break a sanitized
        # kestrava-cli, so it is left off where the cgroup bounds memory. The first process counts too.
        limits = [0 if grouped else bounds.processes + 2, 0 if grouped else bounds.memory, bounds.file_size,
                  0 if grouped else bounds.processes, 0 if grouped else bounds.memory]
        sandboxed = [shutil.which(BWRAP), *sandboxes.arguments(program, link), "--info-fd", str(info_fd),
                     sys.executable, "-I", "-S", str(INIT), str(status_fd), *map(str, limits), "--", *command]
        if not grouped:
            return sandboxed
        # Into the trial's cgroups before bwrap starts, so that everything it starts is counted there.
        files = self._cgroups.procs_files()
        script = 'echo $$ > "$1" && echo $$ > "$2" && shift 2 && exec "$@"'
        return ["/bin/sh", "-c", script, "sh", *files, *sandboxed]

    def poll(self) -> int | None:
        try:
            return self.wait(0)
        except subprocess.TimeoutExpired:
            return None

    def wait(self, timeout: float) -> int | None:
        """The program's status once it has ended; raises subprocess.TimeoutExpired until then."""
        if self.returncode is None and not self.bound:
            if select.select([self._status], [], [], timeout)[0]:
                self._read_status()
            if self._cgroups and not self.bound:
                self.bound = self._cgroups.bound_hit()
        if self.returncode is None and not self.bound:
            raise subprocess.TimeoutExpired("sandbox", timeout)
        return self.returncode

    def _read_status(self) -> None:
        said = self._status.read(4096)
        if not said:  # the sandbox itself ended, or never started
            self.returncode = self._process.wait() if self.returncode is None else self.returncode
        for line in said.decode(errors="replace").splitlines():
            word, _, value = line.partition(" ")
            if word == "exit" and value.isdigit():
                self.returncode = int(value)
            elif word == "signal" and value.isdigit():
                self.returncode = -int(value)
                if int(value) == signal.SIGXFSZ:
                    self.bound = "files"
            elif word == "bound" and value in ("processes", "memory"):
                self.bound = value

    def bound_reason(self, last_error: str) -> str:
        """The bound the program hit, in words. Some bounds show only as the program's last error: a write
        beyond the file bound fails with EFBIG where SIGXFSZ is ignored (as Python does), and without a
        cgroup, memory beyond RLIMIT_AS and a process beyond RLIMIT_NPROC are refused to the process that asks
        (which may end before the next tick's watch sees them all)."""
        if not self.bound and self.returncode:
            if FILE_TOO_LARGE in last_error:
                self.bound = "files"
            elif not self._cgroups and last_error.endswith(MEMORY_REFUSED):
                self.bound = "memory"
            elif not self._cgroups and PROCESS_REFUSED in last_error:
                self.bound = "processes"
        return bound_reason(self.bound, self._bounds) if self.bound else ""

    def hold(self) -> None:
        """Stops everything in the sandbox where it stands, until end()."""
        self._held = self._tree()
        for pid in self._held:
            _signal(pid, signal.SIGSTOP)

    def _tree(self) -> list[int]:
        """The sandbox's first process and all its descendants, as /proc lists their children."""
        found, waiting = [], [self._first_process()] if self._first_process() else []
        while waiting:
            pid = waiting.pop()
            found.append(pid)
            for task in Path(f"/proc/{pid}/task").glob("*/children"):
                try:
                    waiting += [int(child) for child in task.read_text().split()]
                except (OSError, ValueError):
                    pass
        return found

    def end(self) -> None:
        """Ends everything in the sandbox (the program's server first stops the motors), then its cgroups."""
        # Held: each takes its SIGTERM as it wakes, before it does anything more.
        for sent in (signal.SIGTERM, signal.SIGCONT):
            for pid in getattr(self, "_held", []):
                _signal(pid, sent)
        try:
            self._process.stdin.close()  # its first process: SIGTERM to all, a grace, then SIGKILL
        except OSError:
            pass
        try:
            self._process.wait(END_SECONDS)
        except subprocess.TimeoutExpired:
            self._signal_first(signal.SIGKILL)  # takes every process in the sandbox along
            self._process.kill()
            self._process.wait()
        self._reap_first()
        if self.returncode is None or not self.bound:
            if select.select([self._status], [], [], 0)[0]:
                self._read_status()
        if self._cgroups and not self.bound:
            self.bound = self._cgroups.bound_hit()
        self._forget()

    def _first_process(self) -> int:
        """The sandbox's PID 1 as the judge sees it, which bwrap tells once the sandbox is made."""
        if self._first is None:
            try:
                child = json.loads(self._info.read(65536) or b"{}").get("child-pid")
            except (OSError, ValueError):
                child = None
            self._first = child if isinstance(child, int) and child > 0 else 0
        return self._first

    def _signal_first(self, sent: int) -> None:
        if self._first_process():
            try:
                os.kill(self._first, sent)
            except OSError:
                pass

    def _reap_first(self) -> None:
        """bwrap may end before its child is waited for: the judge (their subreaper) then adopts it. Its end
        is waited for here, so that the trial's cgroups are empty when they are removed."""
        if self._first_process():
            try:
                os.waitpid(self._first, 0)
            except ChildProcessError:
                pass  # bwrap waited for it

    def _forget(self) -> None:
        self._status.close()
        self._info.close()
        if self._cgroups:
            self._cgroups.remove()


def _signal(pid: int, sent: int) -> None:
    try:
        os.kill(pid, sent)
    except OSError:
        pass
