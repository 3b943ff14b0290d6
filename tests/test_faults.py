"""Faults: a backend terminated in the middle of a statement, the server stopped and started.

Every method must raise the driver's error unchanged, leave no write half done, and work
again on the next call (the host's pool replaces dead connections before use).
"""

import importlib
import threading
import time
import traceback

import pytest
import sqlalchemy
import summary
from conftest import TABLES, insert, query, raised_by_database
from methods import METHODS
from watch import checksums, create_canary

import gateways
import pgserver

CLASSES = {name: getattr(gateways, name) for name in {method.cls for method in METHODS}}
CALLS = [(method.label, lambda db, method=method: method.call(CLASSES, db)) for method in METHODS if method.sends]


def entries(error):
    return [entry.name for entry in traceback.extract_tb(error.__traceback__)]


def terminate_when_waiting(db, deadline=20.0):
    """Terminates the backend that waits for a lock; returns whether it found one."""
    end = time.monotonic() + deadline
    while time.monotonic() < end:
        pids = query(
            db, "select pid from pg_stat_activity where wait_event_type = 'Lock' and datname = current_database()"
        )
        if pids:
            query(db, f"select pg_terminate_backend({pids[0][0]})")
            return True
        time.sleep(0.02)
    return False


@pytest.mark.parametrize("name, call", CALLS, ids=[name for name, _ in CALLS])
def test_backend_terminated_mid_statement(seeded, name, call):
    before = checksums(seeded)
    outcome = {}

    def run():
        try:
            outcome["result"] = call(seeded)
        except Exception as error:  # judged below
            outcome["error"] = error

    locker = seeded.engine.connect()
    transaction = locker.begin()
    locker.exec_driver_sql(f"lock table {', '.join(TABLES)} in access exclusive mode")
    worker = threading.Thread(target=run)
    worker.start()
    try:
        assert terminate_when_waiting(seeded), "the call never waited for its table"
    finally:
        transaction.rollback()
        locker.close()
        worker.join(30)

    raised = outcome.get("error")
    assert raised is not None, outcome
    error = raised_by_database(raised)
    assert isinstance(error, sqlalchemy.exc.OperationalError), outcome
    assert isinstance(error.orig, importlib.import_module(pgserver.driver()).OperationalError)
    assert f"gateways.{name}" in entries(raised)
    assert checksums(seeded) == before, "a write was half done"

    call(seeded)  # the next call works on a fresh connection
    summary.COUNTS["faults survived"] += 1


def test_server_stopped_and_started(seeded, server):
    if server is None:
        pytest.skip("the tests run against an existing server, which is not theirs to stop")
    for _name, call in CALLS:
        call(seeded)  # every connection in the pool is now one the restart will kill
    counted = query(seeded, "select used_dtc from processing.cap where mid_id = 1 and processor = 'nmi'")[0][0]

    server.stop_server()
    try:
        for name, call in CALLS:
            with pytest.raises(sqlalchemy.exc.OperationalError) as raised:
                call(seeded)
            assert f"gateways.{name}" in entries(raised.value)
    finally:
        server.start_server()

    for _name, call in CALLS:
        call(seeded)
    assert (
        query(seeded, "select used_dtc from processing.cap where mid_id = 1 and processor = 'nmi'")[0][0] == counted + 1
    )
    summary.COUNTS["faults survived"] += 2
