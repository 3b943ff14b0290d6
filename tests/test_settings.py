"""GatewaySettings: disable, calendar helpers, cap reports, cap limits, exploded settings, cascade report."""

import datetime as real_dt
import re
import warnings
from decimal import Decimal
from typing import ClassVar

import numpy
import pandas
import pytest
from clock import clock, offset
from conftest import collapse, insert, query, sent
from hypothesis import given, settings
from hypothesis import strategies as st
from recording import Host, recorded_pandas
from watch import statements_sent

import gateways

GS = gateways.GatewaySettings
D = real_dt.datetime
SETTINGS = "ui_54407332_clients.gateway_settings"


class SettingsHost(Host):
    """A recording host with the class's own methods, as a GatewaySettings object has them."""

    get_first_dom = vars(GS)["get_first_dom"]
    get_get_tomorrow = vars(GS)["get_get_tomorrow"]
    cap_report = GS.cap_report
    mtd_cap_report = GS.mtd_cap_report
    today_cap_report = GS.today_cap_report


def settings_host(**kwargs):
    return SettingsHost(schema="ui_54407332_clients", table="gateway_settings", **kwargs)


# -- disable -------------------------------------------------------------------------


class TestDisableStatement:
    @pytest.mark.parametrize(
        "gateway_id, array",
        [
            (5, "[5]"),
            ([3, 7], "[3, 7]"),
            ("5", "['5']"),
            ([], "[]"),
            (["3", 4], "['3', 4]"),
            (-2, "[-2]"),
            ([1.0], "[1.0]"),
        ],
    )
    def test_statement(self, gateway_id, array):
        host = settings_host()
        assert GS.disable(host, 17, gateway_id) is None
        assert sent(host) == [
            "update ui_54407332_clients.gateway_settings set enabled = false where crm_id = '17' "
            f"and gateway_id = any(Array{array}::int[])"
        ]

    def test_list_subclass_used_as_it_is(self):
        class Ids(list):
            pass

        host = settings_host()
        GS.disable(host, "9", Ids([1, 2]))
        assert sent(host)[0].endswith("any(Array[1, 2]::int[])")

    @settings(max_examples=400, deadline=None)
    @given(
        st.lists(
            st.one_of(
                st.integers(),
                st.booleans(),
                st.integers(-(10**30), 10**30).map(str),
                st.sampled_from(["3.0", "-0", "007", "3.00", " 3", "+3", "3.5", "٣", "1e3", "", "3_0"]),
                st.floats(allow_nan=False, allow_infinity=False).filter(lambda f: f.is_integer()),
            )
        )
    )
    def test_list_text_is_its_repr(self, ids):
        """The list's text is exactly what repr gives it, whichever way it is made."""
        host = settings_host()
        whole = all(re.fullmatch(r"-?[0-9]+(\.0+)?", i if isinstance(i, str) else repr(i)) for i in ids)
        if whole:
            GS.disable(host, 17, ids)
            assert sent(host)[0].endswith(f"any(Array{ids!r}::int[])")
        else:
            with pytest.raises(ValueError, match=r"^gateway_id cannot go into SQL text"):
                GS.disable(host, 17, ids)
            assert host.engine.statements == []


# -- calendar --------------------------------------------------------------------------


class TestCalendar:
    @pytest.mark.parametrize(
        "now, first, tomorrow",
        [
            (D(2024, 5, 1, 0, 0), real_dt.date(2024, 5, 1), real_dt.date(2024, 5, 2)),
            (D(2024, 5, 31, 23, 59), real_dt.date(2024, 5, 1), real_dt.date(2024, 6, 1)),
            (D(2023, 12, 31, 12), real_dt.date(2023, 12, 1), real_dt.date(2024, 1, 1)),
            (D(2024, 2, 28, 8), real_dt.date(2024, 2, 1), real_dt.date(2024, 2, 29)),
        ],
    )
    def test_dates(self, clock, now, first, tomorrow):
        clock(now)
        obj = object.__new__(GS)
        assert GS.get_first_dom() == obj.get_first_dom() == first
        assert GS.get_get_tomorrow() == obj.get_get_tomorrow() == tomorrow
        assert type(GS.get_first_dom()) is real_dt.date

    def test_static_and_argument_free(self):
        assert isinstance(vars(GS)["get_first_dom"], staticmethod)
        assert isinstance(vars(GS)["get_get_tomorrow"], staticmethod)
        with pytest.raises(
            TypeError, match=r"GatewaySettings.get_first_dom\(\) takes 0 positional arguments but 1 was given"
        ):
            GS.get_first_dom(1)

    def test_real_clock(self):
        before = real_dt.date.today()
        first, tomorrow = GS.get_first_dom(), GS.get_get_tomorrow()
        after = real_dt.date.today()  # the day may turn during the test
        assert first in {before.replace(day=1), after.replace(day=1)}
        assert tomorrow in {before + real_dt.timedelta(days=1), after + real_dt.timedelta(days=1)}


