"""Hostile values in every position where a value enters SQL text, for every method.

Each call must either raise before anything reaches the server, or send statements in
which the value stands whole inside its literal, so that the database reads it as data;
no table may change beyond what the call is meant to do.
"""

import ast
import datetime
import decimal
import re

import methods
import pytest
import summary
from conftest import insert, query
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st
from watch import CANARY, checksums, create_canary, statements_sent

import gateways
import pgserver

GS, GN, GST = gateways.GatewaySettings, gateways.GatewayNames, gateways.GatewaySteps
PLAIN_NUMBER = re.compile(r"-?[0-9]+(\.[0-9]+)?\Z")


class FormatRaises:
    def __format__(self, spec):
        raise RuntimeError("no text form")


class Lies:
    """An object whose text form is hostile SQL."""

    def __init__(self, text):
        self.text = text

    def __format__(self, spec):
        return self.text

    def __repr__(self):
        return f"Lies({self.text!r})"


class StrLies(Lies):
    """Hostile through __str__, reached by format(value, '')."""

    __format__ = object.__format__

    def __str__(self):
        return self.text


class TruthRaises:
    def __bool__(self):
        raise ZeroDivisionError("no truth")


HAND_PICKED = [
    "1' or '1'='1",
    "1'; drop table public.canary; --",
    "1; drop table public.canary",
    "' or 1=1 --",
    "--",
    "1 --",
    "\\",
    "1\\' or 1=1 --",
    "a\0b",
    "\0",
    "1\n; drop table public.canary",
    "\n",
    "1 /*",
    "*/",
    "$$",
    "$1",
    "%s",
    "%(x)s",
    "{table}",
    "E'\\x27'",
    "1 union select 1",
    "x" * 100_000,
    "9" * 5000,
    "crm_id",
    "gateway_id",
    "1 or true",
    " or ",
    "select",
    "",
    " ",
    "-1",
    "1.5",
    "0",
    "17",
    "1;",
    "\u2019",
    "\u0661",
    "1)",
    "[1]",
    "2024-05-01' or '1'='1",
    (1, 2),
    {1, 2},
    [[1]],
    [1, [2]],
    ["1'"],
    [None],
    [True],
    ["1", 2],
    [1.5],
    [-3],
    [],
    None,
    True,
    False,
    1.5,
    float("nan"),
    float("inf"),
    -7,
    10**30,
    datetime.date(2024, 5, 1),
    b"1",
    FormatRaises(),
    TruthRaises(),
    Lies("1' or '1'='1"),
    Lies("[1]::int[]); drop table public.canary; --"),
    StrLies("2' or '2'='2"),
    StrLies("7"),
]


# -- positions ------------------------------------------------------------------------------


def text_of(value):
    return format(value, "")


def quoted(value, sent):
    return any(f"'{text_of(value)}'" in statement for statement in sent)


def unquoted_number(value, sent):
    text = text_of(value)
    return PLAIN_NUMBER.match(text) is not None and any(f"= {text} " in s or f"={text} " in s for s in sent)


def integer(value, sent):
    written = re.compile(rf"\b(mid_id|step) ?= ?{int(value)}(?![0-9])")
    return any(written.search(statement) for statement in sent)


def number_list(value, sent):
    ids = value if isinstance(value, list) else [value]
    return any(f"Array{text_of(ids)}::int[]" in statement for statement in sent)


def not_in_sql(value, sent):
    return True


def if_true(literal):
    """For an optional value that is only written when it is true."""
    return lambda value, sent: not value or literal(value, sent)


def schema_name(value, sent):
    return any(f"from ui_{text_of(value)}_clients." in statement for statement in sent)


def column_names(value, sent):
    names = value.split(",") if isinstance(value, str) else value
    return all(any(str(name).strip() in statement for statement in sent) for name in names)


class Position:
    def __init__(self, label, call, literal, model=None, names=False):
        self.label, self.call, self.literal, self.model = label, call, literal, model
        # A plain name that names nothing is still read as a name.
        self.database_errors = ("22", "42804") + (("42P01", "42703") if names else ())

    def __repr__(self):
        return self.label


def enabled_state(db):
    return {
        (g, c): e
        for g, c, e in query(db, "select gateway_id, crm_id, enabled from ui_54407332_clients.gateway_settings")
    }


