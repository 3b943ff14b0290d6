"""A stand-in for the datetime module whose clock reads a set time."""

import datetime
import types

import pytest

import gateways


def frozen_datetime_module(now):
    class FrozenDatetime(datetime.datetime):
        @classmethod
        def now(cls, tz=None):
            return cls.combine(now.date(), now.time())

    return types.SimpleNamespace(datetime=FrozenDatetime, timedelta=datetime.timedelta, date=datetime.date)


@pytest.fixture
def clock(monkeypatch):
    """clock(datetime) makes the module's clock read that time."""

    def set_clock(now):
        monkeypatch.setattr(gateways, "dt", frozen_datetime_module(now))

    return set_clock


@pytest.fixture
def offset(monkeypatch):
    """offset(hours) sets the host's configured time offset."""

    def set_offset(hours):
        monkeypatch.setattr(gateways, "mod_conf", types.SimpleNamespace(timeOffset=hours))

    return set_offset
