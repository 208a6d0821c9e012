"""The programs a class names: files, folders that stand for the programs in them, what a folder holds that
is not a program, and a Python file that does not compile, found before any simulator starts."""

from __future__ import annotations

import os
import sys
from dataclasses import dataclass
from pathlib import Path

from .judgeerrors import UsageError

# A larger Python file is run unchecked: its compiling would cost the judge more than the trials.
LARGEST_CHECKED_BYTES = 4 * 1024 * 1024


@dataclass(frozen=True)
class Skipped:
    """A file of a class folder that is not judged, and why."""

    file: str
    why: str


def program_entry(path: Path) -> Path | None:
    """What runs of a program: the file itself, or a program folder's main.py or executable main."""
    if not path.is_dir():
        return path
    for main in (path / "main.py", path / "main"):
        if main.is_file() and (main.suffix == ".py" or os.access(main, os.X_OK)):
            return main
    return None


def programs_named(names: list[str]) -> tuple[list[str], list[Skipped]]:
    """The programs as given, a class folder standing for its *.py and executable files and its program
    folders (with a main.py or main) by name; and the rest of each class folder, with why it was left out."""
    found: list[str] = []
    skipped: list[Skipped] = []
    for name in names:
        path = Path(name)
        if program_entry(path):
            found.append(name)
            continue
        inside = sorted(path.iterdir())
        programs = [p for p in inside if _why_not(p) == ""]
        if not programs:
            raise UsageError(f"{name}: no programs in it (*.py or executable files, or folders with a main.py)")
        found += [str(p) for p in programs]
        skipped += [Skipped(str(p), _why_not(p)) for p in inside if p not in programs]
    return list(dict.fromkeys(found)), skipped


def _why_not(path: Path) -> str:
    if path.is_dir():
        return "" if program_entry(path) else "a folder without a main.py: name it to judge what it holds"
    if not path.is_file():
        return "not a regular file"
    if path.suffix != ".py" and not os.access(path, os.X_OK):
        return "neither a .py file nor executable: chmod +x to judge it"
    return ""


def command_for(program: str, arguments: list[str]) -> list[str]:
    """How to run the program: a .py file with this Python, anything else as a program of its own. A program
    folder's main is named in full, since the program runs from that folder."""
    path = program_entry(Path(program)) or Path(program)
    path = path.resolve() if Path(program).is_dir() else path
    if not path.is_file():
        raise UsageError(f"{program}: no such file")
    if path.suffix == ".py":
        return [sys.executable, str(path), *arguments]
    if not os.access(path, os.X_OK):
        raise UsageError(f"{program}: not a Python file (.py) nor a program that can be run (chmod +x)")
    return [str(path.resolve()), *arguments]


def compile_problem(program: str) -> str:
    """Why a .py file cannot run, as "SyntaxError, line 3"; "" when it compiles (or is not Python)."""
    path = program_entry(Path(program)) or Path(program)
    if path.suffix != ".py":
        return ""
    try:
        if path.stat().st_size > LARGEST_CHECKED_BYTES:
            return ""
        compile(path.read_bytes(), program, "exec", dont_inherit=True)
    except SyntaxError as error:  # IndentationError and TabError among them
        return f"{type(error).__name__}, line {error.lineno}"
    except (ValueError, RecursionError, MemoryError) as error:  # a null byte; nesting too deep to parse
        return type(error).__name__
    except OSError as error:
        return f"cannot be read: {error.strerror}"
    return ""
