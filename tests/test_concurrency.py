"""Threads and interpreters: readers beside counters, and a second interpreter refused."""
import threading

import pytest

import gateways
import summary
from conftest import insert, query
from frame_support import run_python, write_models


@pytest.fixture
def seeded(db):
    insert(db, "ui_54407332_clients.gateway_settings", [dict(gateway_id=g, crm_id=1, monthly_cap=1000, days=[1],
                                                             days_index=[0]) for g in (1, 2, 3)])
    insert(db, "ui_54407332_clients.gateways", [dict(id=g, crm_id=1) for g in (1, 2)])
    insert(db, "ui_54407332_clients.steps", [dict(app_step_id=1, crm_id=1, step=1, mid_id=1, gateway_id=1,
                                                 mid_number="M1")])
    insert(db, "processing.cap", [dict(mid_id=1, step=1, processor=p) for p in ("nmi", "stripe")])
    return db


def test_readers_beside_counters(seeded, scale):
    settings, names = gateways.GatewaySettings(seeded), gateways.GatewayNames(seeded)
    steps, caps = gateways.GatewaySteps(seeded), gateways.CapReport(seeded)
    reads = [lambda: settings.cap_limits(1), lambda: settings.mtd_cascade_report(1), settings.get_exploded,
             lambda: names.update_lists(1), lambda: steps.get_mid_numbers_by_mid_id(1, 1),
             lambda: caps.get_gateway_cap_model(1), caps.get_alert_level, lambda: names.gateway_corp_list(1)]
    per_writer = 60 * scale
    errors, stop = [], threading.Event()

    def reader(offset):
        try:
            i = offset
            while not stop.is_set():
                reads[i % len(reads)]()
                i += 1
        except Exception as error:  # surfaced below
            errors.append(error)

    def writer(is_lp):
        try:
            for _ in range(per_writer):
                caps.increment_transaction_counts(1, "nmi", 1, is_lp)
        except Exception as error:  # surfaced below
            errors.append(error)

    readers = [threading.Thread(target=reader, args=(i,)) for i in range(8)]
    writers = [threading.Thread(target=writer, args=(i % 2 == 0,)) for i in range(4)]
    for thread in readers + writers:
        thread.start()
    for thread in writers:
        thread.join()
    stop.set()
    for thread in readers:
        thread.join()

    assert errors == []
    counted = query(seeded, "select processor, used_dtc, used_lptc from processing.cap order by 1")
    assert counted == [("nmi", 4 * per_writer, 2 * per_writer), ("stripe", 4 * per_writer, 2 * per_writer)]
    summary.COUNTS["increments"] += 4 * per_writer
    summary.COUNTS["lost increments"] += 4 * per_writer * 2 - sum(d for _, d, _ in counted)


def test_second_interpreter_is_refused(tmp_path):
    write_models(tmp_path)
    outcome = tmp_path / "outcome"
    inner = (f"try:\n    import gateways\nexcept ImportError as error:\n"
             f"    open({str(outcome)!r}, 'w').write('ImportError: ' + str(error))\n"
             f"else:\n    open({str(outcome)!r}, 'w').write('imported')\n")
    result = run_python(f"""
        import _testcapi, gateways
        _testcapi.run_in_subinterp({inner!r})
        print(open({str(outcome)!r}).read())
        print(gateways.GatewaySettings.get_first_dom().day, gateways.CapReport.__name__)
    """, tmp_path)
    lines = result.stdout.splitlines()
    assert lines == ["ImportError: Interpreter change detected - this module can only be loaded into one "
                     "interpreter per process.", "1 CapReport"], result.stderr
