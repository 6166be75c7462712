"""Deficit-and-constant loss: vesparil.rainfall_loss.run_deficit_and_constant."""

import math
from datetime import timedelta

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vesparil

ContinuousTimeSeries = vesparil.utils.ContinuousTimeSeries
IncrementalTimeSeries = vesparil.utils.IncrementalTimeSeries

run = vesparil.rainfall_loss.run_deficit_and_constant
HOUR = timedelta(hours=1)


def rain(values, step=HOUR, kind="rainfall"):
    return IncrementalTimeSeries(values, step, kind)


def nan_min(a, b):
    return b if math.isnan(a) else a if math.isnan(b) else min(a, b)


def nan_max(a, b):
    return b if math.isnan(a) else a if math.isnan(b) else max(a, b)


def loss_reference(rainfall, step_seconds, initial_deficit, max_deficit, rate, dry_seconds):
    """The loss loop in the model's operation order; returns (excess, loss, deficit)."""
    dt_h = float(step_seconds) / 3600.0
    f = 1.0 - math.exp(dt_h / (dry_seconds / -3600.0)) if dry_seconds > 0.0 else 0.0
    cap = rate * dt_h
    d = initial_deficit
    excess, loss, deficit = [], [], []
    for p in rainfall:
        g = nan_max(max_deficit - d, 0.0)
        d = nan_min(g * f + d, max_deficit)
        e = l = 0.0
        if p > 0.0:
            cl = nan_min(p, cap)
            r = p - cl
            fill = nan_min(r, d)
            d = d - fill
            e, l = r - fill, fill + cl
        excess.append(e)
        loss.append(l)
        deficit.append(d)
    return excess, loss, deficit


def same(actual, expected):
    return len(actual) == len(expected) and all(
        a == e or (math.isnan(a) and math.isnan(e)) for a, e in zip(actual, expected)
    )


def series(result):
    return result.excess.data, result.loss.data, result.deficit.data


def test_result_series_shape():
    result = run(rain([0.2, 0.0], step=timedelta(minutes=15), kind="volume"), 0.1, 1.0, 0.5, HOUR)
    for s in (result.excess, result.loss, result.deficit):
        assert s.kind == "rainfall" and s.time_step == timedelta(minutes=15) and len(s.data) == 2
    assert result.excess is not result.excess


def test_empty_rainfall():
    result = run(rain([], step=timedelta(hours=6)), 0.5, 1.0, 0.1, HOUR)
    assert series(result) == ([], [], [])
    assert result.deficit.time_step == timedelta(hours=6)


def test_no_drying_constant_loss_first_then_excess():
    # f = 0, D = 0, cap = 0.1 * 1.0: rain 0.5 pays 0.1, the remaining 0.5 - 0.1 is excess;
    # rain 0.05 below the cap is all loss.
    result = run(rain([0.5, 0.05]), 0.0, 1.0, 0.1, timedelta(0))
    assert series(result) == ([0.5 - 0.1, 0.0], [0.0 + 0.1, 0.0 + 0.05], [0.0, 0.0])


def test_deficit_above_maximum_is_cut_before_rain():
    # D = min(max(0.5 - 2, 0) * 0 + 2, 0.5) = 0.5; rain 1.0 fills 0.5, the other 0.5 is excess.
    result = run(rain([1.0]), 2.0, 0.5, 0.0, timedelta(0))
    assert series(result) == ([0.5], [0.5], [0.0])


def test_dry_steps_recover_towards_maximum():
    # One-hour step and drying time: f = 1 - e^-1; 0, negative and NaN rain produce nothing.
    f = 1.0 - math.exp(1.0 / -1.0)
    d1 = 1.0 * f + 0.0
    d2 = (1.0 - d1) * f + d1
    d3 = (1.0 - d2) * f + d2
    result = run(rain([0.0, -1.0, math.nan]), 0.0, 1.0, 0.1, HOUR)
    assert series(result) == ([0.0] * 3, [0.0] * 3, [d1, d2, d3])
    assert d1 == pytest.approx(0.6321205588, abs=1e-10)


def test_recovered_deficit_filled_before_excess():
    f = 1.0 - math.exp(1.0 / -1.0)
    result = run(rain([1.0]), 0.0, 1.0, 0.0, HOUR)
    assert series(result) == ([(1.0 - 0.0) - f], [f + 0.0], [f - f])


