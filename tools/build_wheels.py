"""Builds the distributions: a wheel per CPython 3.10 to 3.15, repaired by auditwheel to
the oldest manylinux tag it allows, and an sdist, checked by installing it from a clean
folder.

    python tools/build_wheels.py [--out dist] [--python 3.12 ...]

Each wheel is built by pip in an isolated build environment (build-system.requires), in
a build folder of its own under build/wheel/, as a portable module (GATEWAYS_PORTABLE:
libstdc++ linked in, no glibc symbol newer than 2.17). Every file's time is the commit's
(SOURCE_DATE_EPOCH), so two builds of one commit give the same bytes.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

import interpreters

ROOT = Path(__file__).resolve().parent.parent
VERSIONS = ["3.10", "3.11", "3.12", "3.13", "3.14", "3.15"]
# The newest glibc symbol version a wheel's module may need: manylinux2014's, which the
# host's pandas wheels also target.
NEWEST_GLIBC = (2, 17)


def interpreter(version):
    path = interpreters.interpreter(version)
    if path is None:
        raise SystemExit(f"no CPython {version} found (pyenv install {version}, or tools/debian_python.py {version})")
    return path


def run(*command, cwd=ROOT):
    print("+", " ".join(str(part) for part in command), flush=True)
    subprocess.run([str(part) for part in command], check=True, cwd=cwd)


def builder(version):
    """A venv of the interpreter, with pip: Debian's interpreters have none of their own."""
    venv = ROOT / "build" / "wheel-venvs" / version
    python = venv / "bin" / "python"
    if not python.exists():
        run(interpreter(version), "-m", "venv", "--clear", venv)
    return python


def build_wheel(version, raw):
    python = builder(version)
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
        "--config-settings=cmake.define.GATEWAYS_PORTABLE=ON",
        ".",
    )


def commit_time():
    """The commit's time as SOURCE_DATE_EPOCH wants it, seconds since 1970."""
    out = subprocess.run(["git", "log", "-1", "--format=%ct"], cwd=ROOT, check=True, capture_output=True, text=True)
    return out.stdout.strip()


def symbol_versions(wheel):
    """Every symbol version the wheel's modules need, as "GLIBC_2.14" and the like."""
    needed = set()
    with zipfile.ZipFile(wheel) as archive, tempfile.TemporaryDirectory() as folder:
        for name in archive.namelist():
            if name.endswith(".so") or ".so." in name:
                dumped = subprocess.run(
                    ["objdump", "-T", archive.extract(name, folder)], check=True, capture_output=True, text=True
                ).stdout
                needed |= set(re.findall(r"\b((?:GLIBC|GLIBCXX|CXXABI)_[0-9.]+)\b", dumped))
    return needed


def check_portable(wheel):
    """Refuses a wheel whose module needs libstdc++'s symbols or a glibc newer than
    NEWEST_GLIBC; prints the newest glibc it needs."""
    needed = symbol_versions(wheel)
    foreign = sorted(name for name in needed if not name.startswith("GLIBC_"))
    glibc = max(tuple(int(part) for part in name[6:].split(".")) for name in needed if name.startswith("GLIBC_"))
    shown = ".".join(map(str, glibc))
    if foreign or glibc > NEWEST_GLIBC:
        raise SystemExit(f"{wheel.name}: needs glibc {shown} and {', '.join(foreign) or 'nothing else'}")
    print(f"{wheel.name}: needs glibc {shown}")


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
    parser.add_argument("--python", action="append", help="only these versions (default 3.10 to 3.15)")
    args = parser.parse_args(argv)
    os.environ["SOURCE_DATE_EPOCH"] = commit_time()
    raw = ROOT / "build" / "wheel" / "raw"
    shutil.rmtree(raw, ignore_errors=True)
    args.out.mkdir(parents=True, exist_ok=True)
    for version in args.python or VERSIONS:
        tag = "cp" + version.replace(".", "")
        for stale in args.out.glob(f"gateways-*-{tag}-{tag}-*.whl"):
            stale.unlink()
        build_wheel(version, raw)
    for wheel in sorted(raw.glob("*.whl")):
        run(sys.executable, "-m", "auditwheel", "repair", "-w", args.out, wheel)
    for wheel in sorted(args.out.glob("gateways-*manylinux*.whl")):
        check_portable(wheel)
    for stale in args.out.glob("gateways-*.tar.gz"):
        stale.unlink()
    run(sys.executable, "-m", "build", "--sdist", "--outdir", args.out, ".")
    check_sdist(next(args.out.glob("gateways-*.tar.gz")))
    print("\n".join(["", "built:", *sorted(path.name for path in args.out.iterdir())]))


if __name__ == "__main__":
    main()
