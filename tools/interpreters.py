"""Where the CPython of a version is: pyenv's newest of it, else the one debian_python.py
installed into the build tree, else the one on the PATH."""

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
    if found:
        return found[-1]
    unpacked = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "build", "python")
    candidate = os.path.join(unpacked, version, "usr", "bin", f"python{version}")
    return candidate if os.path.exists(candidate) else shutil.which(f"python{version}")
