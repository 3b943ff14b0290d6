"""The installed type stubs match the built module (mypy's stubtest)."""

import os
import shutil
import subprocess
import sys
from pathlib import Path

from conftest import HOST

import gateways

STUBS = HOST.parent / "stubs"


def stubtest(stub_dir):
    env = dict(
        os.environ,
        MYPYPATH=os.pathsep.join([str(stub_dir), str(HOST)]),
        PYTHONPATH=os.pathsep.join([str(HOST), os.path.dirname(gateways.__file__)]),
    )
    return subprocess.run(
        [sys.executable, "-m", "mypy.stubtest", "gateways", "--mypy-config-file", str(STUBS / "mypy.ini")],
        env=env,
        capture_output=True,
        text=True,
        cwd=stub_dir,
    )


def test_stub_package_installed_beside_the_module():
    installed = Path(gateways.__file__).with_name("gateways-stubs") / "__init__.pyi"
    assert installed.read_text() == (STUBS / "gateways.pyi").read_text()


def mypy(source, tmp_path):
    """mypy on a caller, with nothing but the installed packages and the host's models."""
    caller = tmp_path / "caller.py"
    caller.write_text(source)
    env = dict(os.environ, MYPYPATH=str(HOST))
    # pandas and SQLAlchemy 1.4 are untyped; a missing gateways stub is import-not-found
    return subprocess.run(
        [sys.executable, "-m", "mypy", "--no-incremental", "--disable-error-code=import-untyped", str(caller)],
        env=env,
        capture_output=True,
        text=True,
        cwd=tmp_path,
    )


TYPED_CALLER = """
import datetime
import gateways
from models.db import Database

def month(db: Database) -> datetime.date:
    settings = gateways.GatewaySettings(db)
    settings.disable(1, [3, "4"])
    return settings.get_first_dom()
"""


def test_mypy_finds_the_installed_stubs(tmp_path):
    result = mypy(TYPED_CALLER, tmp_path)
    assert result.returncode == 0, result.stdout + result.stderr
    wrong = mypy(
        TYPED_CALLER.replace("return settings.get_first_dom()", "return settings.get_first_dom() + 1"), tmp_path
    )
    assert wrong.returncode != 0 and "Unsupported operand types" in wrong.stdout, wrong.stdout


def test_stubs_match_the_module():
    result = stubtest(STUBS)
    assert result.returncode == 0, result.stdout + result.stderr


def test_a_wrong_stub_is_caught(tmp_path):
    text = (STUBS / "gateways.pyi").read_text().replace("def cap_limits(self, crm_id", "def cap_limits(self, crm")
    (tmp_path / "gateways.pyi").write_text(text)
    shutil.copy(STUBS / "mypy.ini", tmp_path)
    result = stubtest(tmp_path)
    assert result.returncode != 0 and "GatewaySettings.cap_limits" in result.stdout
