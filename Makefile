# Every target bootstraps from nothing: a .venv made with Python 3.10, the pinned
# dependencies, the module built and installed; a second run with nothing changed is quick.
SHELL      := /bin/bash
.SHELLFLAGS := -o pipefail -c
VENV       := .venv
PY         := $(VENV)/bin/python
DEPS_STAMP := $(VENV)/.deps-installed
MOD_STAMP  := $(VENV)/.module-installed
LINT_STAMP := $(VENV)/.lint-installed
DEMO_STAMP := $(VENV)/.demo-installed
SOURCES    := CMakeLists.txt pyproject.toml $(shell find src -type f 2>/dev/null)
# CI builds with warnings as errors.
CMAKE_DEFS := $(if $(CI),--config-settings=cmake.define.GATEWAYS_WERROR=ON)
HOSTPATH   := PYTHONPATH=$(CURDIR)/host
# pip's output goes to build/pip.log (a machine's own pip settings can make it warn about
# every package), and its end is shown when it fails.
LOGGED     = > build/pip.log 2>&1 || { tail -n 40 build/pip.log; exit 1; }

.PHONY: test demo bench bench-scale matrix wheel style lint stress asan build clean postgres

test: build postgres
	$(HOSTPATH) $(PY) -m pytest $(PYTEST_ARGS)

demo: build postgres $(DEMO_STAMP)
	$(HOSTPATH) $(PY) examples/demo.py $(DEMO_ARGS)

# The reliability checks at full size; their summary comes last.
RELIABILITY := tests/test_hostile_input.py tests/test_faults.py tests/test_leaks.py tests/test_concurrency.py \
               tests/test_error_paths.py tests/test_host_edges.py tests/test_module_import.py
stress: build postgres
	$(HOSTPATH) $(PY) -m pytest --stress $(RELIABILITY) $(PYTEST_ARGS)
	@cat build/reliability-summary.txt

# The whole suite against a build with AddressSanitizer, preloaded into the interpreter
# (which is not built with it) together with libstdc++, so that the sanitizer finds the
# C++ runtime it intercepts; leak detection is off because the interpreter itself keeps
# memory until exit.
ASAN_DIR := build/asan
asan: $(DEPS_STAMP) postgres
	@echo "make: building the module with AddressSanitizer into $(ASAN_DIR)"
	$(PY) tools/build_variant.py $(ASAN_DIR) -DGATEWAYS_ASAN=ON -DGATEWAYS_WERROR=ON
	LD_PRELOAD="$$($(CXX) -print-file-name=libasan.so) $$($(CXX) -print-file-name=libstdc++.so)" \
	  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 GATEWAYS_SANITIZED=1 \
	  PYTHONPATH=$(CURDIR)/$(ASAN_DIR)/install:$(CURDIR)/host $(PY) -m pytest -p no:cacheprovider $(PYTEST_ARGS)

bench: build postgres
	$(HOSTPATH) $(PY) -u benchmarks/bench.py $(BENCH_ARGS)

# What each call costs at an installation's size: ORDERS=100k (default), 1M or 10M, and
# CRMS=3 (default) or 30; SCALE_ARGS for the rest (--runs, --database-url, --setting).
ORDERS ?= 100k
CRMS   ?= 3
bench-scale: build postgres
	$(HOSTPATH) $(PY) -u benchmarks/scale.py --orders $(ORDERS) --crms $(CRMS) $(SCALE_ARGS)

# The tested matrix (noxfile.py): each entry's interpreter and pins, its own build folder,
# the whole suite; then a table of every entry. NOX_ARGS picks entries: -s "suite(py313)".
NOX_VENV := build/nox
matrix:
	@for version in 3.14 3.15; do "$$(tools/python310)" tools/debian_python.py $$version >/dev/null; done
	@test -x $(NOX_VENV)/bin/python || "$$(tools/python310)" -m venv $(NOX_VENV)
	@mkdir -p build; $(NOX_VENV)/bin/python -m pip install --disable-pip-version-check -r requirements/matrix.txt $(LOGGED)
	$(NOX_VENV)/bin/python -m nox $(NOX_ARGS); status=$$?; $(NOX_VENV)/bin/python -m nox -s table; exit $$status

