"""The tested matrix: the host's stack and today's, each built and tested on its own.

    make matrix              # every entry, then a table of them
    python -m nox -s "suite(host)"

Each entry gets a venv of its interpreter with the pins of its requirements file, builds
the module into that interpreter's own build folder (build/<wheel tag>) and runs the
whole suite against its own throwaway PostgreSQL.
"""

import json
import sys
from pathlib import Path

import nox

ROOT = Path(__file__).resolve().parent
sys.path.insert(0, str(ROOT / "tools"))
from interpreters import interpreter  # noqa: E402

RESULTS = ROOT / "build" / "matrix"
nox.options.sessions = ["suite"]
nox.options.reuse_existing_virtualenvs = True

# name: (interpreter, runtime pins, test pins)
ENTRIES = {
    "host": ("3.10", "requirements/runtime.txt", "requirements/dev.txt"),
    "py311": ("3.11", "requirements/stack-py311.txt", "requirements/test.txt"),
    "py312": ("3.12", "requirements/stack-py312.txt", "requirements/test.txt"),
    "py313": ("3.13", "requirements/stack-py313.txt", "requirements/test.txt"),
    # pyenv cannot fetch these here: tools/debian_python.py installs them (make matrix)
    "py314": ("3.14", "requirements/stack-py314.txt", "requirements/test.txt"),
    "py315": ("3.15", "requirements/stack-py315.txt", "requirements/test.txt"),
}
# Each entry's interpreter (pyenv's, else what nox finds by the version) and name.
PER_ENTRY = nox.parametrize(
    "python,entry",
    [nox.param(interpreter(version) or version, name, id=name) for name, (version, *_) in ENTRIES.items()],
)


@nox.session(venv_backend="venv")
@PER_ENTRY
def suite(session, entry):
    _, runtime, test = ENTRIES[entry]
    session.install("-r", runtime, "-r", test, "-r", "requirements/build.txt")
    session.install("--no-build-isolation", "--no-deps", "--force-reinstall", ".")
    RESULTS.mkdir(parents=True, exist_ok=True)
    (RESULTS / f"{entry}.json").write_text(session.run("python", "-c", VERSIONS, silent=True).strip())
    session.run(
        "python",
        "-m",
        "pytest",
        "-q",
        "-p",
        "no:cacheprovider",
        f"--junitxml={RESULTS / entry}.xml",
        *session.posargs,
        env={"PYTHONPATH": str(ROOT / "host")},
    )


@nox.session(venv_backend="venv")
@PER_ENTRY
def installed_wheel(session, entry):
    """A wheel of dist/ in a fresh venv with the entry's runtime pins and the test pins
    only: the suite and the stubs' mypy check run against the installed module; the
    tests that build variants of the module skip, as there is no toolchain."""
    version, runtime, _ = ENTRIES[entry]
    tag = "cp" + version.replace(".", "")
    wheels = sorted(ROOT.glob(f"dist/gateways-*-{tag}-{tag}-manylinux*.whl"))
    if not wheels:
        session.error(f"no {tag} manylinux wheel in dist/: run make wheel")
    session.install("-r", runtime, "-r", "requirements/test.txt")
    session.install("--no-deps", "--force-reinstall", str(wheels[-1]))
    session.run(
        "python",
        "-m",
        "pytest",
        "-q",
        "-p",
        "no:cacheprovider",
        *session.posargs,
        env={"PYTHONPATH": str(ROOT / "host")},
    )


@nox.session(python=False)
def table(session):
    """Every entry's versions and counts, from the last run of each."""
    import xml.etree.ElementTree as ET

    header = ["entry", "Python", "pandas", "numpy", "SQLAlchemy", "driver", "passed", "failed", "skipped"]
    rows = []
    for name in ENTRIES:
        try:
            versions = json.loads((RESULTS / f"{name}.json").read_text())
            suite = ET.parse(RESULTS / f"{name}.xml").getroot().find("testsuite")
        except (OSError, ValueError):
            rows.append([name, "not run", "", "", "", "", "", "", ""])
            continue
        tests, failed = int(suite.get("tests")), int(suite.get("failures")) + int(suite.get("errors"))
        skipped = int(suite.get("skipped"))
        driver = (
            f"psycopg2 {versions['psycopg2-binary']}"
            if versions.get("psycopg2-binary")
            else f"psycopg {versions.get('psycopg')}"
        )
        rows.append(
            [
                name,
                versions["python"],
                versions["pandas"],
                versions["numpy"],
                versions["SQLAlchemy"],
                driver,
                str(tests - failed - skipped),
                str(failed),
                str(skipped),
            ]
        )
    widths = [max(len(row[i]) for row in [header, *rows]) for i in range(len(header))]
    for row in [header, ["-" * w for w in widths], *rows]:
        print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)))


VERSIONS = """
import json, platform, importlib.metadata as m
def version(name):
    try:
        return m.version(name)
    except m.PackageNotFoundError:
        return None
names = ["pandas", "numpy", "SQLAlchemy", "psycopg2-binary", "psycopg"]
print(json.dumps({"python": platform.python_version(), **{n: version(n) for n in names}}))
"""
