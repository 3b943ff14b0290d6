"""Cap counters and cap models: CapReport, CCTypeCapReport, TrailingCapReport."""

import os
import subprocess
import sys
import threading
import traceback

import pytest
from conftest import HOST, collapse, insert, query, sent
from recording import Host, recorded_pandas

import gateways

INCREMENT = gateways.CapReport.increment_transaction_counts
PLAIN = "update processing.cap set used_dtc = used_dtc+1 where mid_id ={} and step = {}"
LP = "update processing.cap set used_dtc = used_dtc+1 , used_lptc = used_lptc+1 where mid_id ={} and step = {}"
CAP_MODEL = (
    "select b.gateway_id, b.crm_id, a.* from processing.{} a inner join ui_54407332_clients.steps b "
    "on b.mid_id = a.mid_id and b.crm_id = '{}' and b.step = a.step"
)


class TestIncrementStatement:
    @pytest.mark.parametrize("extra", [(), (False,), (None,), (0,), ("",), ([],)])
    def test_without_lp(self, extra):
        host = Host()
        assert INCREMENT(host, 17, "nmi", 2, *extra) is None
        assert sent(host) == [PLAIN.format(17, 2)]

    @pytest.mark.parametrize("is_lp", [True, 1, "yes", [0]])
    def test_with_lp(self, is_lp):
        host = Host()
        INCREMENT(host, 17, "nmi", 2, is_lp=is_lp)
        assert sent(host) == [LP.format(17, 2)]

    @pytest.mark.parametrize(
        "mid_id, step, text",
        [
            ("17", "3", (17, 3)),
            (17.9, 3.2, (17, 3)),
            (-4.5, True, (-4, 1)),
            (" 12 ", "0", (12, 0)),
            (10**20, 1, (10**20, 1)),
        ],
    )
    def test_integer_conversion(self, mid_id, step, text):
        host = Host()
        INCREMENT(host, mid_id, "p", step)
        assert sent(host) == [PLAIN.format(*text)]

    def test_processor_takes_no_part(self):
        host = Host()
        INCREMENT(host, 5, "nmi", 1)
        INCREMENT(host, 5, "1'; drop table processing.cap; --", 1)
        assert host.engine.statements[0] == host.engine.statements[1]

    @pytest.mark.parametrize(
        "mid_id, step, error",
        [
            ("abc", 1, ValueError),
            (1, "4.5", ValueError),
            (None, 1, TypeError),
            ("1; drop table x", 1, ValueError),
            (1, "1 or 1=1", ValueError),
            (float("nan"), 1, ValueError),
            (float("inf"), 1, OverflowError),
        ],
    )
    def test_bad_numbers_send_nothing(self, mid_id, step, error):
        host = Host()
        with pytest.raises(error):
            INCREMENT(host, mid_id, "p", step)
        assert host.engine.statements == []

    def test_failing_truth_test_sends_nothing(self):
        class Undecided:
            def __bool__(self):
                raise ArithmeticError("no truth")

        host = Host()
        with pytest.raises(ArithmeticError, match="no truth"):
            INCREMENT(host, 1, "p", 1, Undecided())
        assert host.engine.statements == []

    def test_errors_carry_the_method_traceback_entry(self):
        import traceback

        with pytest.raises(ValueError) as raised:
            INCREMENT(Host(), "abc", "p", 1)
        names = [entry.name for entry in traceback.extract_tb(raised.value.__traceback__)]
        assert names[-1] == "gateways.CapReport.increment_transaction_counts"


class DriverError(Exception):
    """A driver's error: psycopg2 names its SQLSTATE pgcode, psycopg sqlstate."""

    def __init__(self, code, attribute="pgcode"):
        super().__init__(f"SQLSTATE {code}")
        setattr(self, attribute, code)


class WrappedError(Exception):
    """SQLAlchemy's wrapper: the driver's error under .orig."""

    def __init__(self, orig):
        super().__init__(str(orig))
        self.orig = orig


class FailingEngine:
    """Raises the given errors in turn, then succeeds; records every statement."""

    def __init__(self, *errors):
        self.errors, self.statements = list(errors), []

    def execute(self, sql):
        self.statements.append(sql)
        if self.errors:
            raise self.errors.pop(0)


def conflict(code="40P01", attribute="pgcode"):
    return WrappedError(DriverError(code, attribute))


