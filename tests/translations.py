"""Every text of the windows is in its .ts file and translated there.

Runs lupdate over the sources into temporary copies of the .ts files, as a translator
would before opening them in Linguist, and names every text that lupdate found new or
unfinished there, or that the code no longer has.

usage: translations.py LUPDATE SOURCE_ROOT
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

# Each .ts file, the folders whose texts it holds, and lupdate's options for it. The
# English file of the view holds only the plural forms of its English texts.
CATALOGUES = [
    ("panel_en.ts", ["panel"], []),
    ("view_es.ts", ["sim/view"], []),
    ("view_en.ts", ["sim/view"], ["-pluralonly"]),
]


def faults(ts_file):
    for context in ElementTree.parse(ts_file).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            state = message.find("translation").get("type")
            if state in ("unfinished", "vanished", "obsolete"):
                what = "no longer in the code" if state != "unfinished" else "new or unfinished"
                yield f"{ts_file.name}: {what}: {name}: {message.findtext('source')!r}"


def main(lupdate, root):
    root = pathlib.Path(root)
    found = []
    with tempfile.TemporaryDirectory() as scratch:
        for ts_name, folders, options in CATALOGUES:
            copy = pathlib.Path(scratch) / ts_name
            shutil.copy(root / "translations" / ts_name, copy)
            subprocess.run([lupdate, "-silent", "-locations", "none", "-I", str(root), *options,
                            *[str(root / folder) for folder in folders], "-ts", str(copy)], check=True)
            found += faults(copy)
    for fault in found:
        print(fault)
    if found:
        print(f"{len(found)} text(s) to translate in Linguist (lupdate {root}/panel or sim/view -ts the file)")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