def counter_state(db):
    return {
        (m, s, p): (d, lp)
        for m, s, p, d, lp in query(db, "select mid_id, step, processor, used_dtc, used_lptc from processing.cap")
    }


def gateway_number(element):
    """The gateway a whole-number element of the disable list names (3 and 3.0 alike)."""
    number = decimal.Decimal(str(element))
    assert number == number.to_integral_value(), f"{element!r} would be rounded by the database"
    return int(number)


class Disabled:
    """What disable(crm_id, gateway_id) is meant to do: switch those gateways of that CRM off."""

    table, read = "ui_54407332_clients.gateway_settings", staticmethod(enabled_state)

    def __init__(self, crm_id, gateway_id):
        self.crm_id, self.gateway_id = crm_id, gateway_id

    def expect(self, before):
        ids = self.gateway_id if isinstance(self.gateway_id, list) else [self.gateway_id]
        off = {gateway_number(e) for e in ast.literal_eval(text_of(ids))}
        crm = int(text_of(self.crm_id))
        return {key: (False if key[1] == crm and key[0] in off else on) for key, on in before.items()}


class Counted:
    """What increment_transaction_counts is meant to do: count every processor's row once."""

    table, read = "processing.cap", staticmethod(counter_state)

    def __init__(self, mid_id, step, is_lp):
        self.mid_id, self.step, self.is_lp = mid_id, step, is_lp

    def expect(self, before):
        key = (int(self.mid_id), int(self.step))
        lp = bool(self.is_lp)
        return {k: ((d + 1, used + lp) if k[:2] == key else (d, used)) for k, (d, used) in before.items()}


POSITIONS = [
    Position("disable: crm_id", lambda db, v: GS(db).disable(v, [1]), quoted, lambda v: Disabled(v, [1])),
    Position("disable: gateway_id", lambda db, v: GS(db).disable(1, v), number_list, lambda v: Disabled(1, v)),
    Position("cap_report: crm_id", lambda db, v: GS(db).cap_report(v), quoted),
    Position("cap_report: s_date", lambda db, v: GS(db).cap_report(1, v), if_true(quoted)),
    Position("mtd_cap_report: crm_id", lambda db, v: GS(db).mtd_cap_report(v), quoted),
    Position("today_cap_report: crm_id", lambda db, v: GS(db).today_cap_report(v), quoted),
    Position("cap_limits: crm_id", lambda db, v: GS(db).cap_limits(v), quoted),
    Position("mtd_cascade_report: crm_id", lambda db, v: GS(db).mtd_cascade_report(v), quoted),
    Position("GatewaySettings: account_id", lambda db, v: GS(db, v).cap_report(1), schema_name, names=True),
    Position("GatewayNames: account_id", lambda db, v: GN(db, v).update_lists(1), schema_name, names=True),
    Position("GatewaySteps: account_id", lambda db, v: GST(db, v).get_no_cvv_required(1), schema_name, names=True),
    Position("gateway_corp_list: crm_id", lambda db, v: GN(db).gateway_corp_list(v), if_true(unquoted_number)),
    Position("update_lists: crm_id", lambda db, v: GN(db).update_lists(v), quoted),
    Position("get_no_cvv_required: crm_id", lambda db, v: GST(db).get_no_cvv_required(v), quoted),
    Position(
        "get_no_cvv_required: columns",
        lambda db, v: GST(db).get_no_cvv_required(1, v),
        if_true(column_names),
        names=True,
    ),
    Position("get_mid_numbers_by_mid_id: mid_id", lambda db, v: GST(db).get_mid_numbers_by_mid_id(v, 1), integer),
    Position("get_mid_numbers_by_mid_id: step", lambda db, v: GST(db).get_mid_numbers_by_mid_id(1, v), integer),
    Position(
        "get_mid_numbers_by_gateway_id: gateway_id",
        lambda db, v: GST(db).get_mid_numbers_by_gateway_id(v, 1),
        unquoted_number,
    ),
    Position(
        "get_mid_numbers_by_gateway_id: crm_id", lambda db, v: GST(db).get_mid_numbers_by_gateway_id(1, v), quoted
    ),
    Position(
        "increment_transaction_counts: mid_id",
        lambda db, v: gateways.CapReport(db).increment_transaction_counts(v, "nmi", 1),
        integer,
        lambda v: Counted(v, 1, False),
    ),
    Position(
        "increment_transaction_counts: step",
        lambda db, v: gateways.CapReport(db).increment_transaction_counts(1, "nmi", v),
        integer,
        lambda v: Counted(1, v, False),
    ),
    Position(
        "increment_transaction_counts: processor",
        lambda db, v: gateways.CapReport(db).increment_transaction_counts(1, v, 1),
        not_in_sql,
        lambda v: Counted(1, 1, False),
    ),
    Position(
        "increment_transaction_counts: is_lp",
        lambda db, v: gateways.CapReport(db).increment_transaction_counts(1, "nmi", 1, v),
        not_in_sql,
        lambda v: Counted(1, 1, v),
    ),
] + [
    Position(
        f"{cls.__name__}.get_gateway_cap_model: crm_id", lambda db, v, cls=cls: cls(db).get_gateway_cap_model(v), quoted
    )
    for cls in (gateways.CapReport, gateways.CCTypeCapReport, gateways.TrailingCapReport)
]