# -- cap reports: statements and call orders ---------------------------------------------


def cap_report_text(crm_id, date_clause=""):
    return collapse(f"""
        select a.crm_id, a.gateway_id, a.daily_cap,a.monthly_cap, processed from ui_54407332_clients.gateway_settings a
        left join( select crm_id, gateway_id, sum(order_total)::numeric processed from crm_global.orders
        where crm_id = '{crm_id}' {date_clause} and decline_reason is null group by crm_id, gateway_id
        ) b on a.crm_id = b.crm_id and a.gateway_id = b.gateway_id where a.crm_id = '{crm_id}'""")


class TestCapReportStatement:
    @pytest.mark.parametrize("s_date", [False, None, "", 0])
    def test_without_date(self, recorded_pandas, s_date):
        host = settings_host()
        GS.cap_report(host, 17, s_date)
        (statement, engine), kwargs = recorded_pandas.calls[0]
        assert collapse(statement) == cap_report_text(17) and engine is host.engine and kwargs == {}

    @pytest.mark.parametrize(
        "s_date, text",
        [
            (real_dt.date(2024, 5, 1), "2024-05-01"),
            (D(2024, 5, 1, 6, 30), "2024-05-01 06:30:00"),
            (D(2024, 5, 1, 6, 30, 0, 5), "2024-05-01 06:30:00.000005"),
            ("2024-05-01 10:00", "2024-05-01 10:00"),
        ],
    )
    def test_with_date(self, recorded_pandas, s_date, text):
        GS.cap_report(settings_host(), "17", s_date=s_date)
        statement = recorded_pandas.statements[0]
        assert collapse(statement) == cap_report_text(17, f"and time_stamp >= '{text}'")
        assert f"and time_stamp >=  '{text}'" in statement

    def test_missing_values_filled_with_zero(self, recorded_pandas):
        recorded_pandas.frame = pandas.DataFrame(
            {"crm_id": [1], "gateway_id": [2], "daily_cap": [None], "monthly_cap": [float("nan")], "processed": [None]}
        )
        frame = GS.cap_report(settings_host(), 1)
        assert frame.iloc[0].tolist() == [1, 2, 0, 0, 0]


class CallLog(SettingsHost):
    """A settings host whose report methods log their use."""

    def __init__(self, log):
        super().__init__(schema="ui_54407332_clients", table="gateway_settings")
        self.log = log

    def __getattribute__(self, name):
        if name in ("cap_report", "get_first_dom", "get_get_tomorrow", "today_cap_report", "mtd_cap_report"):
            object.__getattribute__(self, "log").append(f"look up {name}")
        return object.__getattribute__(self, name)


