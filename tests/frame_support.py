"""Helpers for the module-frame tests: fresh interpreters over a stand-in ``models``."""

import os
import subprocess
import sys
import textwrap
from pathlib import Path

import gateways

REPO = Path(__file__).resolve().parent.parent
MODULE_DIR = Path(gateways.__file__).parent

MINIMAL_DB = """
class _Base:
    def __init__(self, db, *names):
        self.engine, self.names = db, names
    def set_constraint(self, name, columns):
        self.constraint = (name, columns)

class ClientStructure(_Base):
    pass

class Db(_Base):
    pass
"""


def write_models(root, db_source=MINIMAL_DB, config_source="timeOffset = 0\n", init_source=""):
    """A ``models`` package under ``root``; a source of None leaves that file out."""
    package = Path(root) / "models"
    package.mkdir(parents=True, exist_ok=True)
    (package / "__init__.py").write_text(init_source)
    for name, source in (("db", db_source), ("config", config_source)):
        path = package / f"{name}.py"
        if source is None:
            path.unlink(missing_ok=True)
        else:
            path.write_text(textwrap.dedent(source))
    return package


def run_python(script, path, module_dir=MODULE_DIR, options=()):
    """Runs ``script`` in a new interpreter that finds ``models`` under ``path`` and
    ``gateways`` in ``module_dir``; returns the completed process."""
    env = dict(os.environ, PYTHONPATH=os.pathsep.join([str(module_dir), str(path)]))
    return subprocess.run(
        [sys.executable, *options, "-c", textwrap.dedent(script)], env=env, capture_output=True, text=True, timeout=120
    )