def test_every_parameter_of_every_method_is_a_position():
    forms = ["{name}: {parameter}", "{cls}.{name}: {parameter}", "{cls}: {parameter}"]
    assert methods.missing(map(repr, POSITIONS), gateways, forms) == []


# -- the check -------------------------------------------------------------------------------


def database_error(error, expected):
    """Whether ``error`` is one the database raises reading the value for what it is: a
    data exception (SQLSTATE class 22), a type mismatch of values (42804), or for a name,
    an undefined table or column."""
    code = pgserver.sqlstate(error) or ""
    return code.startswith(expected)


def attempt(db, position, value):
    intent = position.model(value) if position.model else None
    state = intent.read(db) if intent else None
    before = checksums(db)
    with statements_sent(db.engine) as sent:
        try:
            position.call(db, value)
            error = None
        except Exception as raised:  # judged below
            error = raised
    summary.COUNTS["tried"] += 1
    if error is not None and not sent:
        if not isinstance(value, (FormatRaises, TruthRaises)):
            assert isinstance(error, (ValueError, TypeError, OverflowError)), (position, value, error)
        summary.COUNTS["refused"] += 1
    else:
        assert sent, (position, value)
        assert error is None or database_error(error, position.database_errors), (position, value, error)
        assert position.literal(value, sent), (position, value, sent)
        summary.COUNTS["as data"] += 1

    after = checksums(db)
    changed = {table for table in before if before[table] != after[table]}
    if intent and error is None and sent:
        changed.discard(intent.table)
        expected = intent.expect(state)
        unexpected = {k for k, v in intent.read(db).items() if expected.get(k) != v}
        changed |= unexpected
    summary.COUNTS["changed beyond intent"] += len(changed)
    assert not changed, (position, value, changed)
    assert query(db, f"select v from {CANARY}") == [("untouched",)]


@pytest.mark.parametrize("position", POSITIONS, ids=repr)
def test_hand_picked_values(seeded, position):
    for value in HAND_PICKED:
        attempt(seeded, position, value)


SQL_PIECES = [
    "'",
    "''",
    "\\",
    ";",
    "--",
    "/*",
    "*/",
    " or ",
    "1=1",
    "drop table public.canary",
    "$$",
    "%s",
    "\n",
    "\0",
    "union select",
    ")",
    "(",
    ",",
    "::int",
    "e'",
    "1",
    "-",
    ".",
]
TEXTS = st.one_of(
    st.text(alphabet=st.sampled_from(list("0123456789-.' \\\";()=*/,%$[]{}\n\t\0abcxyz")), max_size=30),
    st.lists(st.sampled_from(SQL_PIECES), max_size=8).map("".join),
    st.text(max_size=20),
)
VALUES = st.one_of(
    TEXTS,
    st.integers(),
    st.floats(allow_nan=True),
    st.none(),
    st.booleans(),
    st.lists(st.one_of(st.integers(-(10**6), 10**6), TEXTS), max_size=4),
    st.tuples(st.integers()),
    TEXTS.map(Lies),
)


def test_generated_values(seeded, scale):
    @settings(
        max_examples=150 * scale,
        deadline=None,
        database=None,
        suppress_health_check=[HealthCheck.function_scoped_fixture, HealthCheck.too_slow],
    )
    @given(position=st.sampled_from(POSITIONS), value=VALUES)
    def check(position, value):
        attempt(seeded, position, value)

    check()
