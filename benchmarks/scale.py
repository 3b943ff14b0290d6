"""What each call costs at an installation's size; prints a table, asserts nothing.

A throwaway PostgreSQL (or --database-url: a scratch database whose tables it replaces)
with pg_stat_statements, the reference schema, a synthetic installation generated inside
the database (benchmarks/synthetic.py), then `vacuum analyze`. Every database-backed method
of every class is timed end to end: one warm-up call, then the median of --runs calls;
the database's part is the mean execution time pg_stat_statements gives for the
statements of those calls. Timing starts once every page of the order tables is in the
visibility map. The order reports are timed in alternating rounds against the reference
setup as it was before the all-time index, the serial cycles and the server guidance (jit
off, work_mem 8MB), each side keeping its best, and with the reference indexes of the
order tables dropped. Their plans (EXPLAIN ANALYZE BUFFERS) go to a file. Then a hot
standby is started and counting is timed while reports run in a loop on the primary, on
the standby, or nowhere (--no-standby skips it).

    python benchmarks/scale.py [--orders 100k|1M|10M] [--crms 3|30] [--runs N]
                               [--database-url URL [--standby-url URL]] [--setting name=value ...]
                               [--no-standby] [--seconds S]
"""

import argparse
import contextlib
import multiprocessing
import os
import random
import statistics
import sys
import threading
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

# The reference schema's server guidance, and what a server has by default.
GUIDANCE = {"jit": "off", "work_mem": "8MB"}
DEFAULTS = {"jit": "on", "work_mem": "4MB"}
# What the reference setup added for the all-time report, and for the cascade report.
ALL_TIME_INDEX = "crm_global.orders_approved_crm_gateway"
SERIAL_CYCLES = "alter table augmented_data.order_cycles set (parallel_workers = 0)"
BEFORE = "without the all-time index, the cycles read in parallel, jit on, work_mem 4MB"


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


def all_visible(db):
    """{order table: the share of its pages in the visibility map}, as vacuum counted."""
    tables = ", ".join(f"'{name}'::regclass" for name in synthetic.ORDER_TABLES)
    with db.engine.connect() as connection:
        return dict(
            connection.exec_driver_sql(
                "select c.oid::regclass::text, c.relallvisible::float / greatest(c.relpages, 1) from pg_class c "
                f"where c.oid in ({tables})"
            ).fetchall()
        )


def settle(db, tries=3):
    """Vacuums the order tables until every page is in the visibility map, so that the
    index-only scans fetch no heap page; returns the shares."""
    for _ in range(tries):
        vacuum_analyze(db, synthetic.ORDER_TABLES)
        shares = all_visible(db)
        if min(shares.values()) >= 0.999:
            break
    return shares


def database_setting_values(db, names):
    """{name: the value the database sets for its sessions, or None}."""
    with db.engine.connect() as connection:
        rows = connection.exec_driver_sql(
            "select unnest(setconfig) from pg_db_role_setting where setrole = 0 "
            "and setdatabase = (select oid from pg_database where datname = current_database())"
        ).fetchall()
    given = dict(row[0].split("=", 1) for row in rows)
    return {name: given.get(name) for name in names}


def database_settings(db, settings):
    """Sets (a value) or resets (None) settings for the database's new sessions, and drops
    the engine's pooled connections so that the next calls have them."""
    with db.engine.connect().execution_options(isolation_level="AUTOCOMMIT") as connection:
        [(name,)] = connection.exec_driver_sql("select current_database()").fetchall()
        for setting, value in settings.items():
            change = f"reset {setting}" if value is None else f"set {setting} = '{value}'"
            connection.exec_driver_sql(f'alter database "{name}" {change}')
    db.engine.dispose()


@contextlib.contextmanager
def previous_setup(db):
    """The reference setup as it was before the all-time index, the serial cycles and the
    server guidance; the current one is given back on leaving."""
    current = database_setting_values(db, DEFAULTS)
    with db.engine.begin() as connection:
        added = {name: sql for name, sql in synthetic.reference_indexes(connection).items() if name == ALL_TIME_INDEX}
        synthetic.drop_indexes(connection, added)
        connection.exec_driver_sql("alter table augmented_data.order_cycles reset (parallel_workers)")
    database_settings(db, DEFAULTS)
    try:
        yield
    finally:
        database_settings(db, current)
        with db.engine.begin() as connection:
            synthetic.create_indexes(connection, added)
            connection.exec_driver_sql(SERIAL_CYCLES)
        settle(db)


