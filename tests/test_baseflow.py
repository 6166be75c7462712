"""Baseflow layers: LinearReservoir configuration."""

import math
from datetime import timedelta

import pytest
from baseflow_helpers import HOUR, LinearReservoir, layer


def test_defaults_and_attributes():
    res = LinearReservoir(timedelta(hours=24), 0.5, 0.0)
    assert res.num_reservoir == 1 and type(res.num_reservoir) is int
    assert res.k_duration == timedelta(days=1)
    assert res.gw_fraction == 0.5 and type(res.gw_fraction) is float
    assert res.initial_q == 0.0 and type(res.initial_q) is float


@pytest.mark.parametrize(
    "k_duration, stored",
    [
        (timedelta(seconds=1.9), timedelta(seconds=1)),
        (timedelta(seconds=90000), timedelta(days=1, seconds=3600)),
        # Longer than the 32-bit range of whole seconds: saturates at 2147483647 s.
        (timedelta(seconds=2147483648), timedelta(days=24855, seconds=11647)),
        (timedelta(days=999999), timedelta(days=24855, seconds=11647)),
    ],
)
def test_k_duration_stored_in_whole_seconds(k_duration, stored):
    assert LinearReservoir(k_duration, 0.5, 0.0).k_duration == stored


@pytest.mark.parametrize("gw_fraction", [0.0, 1.0])
def test_fraction_bounds_are_inclusive(gw_fraction):
    assert LinearReservoir(HOUR, gw_fraction, 0.0).gw_fraction == gw_fraction


def test_nan_fraction_passes_the_range_test():
    assert math.isnan(LinearReservoir(HOUR, math.nan, 0.0).gw_fraction)


@pytest.mark.parametrize(
    "args, message",
    [
        ((timedelta(milliseconds=999), 0.5, 0.0), "k_duration must be > 0"),
        ((timedelta(0), 0.5, 0.0), "k_duration must be > 0"),
        ((HOUR, -0.01, 0.0), "gw_fraction must be between 0 and 1"),
        ((HOUR, 1.01, 0.0), "gw_fraction must be between 0 and 1"),
        ((HOUR, 0.5, 0.0, 0), "num_reservoir must be at least 1"),
        # The first failing check wins.
        ((timedelta(milliseconds=10), 2.0, 0.0, 0), "k_duration must be > 0"),
        ((HOUR, 2.0, 0.0, 0), "gw_fraction must be between 0 and 1"),
    ],
)
def test_construction_checks(args, message):
    with pytest.raises(ValueError) as info:
        LinearReservoir(*args)
    assert str(info.value) == message


@pytest.mark.parametrize(
    "kwargs, message",
    [
        (dict(k_duration=3600, gw_fraction=0.5, initial_q=0.0),
         "argument 'k_duration': 'int' object is not an instance of 'timedelta'"),
        (dict(k_duration=None, gw_fraction=0.5, initial_q=0.0),
         "argument 'k_duration': 'None' is not an instance of 'timedelta'"),
        # Conversion errors come before the duration conversion of a negative timedelta.
        (dict(k_duration=timedelta(hours=-1), gw_fraction=0.5, initial_q=0.0, num_reservoir=1.0),
         "argument 'num_reservoir': "),
        (dict(k_duration=timedelta(hours=-1), gw_fraction="x", initial_q=0.0),
         "argument 'gw_fraction': "),
    ],
)
def test_argument_conversion_errors(kwargs, message):
    with pytest.raises(TypeError) as info:
        LinearReservoir(**kwargs)
    assert str(info.value).startswith(message)


def test_negative_count_is_a_conversion_error_not_a_range_check():
    with pytest.raises(OverflowError):
        LinearReservoir(HOUR, 0.5, 0.0, -1)


def test_negative_k_duration_is_an_unprefixed_value_error():
    with pytest.raises(ValueError) as info:
        LinearReservoir(timedelta(hours=-1), 0.5, 0.0)
    assert not str(info.value).startswith("argument")
    assert str(info.value) != "k_duration must be > 0"


def test_setters_store_without_checks():
    res = layer()
    res.num_reservoir = 0
    res.gw_fraction = 2.0
    res.initial_q = 7  # any float-convertible value
    assert (res.num_reservoir, res.gw_fraction, res.initial_q) == (0, 2.0, 7.0)
    assert type(res.initial_q) is float


@pytest.mark.parametrize("name", ["gw_fraction", "initial_q", "num_reservoir"])
def test_writable_attributes_cannot_be_deleted(name):
    res = layer()
    with pytest.raises(AttributeError) as info:
        delattr(res, name)
    assert str(info.value) == "property has no deleter"


def test_k_duration_is_read_only():
    res = layer()
    with pytest.raises(AttributeError):
        res.k_duration = timedelta(hours=2)
    with pytest.raises(AttributeError):
        del res.k_duration
    assert res.k_duration == HOUR


def test_setter_converts_like_the_constructor():
    res = layer()
    with pytest.raises(TypeError):
        res.gw_fraction = "half"
    with pytest.raises(OverflowError):
        res.num_reservoir = -1
    assert (res.gw_fraction, res.num_reservoir) == (1.0, 1)


def test_cannot_be_subclassed():
    with pytest.raises(TypeError):
        type("Derived", (LinearReservoir,), {})
