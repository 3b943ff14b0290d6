"""The demo: read-only walk against an existing database, and its one-line errors."""

import sys

from conftest import HOST, query

import pgserver

sys.path.insert(0, str(HOST.parent / "examples"))
import demo
import sample_data


def test_read_only_walk_changes_nothing(db, database_url, capsys):
    sample_data.load(db.engine)
    before = (
        query(db, "select sum(used_dtc), sum(used_lptc) from processing.cap"),
        query(db, "select count(*) from ui_54407332_clients.gateway_settings where not enabled"),
    )
    assert demo.main(["--database-url", database_url, "--no-chart"]) == 0
    out = capsys.readouterr().out
    for call in [
        "cap_limits(1)",
        "mtd_cascade_report(1)",
        "update_lists(1)",
        "get_gateway_cap_model(1)",
        "next_app_step_id()",
        "get_mid_numbers_by_gateway_id",
    ]:
        assert call in out
    assert "increment_transaction_counts" not in out and "disable(" not in out
    after = (
        query(db, "select sum(used_dtc), sum(used_lptc) from processing.cap"),
        query(db, "select count(*) from ui_54407332_clients.gateway_settings where not enabled"),
    )
    assert before == after


def test_unreachable_database_is_one_line(capsys):
    url = f"postgresql+{pgserver.driver()}://nobody:secret@/nowhere?host=/nonexistent-socket-dir"
    assert demo.main(["--database-url", url, "--no-chart"]) == 1
    err = capsys.readouterr().err.strip()
    assert err.startswith("demo: error: cannot reach the database at") and "\n" not in err
    assert "secret" not in err


def test_missing_tables_are_named(database, capsys):
    import sqlalchemy

    with database.engine.connect().execution_options(isolation_level="AUTOCOMMIT") as connection:
        connection.exec_driver_sql("drop database if exists demo_empty")
        connection.exec_driver_sql("create database demo_empty")
    url = sqlalchemy.engine.make_url(database.url).set(database="demo_empty").render_as_string(hide_password=False)
    assert demo.main(["--database-url", url, "--no-chart"]) == 1
    err = capsys.readouterr().err.strip()
    assert err.startswith("demo: error: the database at") and "lacks ui_54407332_clients.gateway_settings" in err
    assert "load host/schema.sql first" in err and "\n" not in err
