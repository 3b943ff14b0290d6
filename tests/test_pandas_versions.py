"""What the module gives on each pandas it supports: pandas 2.1's results everywhere.

The module takes a route by pandas' version text (src/pandas_versions.hpp). The routes of
pandas 2.2/2.3 and 3 run here on whatever pandas is installed, through a stand-in ``pd``
carrying another version's text; where the installed pandas is that version (make matrix),
the tests marked so check that the stand-in behaves as the real one does.
"""

import types
import warnings
from decimal import Decimal
from typing import ClassVar

import pandas
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from recording import Host, recorded_pandas
from test_settings import GS, reports, settings_host

import gateways

VERSION = tuple(int(part) for part in pandas.__version__.split(".")[:2])
PANDAS_3 = VERSION >= (3, 0)


class StandIn(types.ModuleType):
    """The installed pandas under another version's text; records which of its names the
    module looks up, and reads ``frame`` for read_sql."""

    def __init__(self, version, frame=None):
        super().__init__("pandas")
        if version is not None:
            self.__version__ = version
        self.frame, self.looked_up = frame, []

    def read_sql(self, *args, **kwargs):
        return self.frame.copy()

    def __getattr__(self, name):
        self.looked_up.append(name)
        if name == "__version__":
            raise AttributeError(name)  # a stand-in that carries no version text
        return getattr(pandas, name)


def cap_report_with(monkeypatch, version, frame):
    stand_in = StandIn(version, frame)
    monkeypatch.setattr(gateways, "pd", stand_in)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        return GS.cap_report(settings_host(), 1), stand_in


WITH_A_GAP = pandas.DataFrame({"crm_id": [1, 1], "daily_cap": [Decimal("5.00"), None]})


# -- which route each version takes ------------------------------------------------------


@pytest.mark.parametrize(
    "version, by_column",
    [
        ("2.1.4", False),
        ("2.2.0", True),
        ("2.2.0rc0", True),
        ("2.3.3", True),
        ("3.0.0", False),
        ("3.1.2", False),
        ("1.5.3", False),
        ("not a version", False),
        (None, False),
    ],
)
def test_fill_route_by_version_text(monkeypatch, version, by_column):
    if by_column and PANDAS_3:
        pytest.skip("the 2.2/2.3 route infers dtypes, which pandas 3's fillna no longer does")
    _, stand_in = cap_report_with(monkeypatch, version, WITH_A_GAP)
    # the 2.2/2.3 route builds the filled column itself from pd.isna and pd.Series
    assert ("isna" in stand_in.looked_up) == by_column


def test_installed_pandas_takes_the_route_its_version_gives(monkeypatch):
    # With the real pandas as pd: on 2.2/2.3 fillna would warn, so warnings as errors
    # prove that the route chosen for the installed version avoids it.
    monkeypatch.setattr(gateways, "pd", StandIn(pandas.__version__, WITH_A_GAP))
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        df = GS.cap_report(settings_host(), 1)
    assert df.daily_cap.tolist() == [Decimal("5.00"), 0]


# -- the 2.2/2.3 route gives what fillna gives on 2.1 -----------------------------------

CELLS = st.sampled_from([None, float("nan"), Decimal("1.50"), 3, 2.5, "x", True, 0])


@st.composite
def frames(draw):
    rows = draw(st.integers(0, 4))
    columns = draw(st.integers(1, 4))
    data = {}
    for i in range(columns):
        kind = draw(st.sampled_from(["object", "float", "int"]))
        if kind == "object":
            values = draw(st.lists(CELLS, min_size=rows, max_size=rows))
            data[f"c{i}"] = pandas.Series(values, dtype=object)
        elif kind == "float":
            values = draw(st.lists(st.sampled_from([1.5, float("nan")]), min_size=rows, max_size=rows))
            data[f"c{i}"] = pandas.Series(values, dtype="float64")
        else:
            data[f"c{i}"] = pandas.Series(range(rows), dtype="int64")
    names = [f"c{i}" for i in range(columns)]
    if columns > 1 and draw(st.booleans()):
        names[-1] = names[0]  # repeated names stay apart
    frame = pandas.DataFrame(data)
    frame.columns = names
    return frame


@pytest.mark.skipif(PANDAS_3, reason="pandas 3's fillna no longer infers; the 2.2/2.3 route is not its route")
@settings(max_examples=150, deadline=None)
@given(frame=frames())
def test_by_column_route_equals_fillna(frame):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", FutureWarning)  # 2.2/2.3: the inference deprecated
        expected = frame.fillna(0)
    previous = gateways.pd
    gateways.pd = StandIn("2.2.0", frame)
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            got = GS.cap_report(settings_host(), 1)
    finally:
        gateways.pd = previous
    pandas.testing.assert_frame_equal(got, expected)


