"""Initialisation in fresh interpreters: imports, failures, class creation, version check."""

import shutil
import sys
from pathlib import Path

import pytest
from frame_support import REPO, run_python, write_models


def test_failed_import_leaves_nothing_and_a_later_import_succeeds(tmp_path):
    write_models(tmp_path, db_source=None)
    result = run_python(
        f"""
        import importlib, sys, traceback
        try:
            import gateways
        except ModuleNotFoundError as error:
            names = [e.name for e in traceback.extract_tb(error.__traceback__)]
            print("failed:", error.name, "gateways.<module>" in names, "gateways" in sys.modules)
        from pathlib import Path
        Path({str(tmp_path / "models" / "db.py")!r}).write_text(open({str(tmp_path / "models" / "config.py")!r}).read()
            + "class ClientStructure: pass\\nclass Db: pass\\n")
        importlib.invalidate_caches()
        import gateways
        print("then:", gateways.GatewaySettings.__bases__[0].__module__, gateways.pd.__name__)
    """,
        tmp_path,
    )
    assert result.stdout.splitlines() == ["failed: models.db True False", "then: models.db pandas"], result.stderr


def test_missing_name(tmp_path):
    write_models(tmp_path, db_source="class ClientStructure: pass\n")
    result = run_python(
        """
        import gateways
    """,
        tmp_path,
    )
    assert "ImportError: cannot import name Db" in result.stderr


def test_name_found_as_imported_submodule(tmp_path):
    # A name the module lacks is taken from an already imported submodule of that name.
    write_models(tmp_path, db_source="class ClientStructure: pass\n")
    (tmp_path / "models" / "db_base.py").write_text("class Db: pass\n")
    result = run_python(
        """
        import sys, models.db, models.db_base
        sys.modules["models.db.Db"] = models.db_base.Db
        import gateways
        print(gateways.Db is models.db_base.Db, gateways.CapReport.__bases__ == (models.db_base.Db,))
    """,
        tmp_path,
    )
    assert result.stdout.split() == ["True", "True"], result.stderr


def test_config_submodule_is_imported_by_the_from_import(tmp_path):
    write_models(tmp_path, config_source="timeOffset = 7\n", init_source="# config not imported here\n")
    result = run_python("import gateways; print(gateways.mod_conf.timeOffset)", tmp_path)
    assert result.stdout.strip() == "7", result.stderr


def test_class_creation_uses_the_base_metaclass_and_prepare(tmp_path):
    write_models(
        tmp_path,
        db_source="""
        seen = []
        class Meta(type):
            @classmethod
            def __prepare__(mcs, name, bases):
                seen.append((name, [b.__name__ for b in bases]))
                return {"prepared": True}
            def __new__(mcs, name, bases, namespace):
                seen.append(list(namespace))
                return super().__new__(mcs, name, bases, namespace)
        class ClientStructure(metaclass=Meta): pass
        class Db: pass
    """,
    )
    result = run_python(
        """
        import gateways, models.db as m
        print(type(gateways.GatewayNames).__name__, type(gateways.CapReport).__name__)
        seen = m.seen[2:]  # after ClientStructure itself
        print(seen[0], seen[1][:4])
        print([s[0] for s in seen[::2]])
    """,
        tmp_path,
    )
    lines = result.stdout.splitlines()
    assert lines[0] == "Meta type", result.stderr
    assert lines[1] == "('GatewaySettings', ['ClientStructure']) ['prepared', '__module__', '__qualname__', '__init__']"
    assert lines[2] == "['GatewaySettings', 'GatewayNames', 'GatewaySteps']"


def test_failing_class_creation_fails_the_import(tmp_path):
    write_models(
        tmp_path,
        db_source="""
        class Meta(type):
            def __new__(mcs, name, bases, namespace):
                if name == "GatewaySteps":
                    raise RuntimeError("no steps today")
                return super().__new__(mcs, name, bases, namespace)
        class ClientStructure(metaclass=Meta): pass
        class Db: pass
    """,
    )
    result = run_python(
        """
        import sys
        try:
            import gateways
        except RuntimeError as error:
            print(error, "gateways" in sys.modules)
    """,
        tmp_path,
    )
    assert result.stdout.strip() == "no steps today False", result.stderr


# -- Version check -------------------------------------------------------------------


@pytest.fixture(scope="session")
def mismatched_build():
    """The module built as if for Python 3.9: a whole second build, kept between runs, so
    its tests run under make stress."""
    pytest.importorskip("pybind11", reason="building a variant needs the build toolchain")
    if not (Path(sys.executable).with_name("cmake").exists() or shutil.which("cmake")):
        pytest.skip("building a variant needs CMake")
    sys.path.insert(0, str(REPO / "tools"))
    import build_variant

    # one build folder per interpreter: CMake's cache names the interpreter it found
    folder = REPO / "build" / f"version-mismatch-{sys.implementation.cache_tag}"
    return build_variant.build(folder, "-DGATEWAYS_COMPILED_PY_VERSION=3.9")


@pytest.mark.stress_only
def test_version_mismatch_warns_once_and_imports(tmp_path, mismatched_build):
    write_models(tmp_path)
    result = run_python(
        """
        import warnings
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            import gateways
        runtime = [w for w in caught if w.category is RuntimeWarning]
        print(len(runtime), runtime[0].message if runtime else "")
        print(gateways.CapReport.__name__)
    """,
        tmp_path,
        module_dir=mismatched_build,
    )
    major, minor = sys.version_info[:2]
    assert result.stdout.splitlines() == [
        f"1 compile time Python version 3.9 of module 'gateways' does not match runtime version {major}.{minor}",
        "CapReport",
    ], result.stderr


@pytest.mark.stress_only
def test_version_mismatch_as_error_fails_the_import(tmp_path, mismatched_build):
    write_models(tmp_path)
    result = run_python(
        """
        import sys
        try:
            import gateways
        except RuntimeWarning as error:
            print("refused:", "gateways" in sys.modules)
    """,
        tmp_path,
        module_dir=mismatched_build,
        options=("-W", "error::RuntimeWarning"),
    )
    assert result.stdout.strip() == "refused: False", result.stderr


def test_matching_version_warns_nothing(tmp_path):
    write_models(tmp_path)
    result = run_python("import gateways", tmp_path, options=("-W", "error::RuntimeWarning"))
    assert result.returncode == 0, result.stderr
