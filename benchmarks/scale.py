"""What each call costs at an installation's size; prints a table, asserts nothing.

A throwaway PostgreSQL (or --database-url: a scratch database whose tables it replaces)
with pg_stat_statements, the reference schema, a synthetic installation generated inside
the database (benchmarks/synthetic.py), then `vacuum analyze`. Every database-backed method
of every class is timed end to end: one warm-up call, then the median of --runs calls;
the database's part is the mean execution time pg_stat_statements gives for the
statements of those calls. The order reports are timed again with the reference indexes
of the order tables dropped. Their plans (EXPLAIN ANALYZE BUFFERS, both ways) go to a file.

    python benchmarks/scale.py [--orders 100k|1M|10M] [--crms 3|30] [--runs N]
                               [--database-url URL] [--setting name=value ...]
"""

import argparse
import contextlib
import statistics
import sys
import time
import warnings
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path[:0] = [str(ROOT / "host"), str(ROOT / "benchmarks")]

import sqlalchemy
import synthetic
from tables import table

import gateways
import pgserver
from models.db import Database

# The host contract is SQLAlchemy 1.4's Engine.execute, which 1.4 marks as removed in 2.0.
warnings.filterwarnings("ignore", category=getattr(sqlalchemy.exc, "RemovedIn20Warning", Warning))


def cases(db, crms):
    """(label, call, reads the orders) for every database-backed method."""
    settings, names, steps = gateways.GatewaySettings(db), gateways.GatewayNames(db), gateways.GatewaySteps(db)
    cap, cc, trailing = gateways.CapReport(db), gateways.CCTypeCapReport(db), gateways.TrailingCapReport(db)
    first = settings.get_first_dom()
    return [
        ("cap_limits(1)", lambda: settings.cap_limits(1), True),
        ("today_cap_report(1)", lambda: settings.today_cap_report(1), True),
        (f"mtd_cap_report(1)  (day {first.today().day})", lambda: settings.mtd_cap_report(1), True),
        ("cap_report(1, first_dom)", lambda: settings.cap_report(1, first), True),
        ("cap_report(1)  (all time)", lambda: settings.cap_report(1), True),
        ("mtd_cascade_report(1)", lambda: settings.mtd_cascade_report(1), True),
        (f"mtd_cascade_report({crms})  (a small CRM)", lambda: settings.mtd_cascade_report(crms), True),
        ("get_exploded()", settings.get_exploded, False),
        (f"disable({crms}, [50])", lambda: settings.disable(crms, [50]), False),
        ("gateway_corp_list(1)", lambda: names.gateway_corp_list(1), False),
        ("gateway_corp_list()", names.gateway_corp_list, False),
        ("update_lists(1)", lambda: names.update_lists(1), False),
        ("next_app_step_id()", steps.next_app_step_id, False),
        ("get_no_cvv_required(1)", lambda: steps.get_no_cvv_required(1), False),
        ("get_mid_numbers_by_mid_id(1, 1)", lambda: steps.get_mid_numbers_by_mid_id(1, 1), False),
        ("get_mid_numbers_by_gateway_id(1, 1)", lambda: steps.get_mid_numbers_by_gateway_id(1, 1), False),
        ("CapReport.get_alert_level()", cap.get_alert_level, False),
        ("CCTypeCapReport.get_alert_level()", cc.get_alert_level, False),
        ("TrailingCapReport.get_alert_level()", trailing.get_alert_level, False),
        ("CapReport.get_gateway_cap_model(1)", lambda: cap.get_gateway_cap_model(1), False),
        ("CCTypeCapReport.get_gateway_cap_model(1)", lambda: cc.get_gateway_cap_model(1), False),
        ("TrailingCapReport.get_gateway_cap_model(1)", lambda: trailing.get_gateway_cap_model(1), False),
        ("increment_transaction_counts(1, 'nmi', 1)", lambda: cap.increment_transaction_counts(1, "nmi", 1), False),
    ]


# -- measuring --------------------------------------------------------------------------


@contextlib.contextmanager
def statements_of(engine):
    """The statements the engine sends inside the block with no parameters: the module's
    (pandas asks the catalog with parameters whether a text names a table)."""
    sent = []

    def record(conn, cursor, statement, parameters, context, executemany):
        if not parameters:
            sent.append(statement)

    sqlalchemy.event.listen(engine, "before_cursor_execute", record)
    try:
        yield sent
    finally:
        sqlalchemy.event.remove(engine, "before_cursor_execute", record)


class Statistics:
    """The database's execution time from pg_stat_statements, when the server has it."""

    def __init__(self, engine):
        self.engine = engine
        try:
            self.run("create extension if not exists pg_stat_statements")
            self.run("select pg_stat_statements_reset()")
            self.available = True
        except sqlalchemy.exc.DBAPIError:
            self.available = False

    def run(self, sql):
        with self.engine.connect().execution_options(isolation_level="AUTOCOMMIT") as connection:
            result = connection.exec_driver_sql(sql)
            return result.fetchall() if result.returns_rows else []

    def reset(self):
        if self.available:
            self.run("select pg_stat_statements_reset()")

    def milliseconds(self):
        """The execution time of the statements since the reset, less this class's own."""
        if not self.available:
            return None
        [(total,)] = self.run(
            "select coalesce(sum(total_exec_time), 0) from pg_stat_statements "
            "where dbid = (select oid from pg_database where datname = current_database()) "
            "and query !~* 'pg_stat_statements'"
        )
        return float(total)


