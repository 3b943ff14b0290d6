"""Reports on a hot standby: every reading method answers on a streaming standby what it
answers on the primary, and the writing ones are refused there, changing nothing."""

import os

import methods
import pandas
import pytest
from methods import READERS, WRITERS

import gateways
from pgserver import sqlstate, wait_for_replay

STANDBY_URL_VARIABLE = "GATEWAYS_TEST_STANDBY_URL"
CLASSES = {name: getattr(gateways, name) for name in methods.CLASSES}
READ_ONLY_TRANSACTION = "25006"


@pytest.fixture(scope="module")
def standby(server):
    """The host's database object on a standby of the test server: the throwaway server's
    own, or $GATEWAYS_TEST_STANDBY_URL's beside an existing server."""
    from models.db import Database

    url = os.environ.get(STANDBY_URL_VARIABLE) if server is None else server.start_standby()
    if not url:
        pytest.skip(f"an existing server is used and {STANDBY_URL_VARIABLE} names no standby of it")
    db = Database(url)
    yield db
    db.dispose()


@pytest.fixture
def replayed(seeded, standby):
    wait_for_replay(seeded.engine, standby.engine)
    return seeded


@pytest.mark.parametrize("method", READERS, ids=lambda m: m.label)
def test_every_reading_method_answers_on_the_standby_as_on_the_primary(replayed, standby, method):
    on_standby, on_primary = method.call(CLASSES, standby), method.call(CLASSES, replayed)
    if isinstance(on_primary, pandas.DataFrame):
        assert not on_primary.empty or method.name in ("mtd_cascade_report",)
        pandas.testing.assert_frame_equal(on_standby, on_primary)
    else:
        assert on_standby == on_primary


@pytest.mark.parametrize("method", WRITERS, ids=lambda m: m.label)
def test_writing_methods_are_refused_on_the_standby(replayed, standby, method):
    from watch import checksums

    before = checksums(replayed)
    with pytest.raises(Exception) as raised:
        method.call(CLASSES, standby)
    assert sqlstate(raised.value) == READ_ONLY_TRANSACTION, raised.value
    assert checksums(replayed) == before