# Wheels for CPython 3.10 to 3.15 repaired to manylinux, and an sdist, into dist/; then
# each wheel installed into a fresh venv and the suite run against it (noxfile.py).
WHEEL_VENV := build/wheel-tools
wheel:
	@for version in 3.14 3.15; do "$$(tools/python310)" tools/debian_python.py $$version >/dev/null; done
	@command -v patchelf >/dev/null || { test "$$(id -u)" = 0 && apt-get install -y -q patchelf >/dev/null; } \
	  || { echo "auditwheel needs patchelf: apt-get install patchelf" >&2; exit 1; }
	@test -x $(WHEEL_VENV)/bin/python || "$$(tools/python310)" -m venv $(WHEEL_VENV)
	@mkdir -p build; $(WHEEL_VENV)/bin/python -m pip install --disable-pip-version-check -r requirements/wheel.txt $(LOGGED)
	$(WHEEL_VENV)/bin/python tools/build_wheels.py $(WHEEL_ARGS)
	@test -x $(NOX_VENV)/bin/python || "$$(tools/python310)" -m venv $(NOX_VENV)
	@mkdir -p build; $(NOX_VENV)/bin/python -m pip install --disable-pip-version-check -r requirements/matrix.txt $(LOGGED)
	$(NOX_VENV)/bin/python -m nox -s installed_wheel

# What CI checks before the tests: ruff (lint and format), mypy over the host layer, the
# examples and the benchmarks, and clang-format over the C++ (.clang-format).
style: $(LINT_STAMP)
	$(VENV)/bin/ruff check .
	$(VENV)/bin/ruff format --check .
	MYPYPATH=host:benchmarks:examples $(PY) -m mypy host examples benchmarks
	@tools/ensure-debian-package clang-format
	git ls-files 'src/*.cpp' 'src/*.hpp' | xargs clang-format --dry-run -Werror

# style, then clang-tidy (.clang-tidy) over every translation unit, from a build folder
# configured only for its compile commands (no LTO, whose flags clang does not know).
LINT_DIR := build/lint
lint: style
	@tools/ensure-debian-package clang-tidy
	$(VENV)/bin/cmake -S . -B $(LINT_DIR) -G Ninja -DCMAKE_MAKE_PROGRAM=$(CURDIR)/$(VENV)/bin/ninja \
	  -DPython_EXECUTABLE=$(CURDIR)/$(PY) -Dpybind11_DIR="$$($(PY) -m pybind11 --cmakedir)" \
	  -DGATEWAYS_LTO=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
	git ls-files 'src/*.cpp' | xargs -P 2 -n 4 clang-tidy -p $(LINT_DIR) --quiet

$(LINT_STAMP): $(DEPS_STAMP) requirements/lint.txt
	@echo "make: installing the linters (requirements/lint.txt)"
	@mkdir -p build; $(PY) -m pip install --disable-pip-version-check -r requirements/lint.txt $(LOGGED)
	@touch $@

build: $(MOD_STAMP)

postgres:
	@tools/ensure-postgres

$(DEPS_STAMP): requirements/runtime.txt requirements/build.txt requirements/test.txt requirements/dev.txt
	@echo "make: installing the pinned stack into $(VENV) (requirements/dev.txt)"
	@test -x $(PY) || "$$(tools/python310)" -m venv $(VENV)
	@mkdir -p build; $(PY) -m pip install --disable-pip-version-check -r requirements/dev.txt $(LOGGED)
	@touch $@

$(DEMO_STAMP): $(DEPS_STAMP) requirements/demo.txt
	@echo "make: installing the demo's chart library (requirements/demo.txt)"
	@mkdir -p build; $(PY) -m pip install --disable-pip-version-check -r requirements/demo.txt $(LOGGED)
	@touch $@

# Each unit is named as it compiles.
$(MOD_STAMP): $(DEPS_STAMP) $(SOURCES)
	@echo "make: building and installing the module (CMake; log in build/pip.log)"
	@mkdir -p build
	@$(PY) -m pip install -v --disable-pip-version-check --no-build-isolation --no-deps $(CMAKE_DEFS) . 2>&1 \
	  | tee build/pip.log | { grep --line-buffered -E '^ *\[[0-9]+/[0-9]+\] ' || true; } \
	  | sed -u -E 's|^ *(\[[0-9]+/[0-9]+\]) [A-Za-z ]*object CMakeFiles/gateways.dir/(.*)\.o$$|  \1 \2|' \
	  || { tail -n 40 build/pip.log; exit 1; }
	@touch $@

clean:
	rm -rf $(VENV) build dist .nox .pytest_cache .hypothesis
	find . -name __pycache__ -type d -prune -exec rm -rf {} +
