"""Builds the distributions: a wheel per CPython 3.10 to 3.13, repaired by auditwheel to
the oldest manylinux tag it allows here, and an sdist, checked by installing it from a
clean folder.

    python tools/build_wheels.py [--out dist] [--python 3.12 ...]

Each wheel is built by pip in an isolated build environment (build-system.requires), in
a build folder of its own under build/wheel/.
"""

import argparse
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

import interpreters

ROOT = Path(__file__).resolve().parent.parent
VERSIONS = ["3.10", "3.11", "3.12", "3.13"]


def interpreter(version):
    path = interpreters.interpreter(version)
    if path is None:
        raise SystemExit(f"no CPython {version} found (pyenv install {version})")
    return path


def run(*command, cwd=ROOT):
    print("+", " ".join(str(part) for part in command), flush=True)
    subprocess.run([str(part) for part in command], check=True, cwd=cwd)


def build_wheel(version, raw):
    python = interpreter(version)
    run(
        python,
        "-m",
        "pip",
        "wheel",
        "--no-deps",
        "--disable-pip-version-check",
        "-w",
        raw,
        "--config-settings=build-dir=build/wheel/{wheel_tag}",
        ".",
    )


def check_sdist(sdist, version="3.12"):
    """Installs the sdist into a fresh venv from a folder that holds nothing else."""
    with tempfile.TemporaryDirectory() as folder:
        shutil.copy(sdist, folder)
        run(interpreter(version), "-m", "venv", Path(folder) / "venv")
        python = Path(folder) / "venv" / "bin" / "python"
        run(python, "-m", "pip", "install", "-q", "--disable-pip-version-check", Path(folder) / sdist.name, cwd=folder)
        run(
            python,
            "-c",
            "import importlib.util as u, sys; spec = u.find_spec('gateways'); "
            "sys.exit(spec is None or not spec.origin.endswith('.so'))",
            cwd=folder,
        )


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", type=Path, default=ROOT / "dist")
    parser.add_argument("--python", action="append", help="only these versions (default 3.10 to 3.13)")
    args = parser.parse_args(argv)
    raw = ROOT / "build" / "wheel" / "raw"
    shutil.rmtree(raw, ignore_errors=True)
    args.out.mkdir(parents=True, exist_ok=True)
    for version in args.python or VERSIONS:
        build_wheel(version, raw)
    for wheel in sorted(raw.glob("*.whl")):
        run(sys.executable, "-m", "auditwheel", "repair", "-w", args.out, wheel)
    for stale in args.out.glob("gateways-*.tar.gz"):
        stale.unlink()
    run(sys.executable, "-m", "build", "--sdist", "--outdir", args.out, ".")
    check_sdist(next(args.out.glob("gateways-*.tar.gz")))
    print("\n".join(["", "built:", *sorted(path.name for path in args.out.iterdir())]))


if __name__ == "__main__":
    main()
