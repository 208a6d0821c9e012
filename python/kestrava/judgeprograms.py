"""The programs a class names: files, and folders that stand for the programs in them."""

from __future__ import annotations

import os
import sys
from pathlib import Path

from .judgetrials import UsageError


def programs_named(names: list[str]) -> list[str]:
    """The programs as given; a folder stands for its *.py and executable files, by name."""
    found: list[str] = []
    for name in names:
        path = Path(name)
        if path.is_dir():
            inside = sorted(p for p in path.iterdir()
                            if p.is_file() and (p.suffix == ".py" or os.access(p, os.X_OK)))
            if not inside:
                raise UsageError(f"{name}: no programs in it (*.py or executable files)")
            found += [str(p) for p in inside]
        else:
            found.append(name)
    return list(dict.fromkeys(found))


def command_for(program: str, arguments: list[str]) -> list[str]:
    """How to run the program: a .py file with this Python, anything else as a program of its own."""
    path = Path(program)
    if not path.is_file():
        raise UsageError(f"{program}: no such file")
    if path.suffix == ".py":
        return [sys.executable, str(path), *arguments]
    if not os.access(path, os.X_OK):
        raise UsageError(f"{program}: not a Python file (.py) nor a program that can be run (chmod +x)")
    return [str(path.resolve()), *arguments]