class TestReportCalls:
    def test_mtd_looks_up_cap_report_before_the_date(self, clock):
        clock(D(2024, 5, 20, 10))
        log = []

        class Obj(CallLog):
            def cap_report(self, *args, **kwargs):
                log.append(("cap_report", args, kwargs))
                return "frame"

            @staticmethod
            def get_first_dom():
                log.append("first_dom called")
                return real_dt.date(2024, 5, 1)

        assert GS.mtd_cap_report(Obj(log), "7") == "frame"
        assert log == [
            "look up cap_report",
            "look up get_first_dom",
            "first_dom called",
            ("cap_report", ("7", real_dt.date(2024, 5, 1)), {}),
        ]

    @pytest.mark.parametrize(
        "now, hours, day",
        [
            (D(2024, 5, 20, 3), 5, real_dt.date(2024, 5, 19)),
            (D(2024, 5, 20, 3), 0, real_dt.date(2024, 5, 20)),
            (D(2024, 5, 20, 22), -3, real_dt.date(2024, 5, 21)),
            (D(2024, 6, 1, 0, 30), 1, real_dt.date(2024, 5, 31)),
            (D(2024, 5, 20, 3), 2.5, real_dt.date(2024, 5, 20)),
        ],
    )
    def test_today_applies_the_offset(self, clock, offset, now, hours, day):
        clock(now)
        offset(hours)
        log = []

        class Obj(CallLog):
            def cap_report(self, *args, **kwargs):
                log.append((args, kwargs))

        GS.today_cap_report(Obj([]), 3)
        assert log == [((3, day), {})]

    def test_offset_read_at_every_call(self, clock, offset):
        clock(D(2024, 5, 20, 3))
        seen = []

        class Obj(CallLog):
            def cap_report(self, crm_id, s_date):
                seen.append(s_date)

        offset(0)
        GS.today_cap_report(Obj([]), 1)
        offset(4)
        GS.today_cap_report(Obj([]), 1)
        assert seen == [real_dt.date(2024, 5, 20), real_dt.date(2024, 5, 19)]

    def test_offset_not_a_number(self, offset, recorded_pandas):
        offset("5")
        with pytest.raises(TypeError, match="unsupported type for timedelta hours component: str"):
            GS.today_cap_report(CallLog([]), 1)
        assert recorded_pandas.calls == []

    def test_cap_limits_runs_today_then_month(self):
        log = []
        frame = pandas.DataFrame(
            {"crm_id": [1], "gateway_id": [1], "daily_cap": [0], "monthly_cap": [10.0], "processed": [1.0]}
        )

        class Obj(CallLog):
            def today_cap_report(self, crm_id):
                log.append("today ran")
                return frame

            def mtd_cap_report(self, crm_id):
                log.append("month ran")
                return frame

        GS.cap_limits(Obj(log), 1)
        assert log == ["look up today_cap_report", "today ran", "look up mtd_cap_report", "month ran"]


def reports(today, month):
    class Obj(Host):
        def today_cap_report(self, crm_id):
            return pandas.DataFrame(today, columns=["crm_id", "gateway_id", "daily_cap", "monthly_cap", "processed"])

        def mtd_cap_report(self, crm_id):
            return pandas.DataFrame(month, columns=["crm_id", "gateway_id", "daily_cap", "monthly_cap", "processed"])

    return Obj()


class TestCapLimitsShaping:
    def test_available_and_defaults(self):
        obj = reports(
            today=[(1, 1, 5, 1000.0, 10.0), (1, 2, 0, None, 0.0), (1, 3, 0, 300.0, 0.0)],
            month=[(1, 1, 5, 1000.0, 250.0), (1, 2, 0, None, 40.0), (1, 9, 0, 1.0, 99.0)],
        )
        frame = GS.cap_limits(obj, 1)
        assert list(frame.columns) == ["crm_id", "gateway_id", "daily_cap", "monthly_cap", "processed", "available"]
        assert frame.values.tolist() == [
            [1, 1, 5, 1000.0, 10.0, 750.0],
            [1, 2, 0, 20000.0, 0.0, 19960.0],
            [1, 3, 0, 300.0, 0.0, 300.0],
        ]
        assert list(frame.index) == [0, 1, 2]

    def test_empty(self):
        frame = GS.cap_limits(reports([], []), 1)
        assert frame.empty and list(frame.columns)[-1] == "available"


# -- cascade report: statement ------------------------------------------------------------


