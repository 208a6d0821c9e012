"""./dev.sh run's runtime folder: private to its user (0700) whatever was there before."""

import os
import stat
import subprocess
from pathlib import Path

import pytest

DEV_SH = Path(__file__).resolve().parents[2] / "dev.sh"
# The function alone, run by bash as dev.sh runs it: the rest of dev.sh would build.
FOLDER_OF = ('eval "$(sed -n \'/^runtime_folder()/,/^}/p\' "$0")"; unset XDG_RUNTIME_DIR; runtime_folder; '
             'printf %s "$XDG_RUNTIME_DIR"')


@pytest.mark.parametrize("before", [None, 0o700, 0o755, 0o777], ids=["none", "private", "readable", "open"])
def test_runtime_folder_is_private(tmp_path, before):
    folder = tmp_path / f"kestrava-runtime-{os.getuid()}"
    if before is not None:
        folder.mkdir()
        folder.chmod(before)
    done = subprocess.run(["bash", "-c", FOLDER_OF, str(DEV_SH)], env={**os.environ, "TMPDIR": str(tmp_path)},
                          capture_output=True, text=True, timeout=30, check=True)
    chosen = os.stat(done.stdout)
    assert stat.S_ISDIR(chosen.st_mode) and chosen.st_uid == os.getuid()
    assert stat.S_IMODE(chosen.st_mode) == 0o700
    assert stat.S_IMODE(folder.stat().st_mode) == (before or 0o700)  # a folder already there is left as it was
