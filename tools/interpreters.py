"""Where the CPython of a version is: pyenv's newest of it, else the one on the PATH."""

import glob
import os
import re
import shutil


def interpreter(version):
    """The path of CPython `version` ("3.12"), or None when there is none."""
    root = os.environ.get("PYENV_ROOT", os.path.expanduser("~/.pyenv"))
    found = sorted(
        glob.glob(f"{root}/versions/{version}.*/bin/python{version}"),
        key=lambda path: [int(part) for part in re.findall(r"\d+", path)],
    )
    return found[-1] if found else shutil.which(f"python{version}")