class TestCascadeStatement:
    def test_statement_and_comment_line(self, clock, recorded_pandas):
        clock(D(2024, 5, 31, 12))
        recorded_pandas.frame = pandas.DataFrame(columns=["crm_id", "gateway_id", "cascade_cap", "cascade_processed"])
        host = settings_host()
        GS.mtd_cascade_report(host, 4)
        (statement, engine), _ = recorded_pandas.calls[0]
        assert engine is host.engine
        comment = [line for line in statement.splitlines() if line.strip().startswith("--")]
        assert [line.strip() for line in comment] == [
            "--inner join crm_global.orders  d on d.order_id =  b.parent_id  and d.gateway_id !=  c.gateway_id "
            "and c.crm_id =  b.crm_id"
        ]
        code = collapse("\n".join(line for line in statement.splitlines() if not line.strip().startswith("--")))
        assert code == collapse("""
            select a.crm_id, a.gateway_id, a.cascade_cap, b.cascade_processed
            from ui_54407332_clients.gateway_settings a
            left join( select c.crm_id, c.gateway_id, sum(c.order_total) cascade_processed from
            (select distinct(order_id) from processing.processing_actions where is_dead_mid_cascade AND crm_id='4') a
            inner join augmented_data.order_cycles b on b.parent_id = a.order_id and b.crm_id = '4'
            and b.decline_reason is null
            and b.time_stamp between '2024-05-01' AND '2024-06-01'
            inner join crm_global.orders c on c.order_id = b.order_id and c.crm_id = b.crm_id
            group by c.crm_id, c.gateway_id ) b on a.crm_id = b.crm_id and a.gateway_id = b.gateway_id
            where a.crm_id = '4'""")

    def test_dates_asked_in_order_first_then_tomorrow(self, recorded_pandas):
        recorded_pandas.frame = pandas.DataFrame(columns=["crm_id", "gateway_id", "cascade_cap", "cascade_processed"])
        log = []
        GS.mtd_cascade_report(CallLog(log), 1)
        assert log == ["look up get_first_dom", "look up get_get_tomorrow"]


# -- end to end -----------------------------------------------------------------------------


@pytest.fixture
def may_crm(db):
    """CRM 1 on 2024-05-15: caps against May's orders (worked out in each test)."""
    insert(
        db,
        SETTINGS,
        [
            dict(
                gateway_id=1,
                crm_id=1,
                daily_cap=100,
                monthly_cap=1000,
                cascade_cap=5000,
                cascade_to=2,
                days=[1, 2],
                days_index=[0, 1],
                min_hour=0,
                max_hour=23,
            ),
            dict(
                gateway_id=2,
                crm_id=1,
                daily_cap=None,
                monthly_cap=None,
                cascade_cap=None,
                cascade_to=None,
                days=[3],
                days_index=[2],
                min_hour=1,
                max_hour=22,
            ),
            dict(
                gateway_id=3,
                crm_id=1,
                daily_cap=50,
                monthly_cap=1000,
                cascade_cap=None,
                cascade_to=1,
                days=[],
                days_index=[],
                min_hour=2,
                max_hour=21,
            ),
            dict(
                gateway_id=1,
                crm_id=2,
                daily_cap=10,
                monthly_cap=999,
                cascade_cap=1,
                cascade_to=None,
                days=[5],
                days_index=[4],
                min_hour=3,
                max_hour=20,
            ),
        ],
    )
    orders = [
        (1, 1, 1, 100, D(2024, 5, 15, 9), None),  # today
        (2, 1, 1, 150, D(2024, 5, 2, 12), None),  # this month
        (3, 1, 1, 500, D(2024, 5, 10), "do not honor"),  # declined
        (4, 2, 1, 300, D(2024, 5, 15, 9), None),  # another CRM
        (5, 1, 1, 400, D(2024, 4, 30, 23, 59), None),  # last month
        (6, 1, 3, 1190, D(2024, 5, 3), None),
        (7, 1, 3, 10, D(2024, 7, 1), None),  # in the future: counts
        # cascade: children of order 1000 (dead-MID action) and 1001 (none)
        (2000, 1, 1, 300, D(2024, 5, 10), None),
        (2001, 1, 1, 999, D(2024, 5, 10), None),
        (2002, 1, 1, 77, D(2024, 4, 28), None),
        (2003, 1, 2, 55, D(2024, 5, 10), None),
        (2004, 1, 3, 20, D(2024, 5, 16), None),
        (2005, 1, 3, 33, D(2024, 5, 16, 8), None),
    ]
    insert(
        db,
        "crm_global.orders",
        [
            dict(order_id=o, crm_id=c, gateway_id=g, order_total=t, time_stamp=ts, decline_reason=r)
            for o, c, g, t, ts, r in orders
        ],
    )
    insert(
        db,
        "processing.processing_actions",
        [
            dict(order_id=1000, crm_id=1, is_dead_mid_cascade=True, action="cascade"),
            dict(order_id=1000, crm_id=1, is_dead_mid_cascade=True, action="cascade again"),
            dict(order_id=1001, crm_id=1, is_dead_mid_cascade=False, action="retry"),
            dict(order_id=1002, crm_id=2, is_dead_mid_cascade=True, action="cascade"),
        ],
    )
    cycles = [
        (2000, 1000, None, D(2024, 5, 10)),  # counts
        (2001, 1000, "declined", D(2024, 5, 10)),  # declined cycle
        (2002, 1000, None, D(2024, 4, 28)),  # before the first of the month
        (2003, 1001, None, D(2024, 5, 10)),  # parent without a dead-MID action
        (2004, 1000, None, D(2024, 5, 16)),  # on the upper bound: counts
        (2005, 1000, None, D(2024, 5, 16, 8)),  # after it
    ]
    insert(
        db,
        "augmented_data.order_cycles",
        [dict(order_id=o, parent_id=p, crm_id=1, decline_reason=r, time_stamp=t) for o, p, r, t in cycles],
    )
    return db


