"""Recording stand-ins for the host: what the methods send, and in which calls.

The methods take any object as ``self``, so a ``Host`` carrying ``schema``, ``table``,
``engine`` and ``get`` is enough to see the statements as the database would get them.
"""

import pandas
import pytest

import gateways


class Result:
    """What ``engine.execute`` returns: rows to iterate, and ``scalar()``."""

    def __init__(self, rows=(), scalar=None):
        self.rows, self.value = list(rows), scalar

    def __iter__(self):
        return iter(self.rows)

    def scalar(self):
        return self.value


class Engine:
    def __init__(self, results=()):
        self.statements = []
        self.results = list(results)

    def execute(self, *args, **kwargs):
        assert not kwargs and len(args) == 1, "execute takes the statement only"
        self.statements.append(args[0])
        return self.results.pop(0) if self.results else Result()


class Host:
    """An object as the base classes leave it, recording every call made through it."""

    def __init__(self, schema="processing", table="cap", frame=None, results=()):
        self.schema, self.table = schema, table
        self.engine = Engine(results)
        self.frame = pandas.DataFrame() if frame is None else frame
        self.gets = []

    def get(self, *args, **kwargs):
        self.gets.append((args, kwargs))
        return self.frame


class Pandas:
    """The real pandas, but ``read_sql`` records its arguments and returns a set frame."""

    def __init__(self, frame=None):
        self.calls = []
        self.frame = pandas.DataFrame() if frame is None else frame

    def read_sql(self, *args, **kwargs):
        self.calls.append((args, kwargs))
        return self.frame.copy()

    def __getattr__(self, name):
        return getattr(pandas, name)

    @property
    def statements(self):
        return [args[0] for args, kwargs in self.calls]


@pytest.fixture
def recorded_pandas(monkeypatch):
    fake = Pandas()
    monkeypatch.setattr(gateways, "pd", fake)
    return fake
