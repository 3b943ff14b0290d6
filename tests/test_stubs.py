"""The installed type stubs match the built module (mypy's stubtest)."""
import os
import shutil
import subprocess
import sys
from pathlib import Path

import gateways
from conftest import HOST

STUBS = HOST.parent / "stubs"


def stubtest(stub_dir):
    env = dict(os.environ, MYPYPATH=os.pathsep.join([str(stub_dir), str(HOST)]),
               PYTHONPATH=os.pathsep.join([str(HOST), os.path.dirname(gateways.__file__)]))
    return subprocess.run([sys.executable, "-m", "mypy.stubtest", "gateways", "--mypy-config-file",
                           str(STUBS / "mypy.ini")], env=env, capture_output=True, text=True, cwd=stub_dir)


def test_stub_installed_beside_the_module():
    installed = Path(gateways.__file__).with_name("gateways.pyi")
    assert installed.read_text() == (STUBS / "gateways.pyi").read_text()


def test_stubs_match_the_module():
    result = stubtest(STUBS)
    assert result.returncode == 0, result.stdout + result.stderr


def test_a_wrong_stub_is_caught(tmp_path):
    text = (STUBS / "gateways.pyi").read_text().replace("def cap_limits(self, crm_id", "def cap_limits(self, crm")
    (tmp_path / "gateways.pyi").write_text(text)
    shutil.copy(STUBS / "mypy.ini", tmp_path)
    result = stubtest(tmp_path)
    assert result.returncode != 0 and "GatewaySettings.cap_limits" in result.stdout