def by_gateway(frame):
    return {row.gateway_id: row for row in frame.itertuples()}


class TestReportsEndToEnd:
    def test_cap_report_all_time(self, may_crm):
        frame = GatewayReports(may_crm).cap_report("1")
        assert list(frame.columns) == ["crm_id", "gateway_id", "daily_cap", "monthly_cap", "processed"]
        rows = by_gateway(frame)
        assert rows[1].processed == 100 + 150 + 400 + 300 + 999 + 77
        assert (rows[2].daily_cap, rows[2].monthly_cap, rows[2].processed) == (0, 0, 55)
        assert rows[3].processed == 1190 + 10 + 20 + 33
        assert frame.notna().all().all()

    def test_month_and_today(self, may_crm, clock, offset):
        clock(D(2024, 5, 15, 10))
        offset(0)
        month = by_gateway(GatewayReports(may_crm).mtd_cap_report(1))
        assert month[1].processed == 100 + 150 + 300 + 999 and month[3].processed == 1190 + 10 + 20 + 33
        today = by_gateway(GatewayReports(may_crm).today_cap_report(1))
        assert today[1].processed == 100 and today[3].processed == 10 + 20 + 33 and today[2].processed == 0

    def test_cap_limits(self, may_crm, clock, offset):
        clock(D(2024, 5, 15, 10))
        offset(0)
        frame = GatewayReports(may_crm).cap_limits(1).sort_values("gateway_id")
        assert frame[["gateway_id", "monthly_cap", "processed", "available"]].values.tolist() == [
            [1, 1000, 100, 1000 - 1549],
            [2, 0, 0, -55],
            [3, 1000, 63, 1000 - 1253],
        ]

    def test_month_boundary_with_positive_offset(self, db, clock, offset):
        insert(db, SETTINGS, [dict(gateway_id=1, crm_id=1, monthly_cap=1000)])
        insert(
            db,
            "crm_global.orders",
            [
                dict(order_id=1, crm_id=1, gateway_id=1, order_total=40, time_stamp=D(2024, 5, 31, 12)),
                dict(order_id=2, crm_id=1, gateway_id=1, order_total=2, time_stamp=D(2024, 6, 1, 0, 30)),
            ],
        )
        clock(D(2024, 6, 1, 2))
        offset(5)
        report = GatewayReports(db)
        assert report.today_cap_report(1).processed.tolist() == [42]  # from 31 May
        assert report.mtd_cap_report(1).processed.tolist() == [2]  # from 1 June
        assert report.cap_limits(1)[["processed", "available"]].values.tolist() == [[42, 998]]

    def test_crm_without_settings(self, may_crm, clock):
        clock(D(2024, 5, 15, 10))
        report = GatewayReports(may_crm)
        assert report.cap_report(9).empty
        frame = report.cap_limits(9)
        assert frame.empty and list(frame.columns) == [
            "crm_id",
            "gateway_id",
            "daily_cap",
            "monthly_cap",
            "processed",
            "available",
        ]
        frame = report.mtd_cascade_report(9)
        assert frame.empty and list(frame.columns) == [
            "crm_id",
            "gateway_id",
            "cascade_cap",
            "cascade_processed",
            "available",
        ]

    def test_cascade_report(self, may_crm, clock):
        clock(D(2024, 5, 15, 10))
        frame = GatewayReports(may_crm).mtd_cascade_report("1").sort_values("gateway_id")
        assert frame.values.tolist() == [
            [1, 1, 5000, 300, 4700],
            [1, 2, 20000.0, 0, 20000.0],
            [1, 3, 20000.0, 20, 19980.0],
        ]

    def test_cascade_over_the_cap_goes_negative(self, may_crm, clock):
        clock(D(2024, 5, 15, 10))
        insert(
            may_crm,
            "crm_global.orders",
            [dict(order_id=3000, crm_id=1, gateway_id=1, order_total=5900, time_stamp=D(2024, 5, 11))],
        )
        insert(
            may_crm,
            "augmented_data.order_cycles",
            [dict(order_id=3000, parent_id=1000, crm_id=1, time_stamp=D(2024, 5, 11))],
        )
        assert by_gateway(GatewayReports(may_crm).mtd_cascade_report(1))[1].available == -1200

    def test_get_exploded(self, may_crm):
        frame = GatewayReports(may_crm).get_exploded()
        assert frame.index.name == "gateway_id"
        assert "min_hour" not in frame.columns and "max_hour" not in frame.columns
        rows = list(zip(frame.index, frame.crm_id, frame.days, frame.days_index, frame.cascade_to))
        assert rows[:4] == [(1, 1, 1, 0, 2), (1, 1, 2, 1, 2), (1, 2, 5, 4, 0), (2, 1, 3, 2, 0)]
        assert rows[4][0] == 3 and pandas.isna(rows[4][2]) and len(rows) == 5


