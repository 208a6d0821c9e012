#!/usr/bin/env python3
"""The README's ```console blocks run as written: every "$ " line in one shell, its output
compared with the lines under it. The programs come from the build folder; a simulator on
a link of its own plays COM1. Outputs that differ from run to run (a pseudo-terminal's
name, a CSV's clock) are compared by their shape.

A simulator the README starts in the background gets a link in the test's own folder instead
of the README's fixed path in /tmp, and is ended after the last block. A block with a shell
job (`&`) is left out: it would outlive the test; KESTRAVA_README_BACKGROUND=1 runs it too. A
block whose run takes minutes by design (a log of ten minutes) is left out by its command.

usage: readmeconsole.py README BUILD_BIN
"""

import os
import re
import socket
import subprocess
import sys
import tempfile

SLOW = ("--count 600",)  # the ten-minute log: its shape is checked by the command-line tests
# The robot as a block's text says it is, and back afterwards: the probe's block moves E2 to
# F2 itself, with the rangers' own address change; the next blocks find it back at E2.
def _moved(old, new):
    return [f"write {old} 0 {byte}" for byte in ("0xA0", "0xAA", "0xA5", "0x" + new)]


SETUP = {"probe E0 E2": ([], _moved("F2", "E2"))}
VARYING = [(re.compile(r"^/dev/pts/\d+$"), "/dev/pts/N"), (re.compile(r"^\d+\.\d{3},"), "T,"),
           (re.compile(r"\b(process|kill) \d+"), r"\1 N")]
README_LINK = "/tmp/kestrava-adapter"


def blocks(readme, link):
    text = open(readme, encoding="utf-8").read().replace(README_LINK, link)
    for block in re.findall(r"```console\n(.*?)```", text, re.S):
        steps = []
        for line in block.splitlines():
            if line.startswith("$ "):
                steps.append([line[2:], []])
            elif steps:
                steps[-1][1].append(line)
        yield steps


def shape(lines):
    out = []
    for line in lines:
        for pattern, replacement in VARYING:
            line = pattern.sub(replacement, line)
        out.append(line)
    return out


def run_block(steps, folder, env):
    script = ""
    for i, (command, _) in enumerate(steps):
        script += f"__s=$?; echo '@@{i}'; (exit $__s); {command} 2>&1\n"
    done = subprocess.run(["bash", "-c", script], cwd=folder, env=env, capture_output=True, text=True, timeout=120)
    outputs = re.split(r"^@@\d+\n", done.stdout, flags=re.M)[1:]
    return [o.splitlines() for o in outputs]


def control(sim, lines):
    for line in lines:
        sim.stdin.write(line + "\n")
        sim.stdin.flush()
        answer = sim.stdout.readline()
        assert answer.startswith("ok"), f"{line}: {answer}"


def end_background(control):
    """Ends a simulator the README left running in the background, through its own control socket."""
    if not os.path.exists(control):
        return
    with socket.socket(socket.AF_UNIX) as connection:
        connection.settimeout(10)
        connection.connect(control)
        connection.sendall(b"quit\n")
        connection.recv(64)


def main(readme, bin_dir):
    background = os.environ.get("KESTRAVA_README_BACKGROUND") == "1"
    failures, ran = 0, 0
    with tempfile.TemporaryDirectory() as folder:
        link = os.path.join(folder, "adapter")
        sim = subprocess.Popen([os.path.join(bin_dir, "kestrava-sim"), "--link", link], stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, text=True)
        sim.stdout.readline()
        env = dict(os.environ, PATH=bin_dir + ":" + os.environ["PATH"], KESTRAVA_COM1=link,
                   XDG_CONFIG_HOME=os.path.join(folder, "config"))
        os.makedirs(os.path.join(folder, "build"))
        os.symlink(bin_dir, os.path.join(folder, "build", "bin"))
        own_link = os.path.join(folder, "kestrava-adapter")
        for steps in blocks(readme, own_link):
            commands = " ; ".join(command for command, _ in steps)
            if any(slow in commands for slow in SLOW) or (commands.count("&") and not background):
                print(f"left out: {commands}")
                continue
            # The port that does not open: COM1 as on a machine without the adapter.
            bare = commands.strip() == "kestrava-cli telemetry"
            env_block = {k: v for k, v in env.items() if k != "KESTRAVA_COM1"} if bare else env
            before, after = next((plan for key, plan in SETUP.items() if key in commands), ([], []))
            control(sim, before)
            got = run_block(steps, folder, env_block)
            control(sim, after)
            ran += 1
            for (command, expected), output in zip(steps, got):
                if shape(output) != shape(expected):
                    failures += 1
                    print(f"$ {command}\n  README: {expected}\n  got:    {output}")
        sim.stdin.close()
        sim.wait(10)
        end_background(own_link + ".control")
    print(f"{ran} blocks run, {failures} outputs differ")
    return 1 if failures or not ran else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
