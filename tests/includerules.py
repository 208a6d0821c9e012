#!/usr/bin/env python3
"""Checks every include of the source tree, and every library's link lines in CMake,
against the floors of docs/architecture.md.

    includerules.py SOURCE_ROOT QT_WIDGETS_HEADER_DIR

Prints one line per include or linked library that breaks a rule, naming the file,
the line and the rule, and exits 1 when there is any.
"""
import os
import re
import sys

# The window's side of the wire, floor by floor: a folder includes its own files
# and those of lower floors only, never a folder beside it on its own floor.
FLOORS = {
    "numbers": 0, "process": 0, "language": 0,
    "link": 1,
    "drive": 2, "actuators": 2, "sensors": 2, "launcher": 2,
    "panel": 3, "cli": 3,
}
# The simulator's rooms: modules and the world they sense lean on each other.
SIM_FLOORS = {"sim/modules": 0, "sim/world": 0, "sim/program": 1, "sim/view": 2, "sim": 3}
CORE = {"numbers", "link", "drive", "actuators", "sensors"}
HEADLESS = CORE | {"sim/modules", "sim/world", "sim/program"}
SHARED_WITH_SIM = {"process", "language"}
CHECKED = set(FLOORS) | {"sim"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
LIBRARY = re.compile(r'\badd_library\s*\(\s*([\w:.-]+)')
LINK = re.compile(r'\btarget_link_libraries\s*\(([^)]*)\)')
LINK_KEYWORDS = {"PUBLIC", "PRIVATE", "INTERFACE"}
# The simulator's core is one library for three rooms; it stands where the highest does.
LIBRARY_ROOM = {"sim": "sim/program"}


def folder_of(path):
    parts = path.split("/")
    if parts[0] == "sim":
        return "/".join(parts[:2]) if len(parts) > 2 else "sim"
    return parts[0]


def broken_rule(folder, header, angled, widgets):
    if angled:
        if folder in HEADLESS and header.split("/")[-1] in widgets:
            return "the core and the simulator's core need no widgets"
        return None
    target = folder_of(header)
    if target == folder:
        return None
    if folder.startswith("sim"):
        if target.startswith("sim"):
            if SIM_FLOORS[target] > SIM_FLOORS[folder]:
                return "nothing includes upwards (in the simulator's rooms)"
            return None
        if target not in SHARED_WITH_SIM:
            return "the simulator shares no code with the other side of the wire"
        return None
    if target.startswith("sim"):
        return "the simulator shares no code with the other side of the wire"
    if target not in FLOORS:
        return f"{target}/ is no library to include"
    if folder in CORE and target in ("panel", "cli"):
        return "the core includes neither the window nor the command line"
    if FLOORS[target] > FLOORS[folder]:
        return "nothing includes upwards"
    if FLOORS[target] == FLOORS[folder]:
        return "folders on one floor do not include each other"
    return None


def sources(root):
    for folder in sorted(CHECKED):
        for here, dirs, files in os.walk(os.path.join(root, folder)):
            dirs.sort()
            for name in sorted(files):
                if name.endswith((".h", ".cpp")):
                    yield os.path.relpath(os.path.join(here, name), root)


def cmake_lists(root):
    for folder in sorted(CHECKED):
        for here, dirs, files in os.walk(os.path.join(root, folder)):
            dirs.sort()
            if "CMakeLists.txt" in files:
                yield os.path.relpath(os.path.join(here, "CMakeLists.txt"), root)


def uncommented(path, root):
    with open(os.path.join(root, path), encoding="utf-8") as lists:
        return "".join(re.sub(r"#.*", "", line) for line in lists)


def library_rooms(root):
    """Each library of the tree and the folder (or the simulator's room) it builds."""
    rooms = {}
    for path in cmake_lists(root):
        folder = os.path.dirname(path)
        for name in LIBRARY.findall(uncommented(path, root)):
            rooms[name] = LIBRARY_ROOM.get(folder, folder)
    return rooms


def misnamed_libraries(root):
    """A library is named after its folder: kestrava_link for link/, kestrava_simview for sim/view/."""
    for path in cmake_lists(root):
        folder = os.path.dirname(path)
        for name in LIBRARY.findall(uncommented(path, root)):
            if name != "kestrava_" + folder.replace("/", ""):
                yield f"{path}: library {name}: a library is named after its folder (kestrava_{folder.replace('/', '')})"


def broken_link(room, linked, rooms):
    if linked.startswith("Qt6::"):
        if linked == "Qt6::Widgets" and room in HEADLESS:
            return "the core and the simulator's core need no widgets"
        return None
    if linked not in rooms:
        return None  # a system library, not one of the floors
    return broken_rule(room, rooms[linked] + "/CMakeLists.txt", False, set())


def link_faults(root):
    """One line per library linked across a rule, with the file and the line it is named on."""
    rooms = library_rooms(root)
    for path in cmake_lists(root):
        text = uncommented(path, root)
        for call in LINK.finditer(text):
            words = [(m.group(), call.start(1) + m.start()) for m in re.finditer(r"\S+", call.group(1))]
            if not words or words[0][0] not in rooms:
                continue  # an executable stands on top, as main.cpp does
            library = words[0][0]
            for linked, offset in words[1:]:
                if linked in LINK_KEYWORDS:
                    continue
                rule = broken_link(rooms[library], linked, rooms)
                if rule:
                    number = text.count("\n", 0, offset) + 1
                    yield f"{path}:{number}: {library} links {linked}: {rule}"


def main():
    root, widgets_dir = sys.argv[1], sys.argv[2]
    widgets = set(os.listdir(widgets_dir))
    faults = 0
    for fault in [*misnamed_libraries(root), *link_faults(root)]:
        print(fault)
        faults += 1
    for path in sources(root):
        folder = folder_of(path)
        with open(os.path.join(root, path), encoding="utf-8") as source:
            for number, line in enumerate(source, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                rule = broken_rule(folder, match.group(2), match.group(1) == "<", widgets)
                if rule:
                    print(f"{path}:{number}: includes {match.group(2)}: {rule}")
                    faults += 1
    print(f"{faults} include{'s' if faults != 1 else ''} or link{'s' if faults != 1 else ''} breaking a rule")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
