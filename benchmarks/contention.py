"""Counting on one hot MID and step from many threads: throughput, deadlocks, lost counts.

A cap table of about 10,000 rows (two or three processor rows per MID and step) whose pages
are full of dead versions, as a live table is between vacuums; then for each thread count,
that many threads count on one hot MID and step for a fixed time while two more count on
other MIDs. Printed per thread count: increments per second on the hot MID and step,
deadlocks the server detected, calls that raised, and whether the final counters equal
the calls that returned.

    python benchmarks/contention.py [--seconds S] [--threads 1,4,8] [--fillfactor F]
                                    [--database-url URL]
"""

import argparse
import random
import sys
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path[:0] = [str(ROOT / "host")]

import gateways
import pgserver
from models.db import Database

HOT_MID, HOT_STEP = 1, 1
MIDS = 4000
PROCESSORS = ["nmi", "stripe", "authorize"]


def run_sql(db, sql):
    with db.engine.connect().execution_options(isolation_level="AUTOCOMMIT") as connection:
        result = connection.exec_driver_sql(sql)
        return [tuple(row) for row in result] if result.returns_rows else []


def hot_row_database(url, deadlock_timeout=None):
    """The host's database object with a pool for every thread; sessions get
    ``deadlock_timeout`` when it is given."""
    options = {"connect_args": {"options": f"-c deadlock_timeout={deadlock_timeout}"}} if deadlock_timeout else {}
    return Database(url, pool_size=16, **options)


def fill_cap_table(db, fillfactor):
    """About 10,000 cap rows: MID m has 2 or 3 processors on step 1; then every row is
    updated a few times so that its pages fill with dead versions."""
    run_sql(db, "truncate processing.cap")
    if fillfactor is not None:
        run_sql(db, f"alter table processing.cap set (fillfactor = {int(fillfactor)})")
    run_sql(db, "alter table processing.cap set (autovacuum_enabled = false)")
    run_sql(
        db,
        f"""
        insert into processing.cap (mid_id, step, processor, dtc_cap)
        select m, 1, p, 1000 from generate_series(1, {MIDS}) m, unnest(array{PROCESSORS}) with ordinality u(p, i)
        where i <= 2 + m % 2""",
    )
    run_sql(db, "vacuum analyze processing.cap")
    for _ in range(3):
        run_sql(db, "update processing.cap set used_dtc = used_dtc + 0")


def deadlocks(db):
    return run_sql(db, "select deadlocks from pg_stat_database where datname = current_database()")[0][0]


def hot_counters(db):
    return run_sql(
        db, f"select coalesce(sum(used_dtc), 0) from processing.cap where mid_id = {HOT_MID} and step = {HOT_STEP}"
    )[0][0]


def rows_of_hot(db):
    return run_sql(db, f"select count(*) from processing.cap where mid_id = {HOT_MID} and step = {HOT_STEP}")[0][0]


def contend(db, threads, seconds, background=2):
    """``threads`` counting on the hot MID and step, ``background`` on other MIDs."""
    caps = gateways.CapReport(db)
    stop = threading.Event()
    done, failed, lock = [0], [0], threading.Lock()
    counted_before, deadlocks_before = hot_counters(db), deadlocks(db)

    def hot():
        mine_done = mine_failed = 0
        while not stop.is_set():
            try:
                caps.increment_transaction_counts(HOT_MID, "nmi", HOT_STEP)
                mine_done += 1
            except Exception:  # counted: the host would have lost this count
                mine_failed += 1
        with lock:
            done[0] += mine_done
            failed[0] += mine_failed

    def other(seed):
        rng = random.Random(seed)
        while not stop.is_set():
            try:
                caps.increment_transaction_counts(rng.randint(2, MIDS), "nmi", 1)
            except Exception:
                pass

    workers = [threading.Thread(target=hot) for _ in range(threads)]
    workers += [threading.Thread(target=other, args=(i,)) for i in range(background)]
    start = time.perf_counter()
    for worker in workers:
        worker.start()
    time.sleep(seconds)
    stop.set()
    for worker in workers:
        worker.join()
    elapsed = time.perf_counter() - start
    counted = hot_counters(db) - counted_before
    exact = counted == done[0] * rows_of_hot(db)
    return done[0] / elapsed, deadlocks(db) - deadlocks_before, failed[0], exact


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=20.0, help="per thread count (default 20)")
    parser.add_argument("--threads", default="1,4,8", help="thread counts (default 1,4,8)")
    parser.add_argument("--fillfactor", type=int, help="set on the cap table first (default: the schema's)")
    parser.add_argument(
        "--deadlock-timeout",
        help="the server's deadlock_timeout for these sessions, e.g. 50ms (needs a superuser; default: the server's)",
    )
    parser.add_argument("--database-url", help="a scratch database; its cap table is replaced")
    args = parser.parse_args(argv)

    def against(url):
        if args.database_url:
            pgserver.load_schema(url)
        db = hot_row_database(url, args.deadlock_timeout)
        try:
            fill_cap_table(db, args.fillfactor)
            fillfactor = run_sql(
                db,
                "select coalesce(array_to_string(reloptions, ','), 'defaults') "
                "from pg_class where oid = 'processing.cap'::regclass",
            )[0][0]
            print(
                f"cap table: {run_sql(db, 'select count(*) from processing.cap')[0][0]:,} rows, "
                f"{rows_of_hot(db)} rows on the hot MID and step, options {fillfactor}; "
                f"{args.seconds:g} s per thread count, 2 more threads counting on other MIDs"
            )
            print(f"{'threads':>7}  {'increments/s':>12}  {'deadlocks':>9}  {'raised':>6}  counters = calls")
            for threads in (int(t) for t in args.threads.split(",")):
                rate, found, raised, exact = contend(db, threads, args.seconds)
                print(f"{threads:>7}  {rate:>12,.0f}  {found:>9}  {raised:>6}  {'yes' if exact else 'NO'}")
        finally:
            db.dispose()

    if args.database_url:
        against(args.database_url)
    else:
        with pgserver.ThrowawayPostgres() as server:
            against(server.url)


if __name__ == "__main__":
    main()
