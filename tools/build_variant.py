"""Builds a variant of the module with CMake, for tests and checks that need one.

    python tools/build_variant.py FOLDER [-DOPTION=VALUE ...]

Configures and builds in FOLDER (kept, so rebuilds are incremental) with the running
interpreter and its pybind11, and installs the module and its stubs into FOLDER/install.
Prints that folder.
"""

import os
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def build(folder, *definitions):
    import pybind11

    folder = Path(folder).resolve()
    bin_dir = Path(sys.executable).parent
    env = dict(os.environ, PATH=os.pathsep.join([str(bin_dir), os.environ["PATH"]]))
    cmake = str(bin_dir / "cmake")
    steps = [
        [
            cmake,
            "-S",
            str(ROOT),
            "-B",
            str(folder),
            "-G",
            "Ninja",
            f"-DPython_EXECUTABLE={sys.executable}",
            f"-Dpybind11_DIR={pybind11.get_cmake_dir()}",
            "-DCMAKE_BUILD_TYPE=Release",
            *definitions,
        ],
        [cmake, "--build", str(folder)],
        [cmake, "--install", str(folder), "--prefix", str(folder / "install")],
    ]
    for step in steps:
        done = subprocess.run(step, env=env, capture_output=True, text=True)
        if done.returncode != 0:
            raise RuntimeError(f"{' '.join(step[:2])} failed:\n{done.stdout}{done.stderr}")
    return folder / "install"


if __name__ == "__main__":
    print(build(sys.argv[1], *sys.argv[2:]))
