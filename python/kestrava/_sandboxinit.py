"""The first process of a judged program's sandbox (its PID 1): starts the program, tells the judge how it
ended, and ends everything in the sandbox when the judge says so or goes away.

    python3 -I -S _sandboxinit.py STATUS_FD NPROC AS FSIZE WATCH_PROCESSES WATCH_MEMORY -- COMMAND...

NPROC, AS and FSIZE are the program's limits (0: none). They are set here, after bubblewrap has made the
sandbox's user namespace, so that NPROC counts this sandbox's processes only. Where no cgroup bounds the
sandbox, WATCH_PROCESSES and WATCH_MEMORY (0: not watched) bound all of its processes together, at each tick.
Lines on STATUS_FD: "exit N" or "signal N" when the program ends, "bound processes" or "bound memory".
Standard input is the judge's: a line or its end (the judge has gone) ends the sandbox.
"""

import os
import resource
import select
import signal
import sys
import time

TICK_SECONDS = 0.1
GRACE_SECONDS = 3.0
PAGE = os.sysconf("SC_PAGE_SIZE")
# What a program could send its PID 1 to end its own trial early: ignored here, the default again in the program.
IGNORED = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT, signal.SIGUSR1, signal.SIGUSR2,
           signal.SIGPIPE, signal.SIGALRM)


def start(command, status_fd, nproc, address_space, file_size):
    """In the forked child: the limits, standard input from nowhere, then the program."""
    os.close(status_fd)
    for which in IGNORED:
        signal.signal(which, signal.SIG_DFL)
    null = os.open("/dev/null", os.O_RDONLY)
    os.dup2(null, 0)
    for which, value in ((resource.RLIMIT_NPROC, nproc), (resource.RLIMIT_AS, address_space),
                         (resource.RLIMIT_FSIZE, file_size)):
        if value:
            resource.setrlimit(which, (value, value))
    try:
        os.execvp(command[0], command)
    except OSError as error:
        print(f"cannot start {command[0]}: {error.strerror}", file=sys.stderr)
    os._exit(127)


def others():
    """The sandbox's processes other than this one, as its own /proc shows them."""
    return [name for name in os.listdir("/proc") if name.isdigit() and name != "1"]


def resident_bytes(pids):
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/statm") as statm:
                total += int(statm.read().split()[1]) * PAGE
        except (OSError, ValueError, IndexError):
            pass  # it ended meanwhile
    return total


def bound_passed(watch_processes, watch_memory):
    if not (watch_processes or watch_memory):
        return ""
    pids = others()
    if watch_processes and len(pids) > watch_processes:
        return "processes"
    if watch_memory and resident_bytes(pids) > watch_memory:
        return "memory"
    return ""


def reap(program, say):
    """Waits for every ended process (orphans come to PID 1); says how the program ended. False: none left."""
    while True:
        try:
            pid, status = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return False
        if pid == 0:
            return True
        if pid == program:
            say(f"exit {os.WEXITSTATUS(status)}" if os.WIFEXITED(status) else f"signal {os.WTERMSIG(status)}")


def signal_all(sent):
    """To every other process in the sandbox (none may be left)."""
    try:
        os.kill(-1, sent)
    except ProcessLookupError:
        pass


def end_all(program, say):
    """Every process asked to end (a program's server stops the motors on SIGTERM), then killed."""
    signal_all(signal.SIGTERM)
    deadline = time.monotonic() + GRACE_SECONDS
    while reap(program, say) and time.monotonic() < deadline:
        time.sleep(TICK_SECONDS / 2)
    signal_all(signal.SIGKILL)
    while reap(program, say):
        time.sleep(TICK_SECONDS / 10)


def main(argv):
    if os.getpid() != 1:  # signal_all() would reach every process this user may signal, far beyond the trial
        sys.exit("kestrava: the sandbox's first process is not alone in a process space of its own")
    for which in IGNORED:
        signal.signal(which, signal.SIG_IGN)
    split = argv.index("--")
    status_fd, nproc, address_space, file_size, watch_processes, watch_memory = map(int, argv[:split])
    command = argv[split + 1:]
    program = os.fork()
    if program == 0:
        start(command, status_fd, nproc, address_space, file_size)

    def say(line):
        try:
            os.write(status_fd, (line + "\n").encode())
        except OSError:
            pass  # the judge has gone: standard input tells it too

    # The program's end wakes this at once; the rest (orphans, the watched bounds) at each tick.
    ended = os.pidfd_open(program)
    watched = [0, ended]
    while True:
        ready = select.select(watched, [], [], TICK_SECONDS)[0]
        if 0 in ready:
            break
        reap(program, say)
        if ended in ready:
            watched.remove(ended)  # reaped now, and readable for good
        passed = bound_passed(watch_processes, watch_memory)
        if passed:
            signal_all(signal.SIGKILL)  # a bomb or a hog gets no grace
            say(f"bound {passed}")
            break
    end_all(program, say)


if __name__ == "__main__":
    main(sys.argv[1:])