class GatewayReports(GS):
    """GatewaySettings as the host uses it."""


def enabled(db):
    return query(db, f"select crm_id, gateway_id, enabled from {SETTINGS} order by 1, 2")


class TestDisableEndToEnd:
    @pytest.mark.parametrize(
        "gateway_id, off", [(2, {2}), ([1, 3], {1, 3}), ("3", {3}), ([], set()), (["1", 2], {1, 2}), (7, set())]
    )
    def test_switches_off_only_the_crm_gateways(self, may_crm, gateway_id, off):
        assert GS(may_crm).disable(1, gateway_id) is None
        assert enabled(may_crm) == [(1, 1, 1 not in off), (1, 2, 2 not in off), (1, 3, 3 not in off), (2, 1, True)]

    def test_already_disabled_is_no_error(self, may_crm):
        GS(may_crm).disable(1, 1)
        GS(may_crm).disable("1", [1])
        assert enabled(may_crm)[0] == (1, 1, False)

    class Float(float):
        pass

    # The array is cast to int[]: the database would round 2.5 to 3 and 1.5 to 2, switching
    # off a gateway nobody named. Such an id is refused before anything is sent.
    @pytest.mark.parametrize(
        "gateway_id", [[2.5], 1.5, numpy.float64(2.5), Float(1.5), ["2", "1.5"], [1, 2.01], [-0.5]]
    )
    def test_a_fraction_is_refused_before_sending(self, may_crm, gateway_id):
        with (
            statements_sent(may_crm.engine) as sent,
            pytest.raises(ValueError, match=r"^gateway_id cannot go into SQL"),
        ):
            GS(may_crm).disable(1, gateway_id)
        assert sent == []
        assert all(row[2] for row in enabled(may_crm))

    # A whole number from a float column keeps naming its gateway.
    @pytest.mark.parametrize(
        "gateway_id, off",
        [([3.0], {3}), (3.0, {3}), (numpy.float64(3.0), {3}), (Float(3.0), {3}), ([3.000, 1], {1, 3})],
    )
    def test_a_zero_fraction_names_the_gateway(self, may_crm, gateway_id, off):
        if isinstance(gateway_id, numpy.generic) and repr(gateway_id) != str(gateway_id):
            # numpy 2 shows its scalars as np.float64(3.0): that text is no number, and
            # the list text holding it is refused before anything is sent
            with statements_sent(may_crm.engine) as sent, pytest.raises(ValueError, match=r"^gateway_id cannot go"):
                GS(may_crm).disable(1, gateway_id)
            assert sent == []
            return
        GS(may_crm).disable(1, gateway_id)
        assert enabled(may_crm) == [(1, 1, 1 not in off), (1, 2, True), (1, 3, False), (2, 1, True)]

    def test_quoted_zero_fraction_is_the_databases_to_refuse(self, may_crm):
        with pytest.raises(Exception, match="invalid input syntax for type integer"):
            GS(may_crm).disable(1, ["2", "3.0"])
        assert all(row[2] for row in enabled(may_crm))