def test_nan_deficit_is_replaced_by_maximum():
    result = run(rain([0.0, 0.3]), math.nan, 1.0, 0.0, timedelta(0))
    assert series(result) == ([0.0, 0.0], [0.0, 0.3], [1.0, 1.0 - 0.3])


@settings(max_examples=100, deadline=None)
@given(
    rainfall=st.lists(st.floats(1e-6, 5.0), max_size=30),
    initial_deficit=st.floats(0.0, 3.0),
    max_deficit=st.floats(0.0, 3.0),
    rate=st.floats(0.0, 2.0),
)
def test_mass_balance(rainfall, initial_deficit, max_deficit, rate):
    result = run(rain(rainfall), initial_deficit, max_deficit, rate, timedelta(hours=12))
    for p, e, l in zip(rainfall, result.excess.data, result.loss.data):
        assert e + l == pytest.approx(p, rel=1e-12, abs=1e-15)
        assert e >= 0.0 and l >= 0.0


values = st.floats(-10.0, 10.0) | st.sampled_from([0.0, -0.0, math.nan, math.inf])


@settings(max_examples=300, deadline=None)
@given(
    rainfall=st.lists(values, max_size=30),
    step=st.integers(1, 3 * 86400),
    initial_deficit=values,
    max_deficit=values,
    rate=values,
    time_to_dry=st.timedeltas(min_value=timedelta(0), max_value=timedelta(days=30)),
)
def test_matches_reference_bit_for_bit(rainfall, step, initial_deficit, max_deficit, rate,
                                       time_to_dry):
    result = run(rain(rainfall, step=timedelta(seconds=step)), initial_deficit, max_deficit,
                 rate, time_to_dry)
    dry = time_to_dry.days * 86400 + time_to_dry.seconds + time_to_dry.microseconds * 1000 / 1e9
    expected = loss_reference(rainfall, step, initial_deficit, max_deficit, rate, dry)
    for actual, wanted in zip(series(result), expected):
        assert same(actual, wanted)


@pytest.mark.parametrize(
    "args, message",
    [
        (("abc", 0.0, 1.0, 0.1, HOUR),
         "argument 'rainfall': 'str' object is not an instance of 'IncrementalTimeSeries'"),
        ((ContinuousTimeSeries([1.0], HOUR, "rainfall"), 0.0, 1.0, 0.1, HOUR),
         "argument 'rainfall': 'ContinuousTimeSeries' object is not an instance of "
         "'IncrementalTimeSeries'"),
        ((rain([1.0]), None, 1.0, 0.1, HOUR), "argument 'initial_deficit': "),
        ((rain([1.0]), 0.0, "1", 0.1, HOUR), "argument 'max_deficit': "),
        ((rain([1.0]), 0.0, 1.0, None, HOUR), "argument 'constant_loss_per_hr': "),
        ((rain([1.0]), 0.0, 1.0, 0.1, 3600),
         "argument 'time_to_dry': 'int' object is not an instance of 'timedelta'"),
        ((rain([1.0]), 0.0, 1.0, 0.1, None),
         "argument 'time_to_dry': 'None' is not an instance of 'timedelta'"),
    ],
)
def test_argument_conversion_errors(args, message):
    with pytest.raises(TypeError) as info:
        run(*args)
    assert type(info.value) is TypeError and str(info.value).startswith(message)


def test_negative_drying_time_is_value_error():
    with pytest.raises(ValueError) as info:
        run(rain([1.0]), 0.0, 1.0, 0.1, timedelta(microseconds=-1))
    assert not str(info.value).startswith("argument")


def test_keywords_and_number_conversions():
    # True -> D = 1.0 = M; rain 2.0 with no constant loss fills 1.0, the rest is excess.
    result = run(time_to_dry=timedelta(0), constant_loss_per_hr=0, max_deficit=1,
                 initial_deficit=True, rainfall=rain([2.0]))
    assert series(result) == ([2.0 - 1.0], [1.0 + 0.0], [1.0 - 1.0])


def test_result_class_not_constructible():
    with pytest.raises(TypeError):
        vesparil.rainfall_loss.DeficitConstantResult()