class TestConflictRetry:
    """A deadlocked or serialization-failed update changed nothing, so it is sent again."""

    @pytest.mark.parametrize(
        "error",
        [
            conflict(),
            conflict("40001"),
            conflict(attribute="sqlstate"),
            conflict("40001", "sqlstate"),
            DriverError("40P01"),
        ],
    )
    def test_a_conflict_is_sent_again(self, error):
        host = Host()
        host.engine = FailingEngine(error, conflict())
        assert INCREMENT(host, 17, "nmi", 2) is None
        assert sent(host) == [PLAIN.format(17, 2)] * 3

    @pytest.mark.parametrize(
        "error",
        [
            conflict("23505"),
            conflict("40P02"),
            WrappedError(None),
            ValueError("x"),
            WrappedError(DriverError(40001)),
            KeyboardInterrupt(),
        ],
    )
    def test_anything_else_passes_at_once(self, error):
        host = Host()
        host.engine = FailingEngine(error)
        with pytest.raises(type(error)) as raised:
            INCREMENT(host, 17, "nmi", 2)
        assert raised.value is error
        assert len(host.engine.statements) == 1

    def test_the_last_conflict_passes_unchanged(self):
        errors = [conflict() for _ in range(10)]
        host = Host()
        host.engine = FailingEngine(*errors)
        with pytest.raises(WrappedError) as raised:
            INCREMENT(host, 17, "nmi", 2)
        assert len(host.engine.statements) == 6
        assert raised.value is errors[5]
        assert "gateways.CapReport.increment_transaction_counts" in [
            entry.name for entry in traceback.extract_tb(raised.value.__traceback__)
        ]

    def test_only_the_counter_update_is_retried(self):
        settings = Host(schema="ui_1_clients", table="gateway_settings")
        settings.engine = FailingEngine(conflict())
        with pytest.raises(WrappedError):
            gateways.GatewaySettings.disable(settings, 1, [2])
        assert len(settings.engine.statements) == 1


class TestAlertLevel:
    @pytest.mark.parametrize(
        "cls, columns",
        [
            (gateways.CapReport, ["mid_id", "step", "processor", "gateway_id", "alert_level"]),
            (gateways.CCTypeCapReport, ["mid_id", "step", "processor", "gateway_id", "alert_level"]),
            (gateways.TrailingCapReport, ["mid_id", "step", "processor"]),
        ],
    )
    def test_asks_get_for_the_columns(self, cls, columns):
        host = Host()
        assert cls.get_alert_level(host) is host.frame
        cls.get_alert_level(host)
        (args, kwargs), (again, _) = host.gets
        assert args == (columns,) and kwargs == {} and type(args[0]) is list
        assert args[0] is not again[0]


class TestCapModelStatement:
    @pytest.mark.parametrize(
        "cls, table",
        [
            (gateways.CapReport, "cap"),
            (gateways.CCTypeCapReport, "cap_cc_type"),
            (gateways.TrailingCapReport, "trailing_cap"),
        ],
    )
    def test_statement_names_the_class_table(self, recorded_pandas, cls, table):
        host = Host(table=table)
        assert cls.get_gateway_cap_model(host, "42") is not None
        cls.get_gateway_cap_model(host, crm_id=42)
        (first, kwargs), (second, _) = recorded_pandas.calls
        assert collapse(first[0]) == CAP_MODEL.format(table, 42) and first[0] == second[0]
        assert first[1] is host.engine and len(first) == 2 and kwargs == {}

    def test_refusal_names_the_argument(self, recorded_pandas):
        with pytest.raises(
            ValueError,
            match=r"^crm_id cannot go into SQL text: a quoted value must not hold a "
            r"single quote, a backslash or a NUL, not \"1' or '1'='1\"$",
        ):
            gateways.CapReport.get_gateway_cap_model(Host(), "1' or '1'='1")
        assert recorded_pandas.calls == []

    def test_value_looking_like_a_placeholder_stays_data(self, recorded_pandas):
        gateways.CapReport.get_gateway_cap_model(Host(), "{table}")
        assert "b.crm_id = '{table}'" in recorded_pandas.statements[0]

    def test_names_checked_anew_once_they_change(self, recorded_pandas):
        """A name that passed once is remembered by identity only: a new object, a str
        subclass or a name rebound to a hostile text is checked again."""

        class Sly(str):
            def __format__(self, spec):
                return "cap; drop table steps"

        host = Host(table="cap")
        for _ in range(3):
            gateways.CapReport.get_gateway_cap_model(host, 1)
        for table in ("cap; drop table steps", Sly("cap"), "".join(["ca", "p x"])):
            host.table = table
            with pytest.raises(ValueError, match=r"^table cannot go into SQL text: a table or schema name"):
                gateways.CapReport.get_gateway_cap_model(host, 1)
        host.table = "".join(["trailing", "_cap"])
        gateways.CapReport.get_gateway_cap_model(host, 1)
        assert len(recorded_pandas.statements) == 4 and " processing.trailing_cap a " in recorded_pandas.statements[-1]


# -- End to end ----------------------------------------------------------------------


