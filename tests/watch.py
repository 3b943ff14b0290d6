"""What reaches PostgreSQL, and what the tables hold: for checking that nothing else happened."""

import contextlib

from conftest import TABLES, query
from sqlalchemy import event

CANARY = "public.canary"


@contextlib.contextmanager
def statements_sent(engine):
    """Collects every statement the engine sends to the server while the block runs."""
    sent = []

    def record(conn, cursor, statement, parameters, context, executemany):
        sent.append(statement)

    event.listen(engine, "before_cursor_execute", record)
    try:
        yield sent
    finally:
        event.remove(engine, "before_cursor_execute", record)


def create_canary(db):
    with db.engine.begin() as connection:
        connection.exec_driver_sql(f"create table if not exists {CANARY} (v text primary key)")
        connection.exec_driver_sql(f"insert into {CANARY} values ('untouched') on conflict do nothing")


def checksums(db):
    """A checksum of every table's rows, read in one round trip."""
    parts = " union all ".join(
        f"select '{table}', md5(coalesce(string_agg(t::text, '|' order by t::text), '')) from {table} t"
        for table in [*TABLES, CANARY]
    )
    return dict(query(db, parts))
