"""Installs a CPython that pyenv cannot fetch here from Debian's packages of its newer
releases, into build/python/<version>; prints the interpreter's path.

    python tools/debian_python.py 3.14

A private apt configuration under build/python/apt names the testing and unstable suites,
signed by the system's archive keyring (the system's own sources and state untouched).
The interpreter's packages and the C libraries they need are downloaded, unpacked into
the folder with dpkg-deb, and the interpreter is pointed at the folder's own loader and
libraries with patchelf (DT_RPATH, so that the extension modules it loads find them
too). Headers come with it, so the module builds against it. Kept between runs.
"""

import re
import shutil
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BUILD = ROOT / "build" / "python"
APT = BUILD / "apt"
KEYRING = "/usr/share/keyrings/debian-archive-keyring.gpg"
LIBRARIES = [
    "libc6",
    "libssl3t64",
    "zlib1g",
    "libexpat1",
    "libffi8",
    "libbz2-1.0",
    "liblzma5",
    "libzstd1",
    "libsqlite3-0",
    "libuuid1",
    "libncursesw6",
    "libtinfo6",
    "libreadline8t64",
    "libgcc-s1",
    "libstdc++6",
    "python3-pip-whl",
    "python3-setuptools-whl",
]


def packages(version):
    return [
        f"python{version}-minimal",
        f"libpython{version}-minimal",
        f"libpython{version}-stdlib",
        f"libpython{version}",
        f"libpython{version}-dev",
        f"python{version}-dev",
        f"python{version}-venv",
        *LIBRARIES,
    ]


def apt(tool, *arguments, cwd=None):
    options = [f"-oDir={APT}", f"-oDir::State::status={APT}/status", "-oDebug::NoLocking=1", "-qq"]
    subprocess.run([tool, *options, *arguments], check=True, cwd=cwd, stdout=subprocess.DEVNULL)


def configure_apt():
    for folder in ("etc/apt/sources.list.d", "etc/apt/preferences.d", "var/lib/apt/lists/partial"):
        (APT / folder).mkdir(parents=True, exist_ok=True)
    (APT / "var/cache/apt/archives/partial").mkdir(parents=True, exist_ok=True)
    (APT / "status").touch()
    mirror = "http://deb.debian.org/debian"
    sources = [f"deb [signed-by={KEYRING}] {mirror} {suite} main" for suite in ("testing", "unstable")]
    (APT / "etc/apt/sources.list").write_text("\n".join(sources) + "\n")
    apt("apt-get", "update")


def ensure_patchelf():
    if shutil.which("patchelf"):
        return
    subprocess.run(["apt-get", "install", "-y", "-qq", "patchelf"], check=True, stdout=subprocess.DEVNULL)


def install(version):
    target = BUILD / version
    python = target / "usr" / "bin" / f"python{version}"
    if python.exists():
        return python
    print(f"debian_python: installing CPython {version} from Debian's packages into {target}", file=sys.stderr)
    configure_apt()
    ensure_patchelf()
    downloads = BUILD / f"debs-{version}"
    downloads.mkdir(parents=True, exist_ok=True)
    apt("apt-get", "download", *packages(version), cwd=downloads)
    staging = BUILD / f"{version}.partial"
    shutil.rmtree(staging, ignore_errors=True)
    for deb in sorted(downloads.glob("*.deb")):
        subprocess.run(["dpkg-deb", "-x", str(deb), str(staging)], check=True)
    libraries = staging / "usr" / "lib" / "x86_64-linux-gnu"
    # Paths are fixed where the folder ends up, before it is moved there.
    final_libraries = target / "usr" / "lib" / "x86_64-linux-gnu"
    subprocess.run(
        [
            "patchelf",
            "--set-interpreter",
            str(final_libraries / "ld-linux-x86-64.so.2"),
            "--force-rpath",
            "--set-rpath",
            str(final_libraries),
            str(staging / "usr" / "bin" / f"python{version}"),
        ],
        check=True,
    )
    assert libraries.is_dir(), f"no libraries unpacked into {libraries}"
    # Debian's ensurepip takes pip's wheel from the system's /usr/share/python-wheels, whose
    # pip may be too old for this interpreter: it takes the folder's own instead.
    ensurepip = staging / "usr" / "lib" / f"python{version}" / "ensurepip" / "__init__.py"
    wheels = target / "usr" / "share" / "python-wheels"
    text = ensurepip.read_text()
    assert "sysconfig.get_config_var('WHEEL_PKG_DIR')" in text, "Debian's ensurepip changed"
    ensurepip.write_text(text.replace("sysconfig.get_config_var('WHEEL_PKG_DIR')", repr(str(wheels))))
    # Debian's pyconfig.h includes the per-architecture one from the system's include path;
    # it takes the folder's own, by a path relative to itself.
    pyconfig = staging / "usr" / "include" / f"python{version}" / "pyconfig.h"
    text = pyconfig.read_text()
    pyconfig.write_text(re.sub(r"<([\w-]+/python[\d.]+/pyconfig\.h)>", r'"../\1"', text))
    shutil.rmtree(target, ignore_errors=True)
    staging.rename(target)
    subprocess.run([str(python), "-c", "import ssl, sqlite3, ctypes, venv, ensurepip"], check=True)
    return python


if __name__ == "__main__":
    print(install(sys.argv[1]))
