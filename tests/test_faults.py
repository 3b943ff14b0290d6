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
from watch import checksums, create_canary

import gateways
import pgserver

CALLS = [
    ("GatewaySettings.disable", lambda db: gateways.GatewaySettings(db).disable(1, [2])),
    ("GatewaySettings.cap_report", lambda db: gateways.GatewaySettings(db).cap_report(1)),
    ("GatewaySettings.cap_limits", lambda db: gateways.GatewaySettings(db).cap_limits(1)),
    ("GatewaySettings.mtd_cascade_report", lambda db: gateways.GatewaySettings(db).mtd_cascade_report(1)),
    ("GatewaySettings.get_exploded", lambda db: gateways.GatewaySettings(db).get_exploded()),
    ("GatewayNames.gateway_corp_list", lambda db: gateways.GatewayNames(db).gateway_corp_list(1)),
    ("GatewayNames.update_lists", lambda db: gateways.GatewayNames(db).update_lists(1)),
    ("GatewaySteps.next_app_step_id", lambda db: gateways.GatewaySteps(db).next_app_step_id()),
    ("GatewaySteps.get_no_cvv_required", lambda db: gateways.GatewaySteps(db).get_no_cvv_required(1)),
    ("GatewaySteps.get_mid_numbers_by_mid_id", lambda db: gateways.GatewaySteps(db).get_mid_numbers_by_mid_id(1, 1)),
    (
        "GatewaySteps.get_mid_numbers_by_gateway_id",
        lambda db: gateways.GatewaySteps(db).get_mid_numbers_by_gateway_id(1, 1),
    ),
    (
        "CapReport.increment_transaction_counts",
        lambda db: gateways.CapReport(db).increment_transaction_counts(1, "nmi", 1, True),
    ),
    ("CapReport.get_alert_level", lambda db: gateways.CapReport(db).get_alert_level()),
    ("CCTypeCapReport.get_gateway_cap_model", lambda db: gateways.CCTypeCapReport(db).get_gateway_cap_model(1)),
]


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
