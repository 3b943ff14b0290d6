"""Error paths: hostile objects in every argument, errors near the recursion limit, methods
that reach each other without end, and the text of a refusal. What may crash the
interpreter runs in a child, so that a crash is a failed test and not a dead suite."""

import json
import os
import subprocess
import sys
import textwrap
from pathlib import Path

import methods
import pytest
from frame_support import MODULE_DIR
from null_host import PANDAS, NullBase

import gateways

TESTS = Path(__file__).resolve().parent
HOST = TESTS.parent / "host"


def run_child(args, timeout=600):
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(map(str, [MODULE_DIR, HOST, TESTS])))
    return subprocess.run([sys.executable, *args], env=env, capture_output=True, text=True, timeout=timeout)


def test_every_parameter_of_every_method_is_fuzzed(monkeypatch):
    import error_path_fuzz

    for name in ("pd", "ClientStructure", "Db"):
        monkeypatch.setattr(gateways, name, getattr(gateways, name))  # objects() rebinds them
    labels = [label for label, _ in error_path_fuzz.positions(*error_path_fuzz.objects())]
    forms = ["{name}({parameter})", "{cls}.{name}({parameter})", "{cls}({parameter})"]
    assert methods.missing(labels, gateways, forms) == []


def test_hostile_objects_in_every_argument_at_every_depth(scale):
    done = run_child([str(TESTS / "error_path_fuzz.py")] + ([] if scale > 1 else ["--quick"]))
    last_case = done.stderr.strip().splitlines()[-1:] or ["(none)"]
    assert done.returncode == 0, f"the child died ({done.returncode}) in: {last_case[0]}"
    outcome = json.loads(done.stdout)
    assert outcome["cases"] > 5000
    assert outcome["failures"] == []


ALIASING = """
import functools, sys
from null_host import PANDAS, NullBase
import gateways
gateways.pd, gateways.ClientStructure = PANDAS, NullBase
S = type("S", (gateways.GatewaySettings,), {"get": NullBase.get, "explode": NullBase.explode,
                                             "set_constraint": NullBase.set_constraint})
sys.setrecursionlimit({limit})

def outcome(wire):
    s = S(None)
    call = wire(s)
    try:
        call()
    except RecursionError:
        return "RecursionError"
    except BaseException as error:
        return type(error).__name__
    return "returned"

def alias(name, target):
    def wire(s):
        setattr(s, name, getattr(s, target))
        return lambda: getattr(s, target)(1)
    return wire

def partial(name, target):
    def wire(s):
        setattr(s, name, functools.partial(getattr(s, target), 1))
        return lambda: getattr(s, target)(1)
    return wire

print(outcome(alias("today_cap_report", "cap_limits")))
print(outcome(alias("mtd_cap_report", "cap_limits")))
def through_python(name, target):
    def wire(s):
        setattr(s, name, lambda crm_id, date: getattr(s, target)(crm_id))
        return lambda: getattr(s, target)(1)
    return wire

print(outcome(through_python("cap_report", "mtd_cap_report")))
print(outcome(partial("get_first_dom", "mtd_cap_report")))
print(outcome(partial("get_get_tomorrow", "mtd_cascade_report")))
print(S(None).cap_limits(1) is not None)  # and it goes on working

# In a thread with a small stack, a limit far above what it holds: the stack runs out first.
import threading
threading.stack_size(512 * 1024)
inside = []
worker = threading.Thread(target=lambda: inside.append(outcome(alias("today_cap_report", "cap_limits"))))
worker.start()
worker.join()
print(inside[0])
"""


# 100,000 is far above what the C stack holds for methods calling each other through C:
# they must stop at the end of the stack, not crash there.
@pytest.mark.parametrize("limit", [200, 1000, 5000, 100_000])
def test_methods_reaching_each_other_hit_the_recursion_limit(limit):
    done = run_child(["-c", textwrap.dedent(ALIASING.replace("{limit}", str(limit)))])
    assert done.returncode == 0, done.stderr[-2000:]
    assert done.stdout.split() == ["RecursionError"] * 5 + ["True", "RecursionError"]


# -- the text of a refusal ---------------------------------------------------------------


class Shown:
    """A value whose text form is hostile and whose repr is whatever the test needs."""

    def __init__(self, text, repr_=None, repr_raises=None):
        self.text, self.repr_, self.repr_raises = text, repr_, repr_raises

    def __format__(self, spec):
        return self.text

    def __repr__(self):
        if self.repr_raises is not None:
            raise self.repr_raises
        return self.repr_


@pytest.fixture
def report(monkeypatch):
    monkeypatch.setattr(gateways, "pd", PANDAS)
    monkeypatch.setattr(gateways, "ClientStructure", NullBase)
    cls = type("S", (gateways.GatewaySettings,), {"get": NullBase.get, "set_constraint": NullBase.set_constraint})
    return cls(None).cap_report


def refusal(report, value):
    with pytest.raises(ValueError) as raised:
        report(value)
    message = str(raised.value)
    assert message.startswith(
        "crm_id cannot go into SQL text: a quoted value must not hold a single quote, a backslash or a NUL, not "
    )
    message.encode("utf-8")  # it can be shown
    return message[message.index(", not ") + 6 :]


# A repr longer than 80 characters is cut to 77 and "...": wherever the cut falls among
# characters of two, three or four bytes, the message stays whole text.
@pytest.mark.parametrize("character", ["\u02bc", "\uff07", "\U0001f600", "é"])
@pytest.mark.parametrize("lead", range(4))
def test_a_cut_falls_between_characters(report, character, lead):
    value = "'" + "x" * lead + character * 100
    shown = refusal(report, value)
    assert shown == repr(value)[:77] + "..."


def test_a_short_value_is_shown_whole(report):
    assert refusal(report, "1' or '1'='1") == repr("1' or '1'='1")


def test_a_repr_that_cannot_be_encoded_is_shown_as_ascii(report):
    value = Shown("1'", repr_="Shown('\ud800')")
    assert refusal(report, value) == ascii("Shown('\ud800')")[1:-1]


@pytest.mark.parametrize("error", [RuntimeError("no repr"), RecursionError(), MemoryError()])
def test_a_repr_that_raises_is_replaced_by_the_type(report, error):
    value = Shown("1'", repr_raises=error)
    assert refusal(report, value).startswith("<Shown object at 0x")


def test_a_repr_that_is_no_text_is_replaced_by_the_type(report):
    assert refusal(report, Shown("1'", repr_=3)).startswith("<Shown object at ")


def test_an_interrupt_in_the_repr_passes_through(report):
    interrupt = KeyboardInterrupt()
    with pytest.raises(KeyboardInterrupt) as raised:
        report(Shown("1'", repr_raises=interrupt))
    assert raised.value is interrupt


def test_a_lone_surrogate_is_refused_before_sending(report):
    with pytest.raises(ValueError, match="must not hold a lone surrogate, not '1\\\\ud800'"):
        report("1\ud800")