def measure(db, crms, runs, plans=None, without_indexes=True, rounds=3):
    """Rows of (label, ms, database ms, ms before, ms without the reference indexes), the
    last two None for the methods that do not read the orders. The order reports are
    timed in ``rounds`` rounds of the current setup and the one before, alternating, and
    each side keeps its best: a first pass after a load or a change of setup runs slower."""
    stats = Statistics(db.engine)
    measured = []
    calls = cases(db, crms)
    for label, call, orders in calls:
        ms, database = time_call(call, runs, stats)
        measured.append([label, ms, database, None, None])
        if orders and plans is not None:
            explain(db, f"{label}  (reference setup)", call, plans)
    if not without_indexes:
        return measured
    reports = [(row, label, call) for row, (label, call, orders) in zip(measured, calls) if orders]
    for round_ in range(rounds):
        with previous_setup(db):
            for row, label, call in reports:
                ms = time_call(call, runs, stats)[0]
                row[3] = ms if row[3] is None else min(row[3], ms)
                if plans is not None and round_ == 0:
                    explain(db, f"{label}  (before: {BEFORE})", call, plans)
        for row, _, call in reports:
            ms, database = time_call(call, runs, stats)
            if ms < row[1]:
                row[1:3] = ms, database
    with db.engine.begin() as connection:
        indexes = synthetic.reference_indexes(connection)
        synthetic.drop_indexes(connection, indexes)
    try:
        settle(db)
        for row, (label, call, orders) in zip(measured, calls):
            if orders:
                row[4] = time_call(call, runs, stats)[0]
                if plans is not None:
                    explain(db, label + "  (without the reference indexes)", call, plans)
    finally:
        with db.engine.begin() as connection:
            synthetic.create_indexes(connection, indexes)
        settle(db)
    return measured


# -- counting while reports run elsewhere --------------------------------------------------

COUNTERS = 4  # threads counting, as a host's workers would
REPORTS = ("cap_limits", "mtd_cascade_report")  # each looped by a process of its own


def report_loop(url, method, stop, done, failed):
    """Calls GatewaySettings(db).<method>(1) until ``stop`` is set (a process of its own,
    as a host's reporting would be)."""
    warnings.filterwarnings("ignore", category=getattr(sqlalchemy.exc, "RemovedIn20Warning", Warning))
    db = Database(url)
    call = getattr(gateways.GatewaySettings(db), method)
    try:
        while not stop.is_set():
            try:
                call(1)
                with done.get_lock():
                    done.value += 1
            except Exception:  # a query the standby's replay cancelled
                with failed.get_lock():
                    failed.value += 1
    finally:
        db.dispose()


def count_while_reporting(primary, reports_url, spread, seconds):
    """(increments per second on the primary, reports per second, reports failed) with
    COUNTERS threads counting on one hot MID and step, or on MIDs spread over the cap
    table, while REPORTS loop at ``reports_url`` (None: no reports)."""
    context = multiprocessing.get_context("spawn")
    stop, done, failed = context.Event(), context.Value("l", 0), context.Value("l", 0)
    loops = [
        context.Process(target=report_loop, args=(reports_url, method, stop, done, failed))
        for method in (REPORTS if reports_url else ())
    ]
    for loop in loops:
        loop.start()
    counted = [0] * COUNTERS
    finish = threading.Event()

    def count(index):
        cap = gateways.CapReport(primary)
        chooser = random.Random(index)
        mids = synthetic.CAP_ROWS // 12
        while not finish.is_set():
            mid, step = (chooser.randint(1, mids), chooser.randint(1, 4)) if spread else (1, 1)
            cap.increment_transaction_counts(mid, "nmi", step)
            counted[index] += 1

    time.sleep(2 if loops else 0)  # the report processes import and connect first
    reports_before = done.value
    threads = [threading.Thread(target=count, args=(index,)) for index in range(COUNTERS)]
    start = time.perf_counter()
    for thread in threads:
        thread.start()
    time.sleep(seconds)
    finish.set()
    for thread in threads:
        thread.join()
    elapsed = time.perf_counter() - start
    reports = done.value - reports_before
    stop.set()
    for loop in loops:
        loop.join()
    return sum(counted) / elapsed, reports / elapsed, failed.value


def server_processes(data):
    """The postmaster of the server whose data folder is ``data``, and its children."""
    postmaster = int((Path(data) / "postmaster.pid").read_text().split()[0])
    children = []
    for stat in Path("/proc").glob("[0-9]*/stat"):
        with contextlib.suppress(OSError, ValueError, IndexError):
            if int(stat.read_text().rsplit(")", 1)[1].split()[1]) == postmaster:
                children.append(int(stat.parent.name))
    return [postmaster, *children]


def pin(data, cpus):
    """Keeps a server's processes, and the backends it starts from now on, to ``cpus``."""
    for pid in server_processes(data):
        with contextlib.suppress(OSError):
            os.sched_setaffinity(pid, cpus)


