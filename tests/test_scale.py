"""The scale benchmark's generator and table at a tiny size, and the order reports' figures
on its data against the same figures computed in SQL of their own."""

import io
import sys
from decimal import Decimal

import pytest
from conftest import HOST, query

import gateways

sys.path.insert(0, str(HOST.parent / "benchmarks"))
import scale
import synthetic

ORDERS, CRMS = 4000, 3


@pytest.fixture
def installation(db):
    synthetic.load(db.engine, ORDERS, CRMS)
    scale.vacuum_analyze(db)
    return db


def per_gateway(rows):
    return {gateway: Decimal(total) for gateway, total in rows}


def frame_per_gateway(df, column):
    return {int(g): Decimal(str(v)).quantize(Decimal("0.01")) for g, v in zip(df.gateway_id, df[column]) if v}


class TestGenerator:
    def test_shape(self, installation):
        [(orders, crm1, declined, first, last)] = query(
            installation,
            """
            select count(*), count(*) filter (where crm_id = 1), count(*) filter (where decline_reason is not null),
                   min(time_stamp)::date, max(time_stamp)::date from crm_global.orders""",
        )
        assert orders == ORDERS and crm1 == ORDERS // 2 and declined == ORDERS * 12 // 100
        assert (last - first).days == synthetic.DAYS
        [(cycles, retries, orphans)] = query(
            installation,
            """
            select count(*), count(parent_id),
                   count(*) filter (where not exists (select from crm_global.orders o
                                                      where o.order_id = c.order_id and o.crm_id = c.crm_id))
            from augmented_data.order_cycles c""",
        )
        assert cycles == ORDERS and orphans == 0 and abs(retries / ORDERS - 0.05) < 0.01
        # every retry's parent is an earlier order of its CRM with a dead-MID action
        assert query(
            installation,
            """
            select count(*) from augmented_data.order_cycles c
            where c.parent_id is not null and not exists (
                select from processing.processing_actions a join crm_global.orders p
                  on p.order_id = a.order_id and p.crm_id = a.crm_id
                where a.order_id = c.parent_id and a.crm_id = c.crm_id and a.is_dead_mid_cascade
                  and p.order_id < c.order_id)""",
        ) == [(0,)]
        assert query(
            installation, "select count(distinct crm_id), count(*) from ui_54407332_clients.gateway_settings"
        ) == [(CRMS, CRMS * synthetic.GATEWAYS)]
        assert query(installation, "select count(*) from processing.cap") == [(synthetic.CAP_ROWS,)]

    def test_same_rows_every_load(self, installation):
        checksum = (
            "select md5(string_agg(concat_ws(' ', order_id, gateway_id, order_total, decline_reason), ',' "
            "order by order_id)) from crm_global.orders"
        )
        before = query(installation, checksum)
        synthetic.load(installation.engine, ORDERS, CRMS)
        assert query(installation, checksum) == before

    @pytest.mark.parametrize(
        "text, orders", [("100k", 100_000), ("1M", 1_000_000), ("10M", 10_000_000), ("2500", 2500)]
    )
    def test_sizes(self, text, orders):
        assert synthetic.parse_size(text) == orders

    def test_bad_size(self):
        with pytest.raises(ValueError, match="not a size"):
            synthetic.parse_size("ten")


class TestFigures:
    """The reports on generated data against SQL written independently of their statements."""

    def test_month_and_all_time(self, installation):
        settings = gateways.GatewaySettings(installation)
        first = settings.get_first_dom()
        month = per_gateway(
            query(
                installation,
                f"""
            select gateway_id, sum(order_total) from crm_global.orders
            where crm_id = 1 and decline_reason is null and time_stamp >= '{first}' group by gateway_id""",
            )
        )
        ever = per_gateway(
            query(
                installation,
                """
            select gateway_id, sum(order_total) from crm_global.orders
            where crm_id = 1 and decline_reason is null group by gateway_id""",
            )
        )
        assert frame_per_gateway(settings.mtd_cap_report(1), "processed") == {g: v for g, v in month.items() if v}
        assert frame_per_gateway(settings.cap_report(1), "processed") == ever
        assert len(ever) == synthetic.GATEWAYS

    def test_cascade(self, installation):
        settings = gateways.GatewaySettings(installation)
        first, tomorrow = settings.get_first_dom(), settings.get_get_tomorrow()
        expected = per_gateway(
            query(
                installation,
                f"""
            select o.gateway_id, sum(o.order_total) from crm_global.orders o
            where o.crm_id = 1 and exists (
                select from augmented_data.order_cycles c
                where c.order_id = o.order_id and c.crm_id = 1 and c.decline_reason is null
                  and c.time_stamp between '{first}' and '{tomorrow}'
                  and c.parent_id in (select order_id from processing.processing_actions
                                      where crm_id = 1 and is_dead_mid_cascade))
            group by o.gateway_id""",
            )
        )
        assert frame_per_gateway(settings.mtd_cascade_report(1), "cascade_processed") == expected


class TestBenchmarkTable:
    def test_every_method_timed_and_the_reference_setup_given_back(self, installation, capsys):
        setup = (
            "select (select array(select unnest(reloptions) order by 1) from pg_class "
            "where oid = 'augmented_data.order_cycles'::regclass), "
            "(select setconfig from pg_db_role_setting where setrole = 0 "
            "and setdatabase = (select oid from pg_database where datname = current_database()))"
        )
        with installation.engine.connect() as connection:
            indexes = synthetic.reference_indexes(connection)
        before = query(installation, setup)
        plans = io.StringIO()
        measured = scale.measure(installation, CRMS, runs=1, plans=plans)
        with installation.engine.connect() as connection:
            assert synthetic.reference_indexes(connection) == indexes and scale.ALL_TIME_INDEX in indexes
        assert query(installation, setup) == before
        reports = [row for row, case in zip(measured, scale.cases(installation, CRMS)) if case[2]]
        assert len(measured) == 23 and len(reports) == 7
        assert all(row[3] is not None and row[4] is not None for row in reports)
        # every order report under the reference setup, before it and without the indexes;
        # cap_limits sends two statements
        assert plans.getvalue().count("Execution Time") == 3 * 8
        scale.report(measured, ORDERS, CRMS, 1)
        assert "mtd_cascade_report(1)" in capsys.readouterr().out
