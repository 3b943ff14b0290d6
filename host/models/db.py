"""The host's database object and the two base classes that ``gateways`` derives from."""

import os
import re

# The host contract is SQLAlchemy 1.4's Engine.execute; on 1.4 it warns that 2.0 removed it.
os.environ.setdefault("SQLALCHEMY_SILENCE_UBER_WARNING", "1")

import pandas as pd
import sqlalchemy

_IDENTIFIER = re.compile(r"[A-Za-z_][A-Za-z0-9_]*\Z")


class Database:
    """The host's ``db``: one SQLAlchemy engine for one database URL.

    ``no_parameters`` makes the driver take statement text literally, so a ``%`` in a
    value is data rather than a placeholder; ``pool_pre_ping`` replaces connections
    that the server dropped (a restart, a terminated backend) before they are used.
    """

    def __init__(self, url, **engine_options):
        engine_options.setdefault("pool_pre_ping", True)
        engine_options.setdefault("execution_options", {"no_parameters": True})
        self.url = url
        self.engine = with_execute(sqlalchemy.create_engine(url, **engine_options))

    def dispose(self):
        self.engine.dispose()


class ExecutingEngine(sqlalchemy.engine.Engine):
    """An engine with SQLAlchemy 1.4's ``execute(text)``, which 2.0 removed: the statement
    runs in a transaction of its own, committed when it returns, and a query's rows are
    read before the connection goes back to the pool."""

    def execute(self, statement):
        with self.begin() as connection:
            result = connection.exec_driver_sql(statement)
            return result.freeze()() if result.returns_rows else result


def with_execute(engine):
    """The engine, on SQLAlchemy 2 switched to the subclass that adds ``execute``; as it
    is on 1.4. ``pandas.read_sql`` takes it either way."""
    if not hasattr(engine, "execute"):
        engine.__class__ = ExecutingEngine
    return engine


def identifier(name, what="identifier"):
    """``name`` as an SQL identifier; anything but a plain name is refused."""
    if not isinstance(name, str) or not _IDENTIFIER.match(name):
        raise ValueError(f"{what} must be a plain SQL name, not {name!r}")
    return name


def quoted_identifier(name, what="identifier"):
    """A plain name, quoted so that a reserved word is still read as a name."""
    return f'"{identifier(name, what)}"'


def column_list(columns):
    """The select list for ``columns``: False for every column, a list of names,
    or a text of comma-separated names."""
    if columns is False:
        return "*"
    if isinstance(columns, str):
        columns = columns.split(",")
    names = [quoted_identifier(c.strip() if isinstance(c, str) else c, "column") for c in columns]
    if not names:
        raise ValueError("columns must name at least one column")
    return ", ".join(names)


class _Table:
    """What both base classes offer: the object's own table, its key, rows and explode."""

    engine: sqlalchemy.engine.Engine
    schema: str
    table: str

    def set_constraint(self, name, columns):
        self.constraint_name = name
        self.constraint_columns = columns

    @property
    def qualified_name(self):
        return f"{identifier(self.schema, 'schema')}.{identifier(self.table, 'table')}"

    def get(self, columns=False, where="", orderBy=None):
        """Rows of the object's own table as a data frame; ``where`` is used as given."""
        sql = f"select {column_list(columns)} from {self.qualified_name}{where}"
        if orderBy is not None:
            sql += f" order by {quoted_identifier(orderBy, 'orderBy')}"
        return pd.read_sql(sql, self.engine)

    def explode(self, df, columns):
        """``df`` with the list values of ``columns`` spread over rows, pairwise."""
        return df.explode(list(columns))


class ClientStructure(_Table):
    """A table in a client account's schema, ``ui_<account_id>_clients``."""

    def __init__(self, db, table, account_id):
        self.engine = db.engine
        self.table = table
        self.schema = f"ui_{account_id}_clients"


class Db(_Table):
    """A table in a named schema."""

    def __init__(self, db, schema, table):
        self.engine = db.engine
        self.schema = schema
        self.table = table
