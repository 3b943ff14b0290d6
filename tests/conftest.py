"""Shared fixtures: one PostgreSQL for the session, a clean set of tables per test."""

import datetime
import os
import re
import sys
from pathlib import Path

import pytest

HOST = Path(__file__).resolve().parent.parent / "host"
if str(HOST) not in sys.path:
    sys.path.insert(0, str(HOST))

import models.db  # noqa: E402  (first: it settles SQLAlchemy's warnings)
import pgserver  # noqa: E402

TABLES = [
    "ui_54407332_clients.gateway_settings",
    "ui_54407332_clients.gateways",
    "ui_54407332_clients.steps",
    "crm_global.orders",
    "processing.cap",
    "processing.cap_cc_type",
    "processing.trailing_cap",
    "processing.processing_actions",
    "augmented_data.order_cycles",
]


def collapse(sql):
    """Statement text as the database reads it: runs of blanks folded, ends trimmed."""
    return re.sub(r"[ \t\r\n]+", " ", sql).strip()


def sent(host):
    """The statements a recording host's engine was sent, blanks collapsed."""
    return [collapse(sql) for sql in host.engine.statements]


def pytest_addoption(parser):
    parser.addoption(
        "--stress",
        action="store_true",
        help="run the reliability checks at full size (many more values, calls and threads)",
    )


def pytest_configure(config):
    config.addinivalue_line(
        "markers",
        "stress_only: runs only under --stress (needs a second build, or the server to choose to deadlock)",
    )


def pytest_collection_modifyitems(config, items):
    if config.getoption("--stress"):
        return
    skip = pytest.mark.skip(reason="runs under make stress")
    for item in items:
        if "stress_only" in item.keywords:
            item.add_marker(skip)


@pytest.fixture(scope="session")
def scale(request):
    """1 for every test run, 10 under --stress."""
    return 10 if request.config.getoption("--stress") else 1


def pytest_sessionfinish(session):
    import summary

    summary.write(session.config.getoption("--stress"))


@pytest.fixture(scope="session")
def server():
    """The throwaway server, or None when the tests use an existing one."""
    url = os.environ.get(pgserver.URL_VARIABLE)
    if url:
        pgserver.load_schema(url)
        yield None
        return
    with pgserver.ThrowawayPostgres() as throwaway:
        yield throwaway


@pytest.fixture(scope="session")
def database_url(server):
    return server.url if server is not None else os.environ[pgserver.URL_VARIABLE]


@pytest.fixture(scope="session")
def database(database_url):
    from models.db import Database

    db = Database(database_url)
    yield db
    db.dispose()


@pytest.fixture
def db(database):
    """The host's database object over empty tables."""
    with database.engine.begin() as connection:
        connection.exec_driver_sql(f"truncate {', '.join(TABLES)} restart identity")
    return database


def insert(db, table, rows):
    """Insert dicts into ``table`` through the engine, values bound as parameters."""
    import sqlalchemy

    if not rows:
        return
    columns = list(rows[0])
    statement = sqlalchemy.text(
        f"insert into {table} ({', '.join(columns)}) values ({', '.join(':' + c for c in columns)})"
    )
    with db.engine.begin() as connection:
        connection.execute(statement, rows)


def query(db, sql):
    """Rows of ``sql`` read on a connection of their own."""
    with db.engine.connect() as connection:
        return [tuple(row) for row in connection.exec_driver_sql(sql)]


def raised_by_database(error):
    """The SQLAlchemy error of a failed statement: ``error`` itself, or, where pandas 3
    raised its own ``pandas.errors.DatabaseError("Execution failed on sql ...")`` for a
    query it read, the error it names as its ``__cause__``; the module passes on either
    unchanged. pandas 2 raises SQLAlchemy's error itself."""
    import pandas
    import sqlalchemy

    if isinstance(error, pandas.errors.DatabaseError) and not isinstance(error, sqlalchemy.exc.DBAPIError):
        assert int(pandas.__version__.split(".")[0]) >= 3, f"pandas {pandas.__version__} wrapped {error!r}"
        assert str(error).startswith("Execution failed on sql")
        error = error.__cause__
    assert isinstance(error, sqlalchemy.exc.DBAPIError), error
    return error


@pytest.fixture
def seeded(db):
    """A little of everything every method reads or writes, for CRMs 1 and 2, and the
    canary table that shows a statement wrote nowhere else."""
    from watch import create_canary

    create_canary(db)
    insert(
        db,
        "ui_54407332_clients.gateway_settings",
        [dict(gateway_id=g, crm_id=c, monthly_cap=1000, days=[1], days_index=[0]) for g, c in ((1, 1), (2, 1), (1, 2))],
    )
    insert(
        db,
        "ui_54407332_clients.gateways",
        [dict(id=1, crm_id=1, gateway_corp="Acme"), dict(id=2, crm_id=2, gateway_corp=None)],
    )
    insert(
        db,
        "ui_54407332_clients.steps",
        [dict(app_step_id=1, crm_id=1, step=1, mid_id=1, gateway_id=1, mid_number="M1", scv_level="not required")],
    )
    insert(
        db,
        "crm_global.orders",
        [dict(order_id=1, crm_id=1, gateway_id=1, order_total=10, time_stamp=datetime.datetime.now())],
    )
    insert(
        db,
        "processing.cap",
        [dict(mid_id=1, step=1, processor=p) for p in ("nmi", "stripe")] + [dict(mid_id=2, step=1, processor="nmi")],
    )
    insert(db, "processing.cap_cc_type", [dict(mid_id=1, step=1, processor="nmi", cc_type="visa")])
    insert(db, "processing.trailing_cap", [dict(mid_id=1, step=1, processor="nmi")])
    return db