@pytest.fixture
def caps(db):
    insert(
        db,
        "processing.cap",
        [
            dict(mid_id=10, step=1, processor="nmi", gateway_id=5, alert_level=1),
            dict(mid_id=10, step=1, processor="stripe", gateway_id=5, alert_level=2),
            dict(mid_id=10, step=2, processor="nmi", gateway_id=6, alert_level=0),
            dict(mid_id=11, step=1, processor="nmi", gateway_id=7, alert_level=3),
        ],
    )
    insert(
        db,
        "processing.cap_cc_type",
        [
            dict(mid_id=10, step=1, processor="nmi", cc_type=cc, gateway_id=5, alert_level=1)
            for cc in ("visa", "master")
        ],
    )
    insert(db, "processing.trailing_cap", [dict(mid_id=10, step=1, processor="nmi", gateway_id=5, trailing_cap=900)])
    insert(
        db,
        "ui_54407332_clients.steps",
        [
            dict(app_step_id=1, crm_id=1, step=1, mid_id=10, gateway_id=50, mid_number="M-10"),
            dict(app_step_id=2, crm_id=2, step=1, mid_id=11, gateway_id=70, mid_number="M-11"),
        ],
    )
    return db


def counters(db):
    return query(db, "select mid_id, step, processor, used_dtc, used_lptc from processing.cap order by 1, 2, 3")


class TestEndToEnd:
    def test_increment_counts_every_processor_row(self, caps):
        report = gateways.CapReport(caps)
        report.increment_transaction_counts(10, "nmi", 1)
        report.increment_transaction_counts("10", "any", 1.0, is_lp=True)
        assert counters(caps) == [
            (10, 1, "nmi", 2, 1),
            (10, 1, "stripe", 2, 1),
            (10, 2, "nmi", 0, 0),
            (11, 1, "nmi", 0, 0),
        ]

    def test_mid_without_cap_rows_changes_nothing(self, caps):
        before = counters(caps)
        assert gateways.CapReport(caps).increment_transaction_counts(99, "nmi", 1) is None
        assert counters(caps) == before

    def test_alert_levels(self, caps):
        frame = gateways.CapReport(caps).get_alert_level()
        assert list(frame.columns) == ["mid_id", "step", "processor", "gateway_id", "alert_level"]
        assert sorted(frame.alert_level) == [0, 1, 2, 3]
        assert list(gateways.TrailingCapReport(caps).get_alert_level().columns) == ["mid_id", "step", "processor"]

    def test_cap_model(self, caps):
        frame = gateways.CapReport(caps).get_gateway_cap_model("1").sort_values("processor")
        assert list(frame.columns[:5]) == ["gateway_id", "crm_id", "mid_id", "step", "processor"]
        assert list(frame.columns).count("gateway_id") == 2
        assert frame.iloc[:, 0].tolist() == [50, 50] and frame.iloc[:, 5].tolist() == [5, 5]
        assert frame.processor.tolist() == ["nmi", "stripe"]
        assert len(gateways.CapReport(caps).get_gateway_cap_model(2)) == 1

    def test_card_type_and_trailing_models(self, caps):
        cc = gateways.CCTypeCapReport(caps).get_gateway_cap_model(1)
        assert sorted(cc.cc_type) == ["master", "visa"]
        trailing = gateways.TrailingCapReport(caps).get_gateway_cap_model(1)
        assert trailing.trailing_cap.tolist() == [900]

    def test_crm_without_steps_gives_empty_frame_with_columns(self, caps):
        frame = gateways.CapReport(caps).get_gateway_cap_model("3")
        assert frame.empty
        assert list(frame.columns) == [
            "gateway_id",
            "crm_id",
            "mid_id",
            "step",
            "processor",
            "gateway_id",
            "alert_level",
            "dtc_cap",
            "lptc_cap",
            "used_dtc",
            "used_lptc",
        ]


class TestNoLostUpdates:
    """Counting from several processes (threads: test_concurrency)."""

    COUNT = 150

    def test_processes(self, caps, database_url):
        script = (
            f"import gateways\nfrom models.db import Database\n"
            f"report = gateways.CapReport(Database({database_url!r}))\n"
            f"for _ in range({self.COUNT}): report.increment_transaction_counts(11, 'nmi', 1, True)\n"
        )
        env = dict(os.environ, PYTHONPATH=os.pathsep.join([str(HOST), os.path.dirname(gateways.__file__)]))
        workers = [subprocess.Popen([sys.executable, "-c", script], env=env, stderr=subprocess.PIPE) for _ in range(3)]
        for worker in workers:
            _, stderr = worker.communicate(timeout=120)
            assert worker.returncode == 0, stderr.decode()
        assert counters(caps)[3] == (11, 1, "nmi", 3 * self.COUNT, 3 * self.COUNT)