def standby_rows(db, primary_url, standby_url, seconds):
    """Rows of (reports, counting, increments/s, reports/s, reports failed)."""
    rows = []
    for place, url in (("none", None), ("on the primary", primary_url), ("on the standby", standby_url)):
        for spread in (False, True):
            rate, reports, failed = count_while_reporting(db, url, spread, seconds)
            target = "spread MIDs" if spread else "one hot MID"
            rows.append([place, target, f"{rate:.0f}", f"{reports:.1f}" if url else "", str(failed) if url else ""])
    return rows


# -- report -----------------------------------------------------------------------------


def report(measured, orders, crms, runs):
    def ms(value):
        return "" if value is None else f"{value:.1f}"

    def change(now, before):
        return "" if before is None else f"{(now / before - 1) * 100:+.0f}%"

    rows = [
        (label, ms(total), ms(database), ms(before), change(total, before), ms(without))
        for label, total, database, before, without in measured
    ]
    table(
        f"{orders:,} orders, {crms} CRMs of {synthetic.GATEWAYS} gateways, {synthetic.CAP_ROWS:,} rows per cap "
        f"table (median of {runs} calls end to end, ms; database: mean execution time from pg_stat_statements; "
        f"before: {BEFORE})",
        ["call", "ms", "database ms", "before", "change", "without the reference indexes"],
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


def run(url, orders, crms, runs, plans_path, standby=None, seconds=10):
    """``standby``: None, or a function that starts (or names) a standby of the loaded
    database and gives its URL and a line saying where it runs."""
    db = Database(url)
    try:
        database_settings(db, GUIDANCE)
        start = time.perf_counter()
        synthetic.load(db.engine, orders, crms)
        loaded = time.perf_counter() - start
        vacuum_analyze(db)
        shares = settle(db)
        print(
            f"{orders:,} orders loaded in {loaded:.0f} s, vacuumed and analysed in "
            f"{time.perf_counter() - start - loaded:.0f} s; pages all-visible: "
            + ", ".join(f"{name} {share:.1%}" for name, share in shares.items())
        )
        plans_path.parent.mkdir(parents=True, exist_ok=True)
        with plans_path.open("w") as plans:
            measured = measure(db, crms, runs, plans)
        report(measured, orders, crms, runs)
        table("Largest tables and indexes", ["relation", "size"], sizes(db))
        print(f"\nplans: {plans_path}")
        if standby is not None:
            print("\nstarting a hot standby and waiting for it to replay the load", flush=True)
            started = time.perf_counter()
            standby_url, where = standby()
            replica = Database(standby_url)
            try:
                pgserver.wait_for_replay(db.engine, replica.engine, timeout=900)
            finally:
                replica.dispose()
            print(f"the standby replays from {time.perf_counter() - started:.0f} s on")
            table(
                f"Counting on the primary while {' and '.join(REPORTS)} loop on CRM 1 ({COUNTERS} threads counting, "
                f"{len(REPORTS)} processes reporting, {seconds} s each; {where})",
                ["reports", "counting", "increments/s", "reports/s", "reports failed"],
                standby_rows(db, url, standby_url, seconds),
            )
    finally:
        database_settings(db, dict.fromkeys(GUIDANCE))
        db.dispose()


def throwaway_standby(server):
    """Starts a standby of the throwaway server; on two CPUs or more, the primary keeps
    the first half of them and the standby the rest, as two servers of their own."""

    def start():
        standby_url = server.start_standby()
        cpus = sorted(os.sched_getaffinity(0))
        if len(cpus) < 2:
            return standby_url, "primary and standby share the one CPU"
        half = len(cpus) // 2
        pin(server.folder / "data", cpus[:half])
        pin(server.folder / "standby" / "data", cpus[half:])
        return standby_url, f"primary on CPUs {cpus[:half]}, standby on {cpus[half:]}, the clients on any"

    return start


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--orders", default="100k", help="100k (default), 1M, 10M or a number")
    parser.add_argument("--crms", type=int, default=3, help="CRMs of 50 gateways (default 3)")
    parser.add_argument("--runs", type=int, help="timed calls per method (default 7; 5 from 5M orders)")
    parser.add_argument("--database-url", help="a scratch database to use; its tables are replaced")
    parser.add_argument("--standby-url", help="a hot standby of --database-url's server, for the counting rows")
    parser.add_argument("--no-standby", action="store_true", help="skip the counting rows")
    parser.add_argument("--seconds", type=float, default=10, help="of counting per row (default 10)")
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
        standby = None if args.no_standby or not args.standby_url else lambda: (args.standby_url, "servers as given")
        run(args.database_url, orders, args.crms, runs, plans, standby, args.seconds)
        return
    settings = {"shared_preload_libraries": "pg_stat_statements", **GUIDANCE}
    settings.update(item.split("=", 1) for item in args.setting)
    with pgserver.ThrowawayPostgres(settings=settings) as server:
        standby = None if args.no_standby else throwaway_standby(server)
        run(server.url, orders, args.crms, runs, plans, standby, args.seconds)


if __name__ == "__main__":
    main()
