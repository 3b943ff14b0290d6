"""The reference schema's roles against the real server: every method runs under the role
its side is given, and each role is refused what its side does not need."""

import contextlib

import methods
import pandas
import pytest
import sqlalchemy
from conftest import query
from methods import READERS

import gateways
from pgserver import sqlstate

CLASSES = {name: getattr(gateways, name) for name in methods.CLASSES}
INSUFFICIENT_PRIVILEGE = "42501"


@pytest.fixture(scope="module")
def as_role(database, database_url):
    """A host database object per role, each connecting as a login user that holds only
    that role."""
    from models.db import Database

    opened = {}
    for side in ("reporting", "counting", "configuring"):
        user = f"gateways_test_{side}"
        with database.engine.connect().execution_options(isolation_level="AUTOCOMMIT") as connection:
            connection.exec_driver_sql(
                f"do $$ begin if not exists (select from pg_roles where rolname = '{user}') then "
                f"create role {user} login in role gateways_{side}; end if; end $$"
            )
        opened[side] = Database(sqlalchemy.engine.make_url(database_url).set(username=user))
    yield opened
    for db in opened.values():
        db.dispose()


def same(left, right):
    if isinstance(left, pandas.DataFrame):
        pandas.testing.assert_frame_equal(left, right)
    else:
        assert left == right


@contextlib.contextmanager
def refused():
    with pytest.raises(Exception) as raised:
        yield
    assert sqlstate(raised.value) == INSUFFICIENT_PRIVILEGE, raised.value


def counters(db):
    return query(db, "select mid_id, processor, used_dtc, used_lptc from processing.cap order by 1, 2")


@pytest.mark.parametrize("method", READERS, ids=lambda m: m.label)
def test_every_reading_method_answers_under_the_reporting_role_as_under_the_owner(seeded, as_role, method):
    same(method.call(CLASSES, as_role["reporting"]), method.call(CLASSES, seeded))


def test_counting_role_counts(seeded, as_role):
    CLASSES["CapReport"](as_role["counting"]).increment_transaction_counts(1, "nmi", 1, True)
    assert counters(seeded) == [(1, "nmi", 1, 1), (1, "stripe", 1, 1), (2, "nmi", 0, 0)]


def test_configuring_role_disables(seeded, as_role):
    CLASSES["GatewaySettings"](as_role["configuring"]).disable(1, [2])
    flags = query(seeded, "select gateway_id, crm_id, enabled from ui_54407332_clients.gateway_settings order by 1, 2")
    assert flags == [(1, 1, True), (1, 2, True), (2, 1, False)]


class TestRefused:
    def test_reporting_role_cannot_count_or_configure(self, seeded, as_role):
        with refused():
            CLASSES["CapReport"](as_role["reporting"]).increment_transaction_counts(1, "nmi", 1, True)
        with refused():
            CLASSES["GatewaySettings"](as_role["reporting"]).disable(1, [2])
        assert counters(seeded)[0] == (1, "nmi", 0, 0)

    def test_counting_role_cannot_configure_or_read_orders_or_settings(self, seeded, as_role):
        counting = as_role["counting"]
        with refused():
            CLASSES["GatewaySettings"](counting).disable(1, [2])
        with refused():
            CLASSES["GatewaySettings"](counting).cap_report(1)
        with refused():
            CLASSES["GatewaySettings"](counting).get_exploded()
        with refused():
            CLASSES["CapReport"](counting).get_alert_level()  # the cap table's other columns

    def test_configuring_role_cannot_count_or_read_orders(self, seeded, as_role):
        configuring = as_role["configuring"]
        with refused():
            CLASSES["CapReport"](configuring).increment_transaction_counts(1, "nmi", 1, True)
        with refused():
            CLASSES["GatewaySettings"](configuring).cap_limits(1)
        assert query(seeded, "select count(*) from ui_54407332_clients.gateway_settings where not enabled") == [(0,)]
