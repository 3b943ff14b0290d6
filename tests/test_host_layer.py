"""The stand-in host package: row fetch, explode, autocommitted execute, configuration."""

import subprocess
import sys

import pandas as pd
import pytest
from conftest import HOST, insert, query

import pgserver
from models import db as models_db


@pytest.fixture
def settings(db):
    insert(
        db,
        "ui_54407332_clients.gateway_settings",
        [
            dict(gateway_id=2, crm_id=1, monthly_cap=500, days=[1, 2], days_index=[0, 1], min_hour=0, max_hour=23),
            dict(gateway_id=1, crm_id=1, monthly_cap=None, days=[3], days_index=[5], min_hour=1, max_hour=22),
            dict(gateway_id=3, crm_id=2, monthly_cap=900, days=[], days_index=[], min_hour=2, max_hour=21),
        ],
    )
    return models_db.ClientStructure(db, "gateway_settings", "54407332")


class TestConstruction:
    def test_client_structure_names_the_account_schema(self, db):
        table = models_db.ClientStructure(db, "steps", 1234)
        assert (table.engine, table.schema, table.table) == (db.engine, "ui_1234_clients", "steps")

    def test_db_takes_schema_and_table(self, db):
        table = models_db.Db(db, "processing", "cap")
        assert (table.engine, table.schema, table.table) == (db.engine, "processing", "cap")

    def test_set_constraint_is_kept(self, db):
        table = models_db.Db(db, "processing", "cap")
        columns = ["mid_id", "step", "processor"]
        assert table.set_constraint("cap_pk", columns) is None
        assert (table.constraint_name, table.constraint_columns) == ("cap_pk", columns)


class TestGet:
    def test_every_column_by_default(self, settings):
        frame = settings.get()
        assert list(frame.columns)[:4] == ["gateway_id", "crm_id", "enabled", "daily_cap"]
        assert len(frame) == 3

    @pytest.mark.parametrize("columns", [["gateway_id", "crm_id"], "gateway_id, crm_id", "gateway_id,crm_id"])
    def test_columns_as_list_or_text(self, settings, columns):
        assert list(settings.get(columns).columns) == ["gateway_id", "crm_id"]

    def test_where_and_order_by(self, settings):
        frame = settings.get(["gateway_id"], where=" where crm_id = 1", orderBy="gateway_id")
        assert frame.gateway_id.tolist() == [1, 2]
        frame = settings.get(columns=["gateway_id"], where=" WHERE crm_id='2'")
        assert frame.gateway_id.tolist() == [3]

    def test_empty_result_keeps_columns(self, settings):
        frame = settings.get(["gateway_id", "monthly_cap"], where=" where crm_id = 99")
        assert frame.empty and list(frame.columns) == ["gateway_id", "monthly_cap"]

    @pytest.mark.parametrize("columns", [["gateway_id; drop table x"], "id, (select 1)", ["1"], [""], [], [None]])
    def test_bad_columns_refused(self, settings, columns):
        with pytest.raises(ValueError):
            settings.get(columns)

    @pytest.mark.parametrize("order", ["gateway_id desc", "1", "gateway_id; drop table x", ""])
    def test_bad_order_refused(self, settings, order):
        with pytest.raises(ValueError):
            settings.get(orderBy=order)

    def test_reserved_word_is_read_as_a_name(self, settings):
        with pytest.raises(Exception, match='column "or" does not exist'):
            settings.get(["or"])

    def test_bad_schema_refused(self, db):
        table = models_db.ClientStructure(db, "steps", "1; drop schema processing cascade; --")
        with pytest.raises(ValueError):
            table.get()


def test_explode_pairs_the_two_list_columns(settings):
    frame = settings.explode(settings.get(orderBy="gateway_id"), ["days", "days_index"])
    rows = list(zip(frame.gateway_id, frame.days, frame.days_index))
    assert rows[:3] == [(1, 3, 5), (2, 1, 0), (2, 2, 1)]
    assert pd.isna(rows[3][1]) and rows[3][0] == 3
    assert "min_hour" in frame.columns


def test_execute_takes_effect_without_commit(db):
    insert(db, "processing.cap", [dict(mid_id=1, step=1, processor="p")])
    db.engine.execute("update processing.cap set used_dtc = used_dtc+1  where mid_id =1 and step = 1")
    assert query(db, "select used_dtc from processing.cap") == [(1,)]


def test_percent_in_a_value_is_data(db):
    # The driver must not read %-sequences in statement text as placeholders.
    assert db.engine.execute("select '100%', '%s', '%(x)s'").fetchall() == [("100%", "%s", "%(x)s")]
    assert pd.read_sql("select '50%' as v", db.engine).v.tolist() == ["50%"]


class TestConfig:
    def run(self, value):
        env = {"PYTHONPATH": str(HOST), "PATH": "/usr/bin:/bin"}
        if value is not None:
            env["GATEWAYS_TIME_OFFSET"] = value
        return subprocess.run(
            [sys.executable, "-c", "from models import config; print(repr(config.timeOffset))"],
            env=env,
            capture_output=True,
            text=True,
        )

    @pytest.mark.parametrize("value, expected", [(None, "0"), ("5", "5"), ("-3", "-3"), ("1.5", "1.5"), (" 2 ", "2")])
    def test_hours_from_environment(self, value, expected):
        result = self.run(value)
        assert result.stdout.strip() == expected, result.stderr

    def test_not_a_number_is_a_clear_error(self):
        result = self.run("five")
        assert result.returncode != 0
        assert "GATEWAYS_TIME_OFFSET must be a number of hours, not 'five'" in result.stderr


def test_missing_server_binaries_say_how_to_install(monkeypatch):
    monkeypatch.setattr(pgserver.glob, "glob", lambda pattern: [])
    with pytest.raises(pgserver.ServerUnavailable, match="apt-get install -y postgresql"):
        pgserver.server_binaries()


def test_throwaway_server_leaves_nothing_behind():
    server = pgserver.ThrowawayPostgres(dbname="scratch", schema=None)
    server.start()
    folder = server.folder
    assert (folder / "data" / "postmaster.pid").exists()
    server.stop()
    assert not folder.exists()