def time_call(call, runs, stats):
    """(median end-to-end ms, mean database ms or None) over `runs` calls after a warm-up."""
    call()
    stats.reset()
    samples = []
    for _ in range(runs):
        start = time.perf_counter()
        call()
        samples.append((time.perf_counter() - start) * 1e3)
    database = stats.milliseconds()
    return statistics.median(samples), None if database is None else database / runs


def explain(db, label, call, out):
    """Writes the plans of the statements one call sends."""
    with statements_of(db.engine) as sent:
        call()
    with db.engine.connect() as connection:
        for statement in sent:
            if not statement.lstrip().lower().startswith("select") or statement.strip() == "select 1":
                continue
            plan = connection.exec_driver_sql(f"explain (analyze, buffers) {statement}").fetchall()
            out.write(f"-- {label}\n{statement.strip()}\n\n" + "\n".join(row[0] for row in plan) + "\n\n")


def vacuum_analyze(db, tables=()):
    with db.engine.connect().execution_options(isolation_level="AUTOCOMMIT") as connection:
        connection.exec_driver_sql(f"vacuum analyze {', '.join(tables)}")


def measure(db, crms, runs, plans=None, without_indexes=True):
    """Rows of (label, ms, database ms, ms without the reference indexes or None)."""
    stats = Statistics(db.engine)
    measured = []
    calls = cases(db, crms)
    for label, call, orders in calls:
        ms, database = time_call(call, runs, stats)
        measured.append([label, ms, database, None])
        if orders and plans is not None:
            explain(db, label + "  (reference indexes)", call, plans)
    if not without_indexes:
        return measured
    with db.engine.begin() as connection:
        indexes = synthetic.reference_indexes(connection)
        synthetic.drop_indexes(connection, indexes)
    try:
        vacuum_analyze(db, synthetic.ORDER_TABLES)
        for row, (label, call, orders) in zip(measured, calls):
            if orders:
                row[3] = time_call(call, runs, stats)[0]
                if plans is not None:
                    explain(db, label + "  (without the reference indexes)", call, plans)
    finally:
        with db.engine.begin() as connection:
            synthetic.create_indexes(connection, indexes)
        vacuum_analyze(db, synthetic.ORDER_TABLES)
    return measured


# -- report -----------------------------------------------------------------------------


def report(measured, orders, crms, runs):
    def ms(value):
        return "" if value is None else f"{value:.1f}"

    rows = [(label, ms(total), ms(database), ms(without)) for label, total, database, without in measured]
    table(
        f"{orders:,} orders, {crms} CRMs of {synthetic.GATEWAYS} gateways, {synthetic.CAP_ROWS:,} rows per cap "
        f"table (median of {runs} calls end to end, ms; database: mean execution time from pg_stat_statements)",
        ["call", "ms", "database ms", "without the reference indexes"],
        rows,
    )


def sizes(db):
    with db.engine.connect() as connection:
        return connection.exec_driver_sql(
            "select c.relname, pg_size_pretty(pg_relation_size(c.oid)) from pg_class c "
            "join pg_namespace n on n.oid = c.relnamespace where n.nspname in ('crm_global', "
            "'augmented_data', 'processing') and c.relkind in ('r', 'i') order by pg_relation_size(c.oid) desc "
            "limit 12"
        ).fetchall()


def run(url, orders, crms, runs, plans_path):
    db = Database(url)
    try:
        start = time.perf_counter()
        synthetic.load(db.engine, orders, crms)
        loaded = time.perf_counter() - start
        vacuum_analyze(db)
        print(
            f"{orders:,} orders loaded in {loaded:.0f} s, vacuumed and analysed in "
            f"{time.perf_counter() - start - loaded:.0f} s"
        )
        plans_path.parent.mkdir(parents=True, exist_ok=True)
        with plans_path.open("w") as plans:
            measured = measure(db, crms, runs, plans)
        report(measured, orders, crms, runs)
        table("Largest tables and indexes", ["relation", "size"], sizes(db))
        print(f"\nplans: {plans_path}")
    finally:
        db.dispose()


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--orders", default="100k", help="100k (default), 1M, 10M or a number")
    parser.add_argument("--crms", type=int, default=3, help="CRMs of 50 gateways (default 3)")
    parser.add_argument("--runs", type=int, help="timed calls per method (default 7; 5 from 5M orders)")
    parser.add_argument("--database-url", help="a scratch database to use; its tables are replaced")
    parser.add_argument(
        "--setting",
        action="append",
        default=[],
        metavar="NAME=VALUE",
        help="a server setting for the throwaway server, such as work_mem=16MB",
    )
    parser.add_argument("--plans", type=Path, help="where the plans go (default build/scale/plans-<size>.txt)")
    args = parser.parse_args(argv)
    orders = synthetic.parse_size(args.orders)
    runs = args.runs or (5 if orders >= 5_000_000 else 7)
    plans = args.plans or ROOT / "build" / "scale" / f"plans-{args.orders}-{args.crms}crms.txt"
    print(f"gateways on Python {sys.version.split()[0]}; {orders:,} orders, {args.crms} CRMs")
    if args.database_url:
        pgserver.load_schema(args.database_url)
        run(args.database_url, orders, args.crms, runs, plans)
        return
    settings = {"shared_preload_libraries": "pg_stat_statements"}
    settings.update(item.split("=", 1) for item in args.setting)
    with pgserver.ThrowawayPostgres(settings=settings) as server:
        run(server.url, orders, args.crms, runs, plans)


if __name__ == "__main__":
    main()
