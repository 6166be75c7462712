"""Clark unit hydrograph: vesparil.rainfall_transform.run_clark_uh."""

import math
from datetime import timedelta

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vesparil

ContinuousTimeSeries = vesparil.utils.ContinuousTimeSeries
IncrementalTimeSeries = vesparil.utils.IncrementalTimeSeries

clark = vesparil.rainfall_transform.run_clark_uh
HOUR = timedelta(hours=1)


def rain(values, step=HOUR, kind="rainfall"):
    return IncrementalTimeSeries(values, step, kind)


def seconds(duration):
    return duration.days * 86400 + duration.seconds + duration.microseconds * 1000 / 1e9


def clark_reference(rainfall, step, area, tc, r):
    """Time-area ordinates, linear reservoir (Muskingum, x = 0), convolution, in model order."""
    dt = float(step)
    if not (step > 0 and tc > 0.0):
        return [0.0] * len(rainfall)
    n = math.ceil(tc / dt)
    ordinates, previous = [], 0.0
    for i in range(1, n + 1):
        t = min((i * dt) / tc, 1.0)
        a = t ** 1.5 * 1.414 if t < 0.5 else (1.0 - t) ** 1.5 * -1.414 + 1.0
        ordinates.append(((a - previous) * area * 1.00833) / (dt / 3600.0))
        previous = a
    two_k = r + r
    a = (1.0 - 0.0) * two_k
    b = two_k * 0.0
    e = dt + a
    c0, c1, c2 = (dt - b) / e, (b + dt) / e, (a - dt) / e
    unit = [0.0]
    for j in range(1, n):
        unit.append(c2 * unit[j - 1] + (c0 * ordinates[j] + c1 * ordinates[j - 1]))
    q = [0.0] * (len(rainfall) + n - 1)
    for i, p in enumerate(rainfall):
        if p != 0.0:
            for j, u in enumerate(unit):
                q[i + j] = u * p + q[i + j]
    return q


def same(actual, expected):
    return len(actual) == len(expected) and all(
        a == e or (math.isnan(a) and math.isnan(e)) for a, e in zip(actual, expected)
    )


def test_four_ordinates_hand_computed():
    # tc = 4 steps: t = 0.25, 0.5, 0.75, 1.0. Area 2 acres, dt_h = 1.
    a = [0.25 ** 1.5 * 1.414, 0.5 ** 1.5 * -1.414 + 1.0, 0.25 ** 1.5 * -1.414 + 1.0, 1.0]
    assert a[0] == 0.125 * 1.414 == pytest.approx(0.17675)
    assert a[2] == pytest.approx(0.82325)
    t = [((a[0] - 0.0) * 2.0 * 1.00833) / 1.0]
    t += [((a[i] - a[i - 1]) * 2.0 * 1.00833) / 1.0 for i in (1, 2, 3)]
    # 2R = dt: C0 = C1 = 3600/7200 = 0.5, C2 = 0.
    u = [0.0] + [0.5 * t[j] + 0.5 * t[j - 1] for j in (1, 2, 3)]
    result = clark(rain([2.0, 0.0, 0.5], kind="volume"), 2.0, timedelta(hours=4),
                   timedelta(minutes=30))
    # Runoff starts one step after the rain (U[0] = 0); each Q[k] sums in ascending i.
    assert result.data == [0.0, u[1] * 2.0, u[2] * 2.0, u[1] * 0.5 + u[3] * 2.0, u[2] * 0.5,
                           u[3] * 0.5]
    assert result.kind == "discharge" and result.time_step == HOUR


@pytest.mark.parametrize("tc", [HOUR, timedelta(minutes=30), timedelta(microseconds=1)])
def test_tc_within_one_step_gives_zeros(tc):
    assert clark(rain([1.0, 2.0, 3.0]), 100.0, tc, HOUR).data == [0.0, 0.0, 0.0]


def test_zero_tc_gives_zeros_even_for_nan_rain():
    assert clark(rain([1.0, math.nan, 3.0]), 100.0, timedelta(0), HOUR).data == [0.0] * 3
    assert clark(rain([]), 100.0, timedelta(0), HOUR).data == []


