"""Time-series classes: disaggregate, in worked cases, its errors and against a reference."""

import math
from datetime import timedelta

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from time_series_helpers import (HOUR, KINDS, ContinuousTimeSeries, IncrementalTimeSeries,
                                 raised, same_values)


def disaggregate_reference(values, step, target):
    ratio = float(target) / float(step)
    shares = step // target
    out = []
    for value in values:
        share = value * ratio
        out.extend([share] * shares)
    return out


@pytest.mark.parametrize("kind", KINDS)
def test_disaggregate_worked_example(kind):
    source = IncrementalTimeSeries([1.2, 0.6], HOUR, kind)
    fine = source.disaggregate(900)
    assert type(fine) is IncrementalTimeSeries
    assert fine.data == [1.2 * 0.25] * 4 + [0.6 * 0.25] * 4
    assert fine.time_step == timedelta(minutes=15)
    assert fine.kind == kind
    assert fine.total_duration() == source.total_duration()
    assert source.data == [1.2, 0.6] and source.time_step == HOUR


def test_disaggregate_multiplies_by_the_ratio_not_divides_by_the_count():
    # ratio = 1200.0 / 3600.0 rounds below 1/3, so 5 * ratio = 1.6666666666666665
    # while 5 / 3 = 1.6666666666666667.
    fine = IncrementalTimeSeries([5.0], HOUR, "rainfall").disaggregate(1200)
    assert 1.6666666666666665 != 5.0 / 3.0
    assert fine.data == [1.6666666666666665] * 3


def test_disaggregate_to_the_same_step_multiplies_by_one():
    values = [0.5, -0.0, math.nan, math.inf, -2.0]
    same = IncrementalTimeSeries(values, HOUR, "volume").disaggregate(3600)
    assert same_values(same.data, [v * 1.0 for v in values])
    assert same.time_step == HOUR


def test_disaggregate_empty_series():
    fine = IncrementalTimeSeries([], HOUR, "rainfall").disaggregate(60)
    assert fine.data == []
    assert fine.time_step == timedelta(minutes=1)
    assert fine.kind == "rainfall"


def test_disaggregate_from_a_subclass_returns_the_base_class():
    class Sub(IncrementalTimeSeries):
        pass

    fine = Sub([2.0], HOUR, "rainfall").disaggregate(1800)
    assert type(fine) is IncrementalTimeSeries
    assert fine.data == [1.0, 1.0]


@pytest.mark.parametrize(
    "step, target, message",
    [
        (HOUR, 29, "target_step must be >= 30 seconds."),
        (HOUR, 0, "target_step must be >= 30 seconds."),
        (HOUR, -3600, "target_step must be >= 30 seconds."),
        (timedelta(seconds=20), 10, "target_step must be >= 30 seconds."),  # a divisor, still too small
        (HOUR, 7000, "Original time_step (3600) must be a multiple of target_step (7000)."),
        (HOUR, 7200, "Original time_step (3600) must be a multiple of target_step (7200)."),
        (HOUR, 1700, "Original time_step (3600) must be a multiple of target_step (1700)."),
        (timedelta(seconds=20), 40, "Original time_step (20) must be a multiple of target_step (40)."),
        (timedelta(days=30000), 30, "Original time_step (2147483647) must be a multiple of target_step (30)."),
    ],
)
def test_disaggregate_errors(step, target, message):
    error = raised(lambda: IncrementalTimeSeries([1.0], step, "rainfall").disaggregate(target))
    assert type(error) is ValueError
    assert str(error) == message


def test_disaggregate_argument_error_names_target_step():
    error = raised(lambda: IncrementalTimeSeries([1.0], HOUR, "rainfall").disaggregate(30.0))
    assert type(error) is TypeError
    assert str(error).startswith("argument 'target_step': ")


def test_continuous_series_has_no_disaggregate():
    assert not hasattr(ContinuousTimeSeries([1.0], HOUR, "discharge"), "disaggregate")


finite_or_not = st.floats(allow_nan=True, allow_infinity=True, width=64)


@settings(max_examples=300, deadline=None)
@given(
    values=st.lists(finite_or_not, max_size=20),
    target=st.integers(min_value=30, max_value=100_000),
    shares=st.integers(min_value=1, max_value=40),
    kind=st.sampled_from(KINDS),
)
def test_disaggregate_matches_reference(values, target, shares, kind):
    step = target * shares
    fine = IncrementalTimeSeries(values, timedelta(seconds=step), kind).disaggregate(target)
    assert same_values(fine.data, disaggregate_reference(values, step, target))
    assert fine.time_step == timedelta(seconds=target)
    assert fine.kind == kind