# -- pandas 3: a missing text is NaN ----------------------------------------------------


def test_missing_mid_number_is_none_whatever_the_column_gives():
    # pandas 3 reads a text column as str, whose missing value is NaN; object columns give None
    for column in (pandas.Series(["M1", None], dtype=object), pandas.Series(["M1", float("nan")], dtype=object)):
        host = Host(frame=pandas.DataFrame({"crm_id": [1, 2], "mid_number": column}))
        records = gateways.GatewaySteps.get_mid_numbers_by_mid_id(host, 1, 1)
        assert records == [{"crm_id": 1, "mid_number": "M1"}, {"crm_id": 2, "mid_number": None}]


def test_the_installed_pandas_gives_what_the_stand_in_gives():
    # The stand-in's NaN is what pandas 3 gives for a text column read from the database;
    # pandas 2 gives None (make matrix runs this on both).
    records = pandas.DataFrame({"mid_number": ["M1", None]}).to_dict(orient="records")
    missing = records[1]["mid_number"]
    if PANDAS_3:
        assert isinstance(missing, float) and missing != missing
    else:
        assert missing is None


# -- an empty merge: pandas 2.1 puts the keys last, 2.3 and 3 keep left's order --------


@pytest.mark.skipif(VERSION == (2, 2), reason="no matrix entry runs pandas 2.2")
def test_what_an_empty_left_merge_gives_on_the_installed_pandas():
    left = pandas.DataFrame(columns=["crm_id", "gateway_id", "daily_cap"])
    right = pandas.DataFrame(columns=["gateway_id", "crm_id", "available"])
    merged = left.merge(right, on=["gateway_id", "crm_id"], how="left")
    if VERSION < (2, 2):
        assert list(merged.columns) == ["daily_cap", "gateway_id", "crm_id", "available"]
    else:
        assert list(merged.columns) == ["crm_id", "gateway_id", "daily_cap", "available"]


def test_cap_limits_keeps_the_report_order_when_empty():
    frame = GS.cap_limits(reports([], []), 1)
    assert frame.empty
    assert list(frame.columns) == ["crm_id", "gateway_id", "daily_cap", "monthly_cap", "processed", "available"]


class TestMissingValuesFilled:
    """cap_report and get_exploded fill missing values with 0 as pandas 2.1 does, without
    the deprecation warning pandas 2.2 and 2.3 give for it; pandas 3 no longer infers
    the dtype of a filled object column, and the module gives what it gives."""

    FRAME: ClassVar[dict] = {
        "crm_id": [1, 1],
        "gateway_id": [1, 2],
        "daily_cap": [Decimal("5.00"), None],
        "monthly_cap": [Decimal("9.00"), Decimal("8.00")],
        "processed": [None, None],
        "rate": [0.5, float("nan")],
    }

    def test_cap_report(self, recorded_pandas):
        recorded_pandas.frame = pandas.DataFrame(self.FRAME)
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            df = GS.cap_report(settings_host(), 1)
        assert df.daily_cap.tolist() == [Decimal("5.00"), 0] and df.daily_cap.dtype == object
        assert df.monthly_cap.tolist() == [Decimal("9.00"), Decimal("8.00")]
        assert df.processed.tolist() == [0, 0]
        assert df.processed.dtype == (object if PANDAS_3 else "int64")
        assert df.rate.tolist() == [0.5, 0.0] and df.rate.dtype == "float64"
        assert df.crm_id.dtype == "int64" and list(df.columns) == list(self.FRAME)

    def test_repeated_column_names_stay_apart(self, recorded_pandas):
        frame = pandas.DataFrame([[1, None, 2.0], [1, Decimal("3"), None]], columns=["crm_id", "x", "x"])
        recorded_pandas.frame = frame
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            df = GS.cap_report(settings_host(), 1)
        assert df.iloc[:, 1].tolist() == [0, Decimal("3")] and df.iloc[:, 2].tolist() == [2.0, 0.0]

    def test_exploded_cascade_to(self):
        frame = pandas.DataFrame(
            {
                "gateway_id": [1, 2],
                "cascade_to": [None, None],
                "days": [[1], [2]],
                "days_index": [[0], [0]],
                "min_hour": [0, 0],
                "max_hour": [23, 23],
            }
        )
        host = settings_host(frame=frame)
        host.explode = lambda df, columns: df.explode(list(columns))
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            df = GS.get_exploded(host)
        assert df.cascade_to.tolist() == [0, 0]
        assert df.cascade_to.dtype == (object if PANDAS_3 else "int64")