def test_empty_rainfall_gives_n_minus_one_zeros():
    assert clark(rain([]), 100.0, timedelta(hours=4), HOUR).data == [0.0] * 3


def test_nan_rain_spreads_over_n_outputs():
    q = clark(rain([0.0, math.nan, 0.0, 1.0]), 100.0, timedelta(hours=4), HOUR).data
    assert [math.isnan(v) for v in q] == [False, True, True, True, True, False, False]


def test_zero_rain_of_either_sign_is_skipped():
    # An infinite area makes the ordinates inf and NaN; skipped steps never touch them.
    assert clark(rain([0.0, -0.0]), math.inf, timedelta(hours=4), timedelta(minutes=30)).data \
        == [0.0] * 5
    assert any(math.isnan(v) for v in
               clark(rain([1.0]), math.inf, timedelta(hours=4), timedelta(minutes=30)).data)


positive = st.one_of(st.just(0.0), st.floats(1e-3, 10.0))


@settings(max_examples=100, deadline=None)
@given(rainfall=st.lists(positive, max_size=20), area=st.floats(1.0, 1e5),
       tc_steps=st.integers(1, 30), r=st.timedeltas(min_value=timedelta(0),
                                                    max_value=timedelta(days=2)))
def test_linear_in_rainfall(rainfall, area, tc_steps, r):
    # Doubling is exact in binary, so twice the rain gives exactly twice the runoff.
    once = clark(rain(rainfall), area, tc_steps * HOUR, r).data
    twice = clark(rain([2.0 * p for p in rainfall]), area, tc_steps * HOUR, r).data
    assert twice == [2.0 * q for q in once]


values = st.floats(-5.0, 5.0) | st.sampled_from([0.0, -0.0, math.nan])


@settings(max_examples=200, deadline=None)
@given(
    rainfall=st.lists(values, max_size=25),
    step=st.integers(1, 86400),
    area=st.floats(-1e3, 1e6),
    tc_steps=st.integers(0, 40).map(float) | st.floats(0.0, 40.0),
    r=st.timedeltas(min_value=timedelta(0), max_value=timedelta(days=5)),
)
def test_matches_reference_bit_for_bit(rainfall, step, area, tc_steps, r):
    tc = timedelta(seconds=step * tc_steps)
    result = clark(rain(rainfall, step=timedelta(seconds=step)), area, tc, r)
    assert same(result.data, clark_reference(rainfall, step, area, seconds(tc), seconds(r)))


@pytest.mark.parametrize(
    "args, error, message",
    [
        (("abc", 1.0, HOUR, HOUR), TypeError,
         "argument 'rainfall': 'str' object is not an instance of 'IncrementalTimeSeries'"),
        ((ContinuousTimeSeries([1.0], HOUR, "rainfall"), 1.0, HOUR, HOUR), TypeError,
         "argument 'rainfall': 'ContinuousTimeSeries' object is not an instance of "
         "'IncrementalTimeSeries'"),
        ((rain([1.0]), None, HOUR, HOUR), TypeError, "argument 'basin_area': "),
        ((rain([1.0]), 1.0, 3600, HOUR), TypeError,
         "argument 'tc': 'int' object is not an instance of 'timedelta'"),
        ((rain([1.0]), 1.0, HOUR, None), TypeError,
         "argument 'storage_r': 'None' is not an instance of 'timedelta'"),
        # Type checks of every argument come before the negative-duration check.
        ((rain([1.0]), 1.0, -HOUR, 5), TypeError,
         "argument 'storage_r': 'int' object is not an instance of 'timedelta'"),
    ],
)
def test_argument_conversion_errors(args, error, message):
    with pytest.raises(error) as info:
        clark(*args)
    assert type(info.value) is error and str(info.value).startswith(message)


@pytest.mark.parametrize("tc, r", [(-HOUR, HOUR), (HOUR, timedelta(microseconds=-1))])
def test_negative_durations_are_value_errors(tc, r):
    with pytest.raises(ValueError) as info:
        clark(rain([1.0]), 1.0, tc, r)
    assert not str(info.value).startswith("argument")
