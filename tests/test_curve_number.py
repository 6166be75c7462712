"""SCS curve-number loss: vesparil.rainfall_loss.run_curve_number."""

import math
from datetime import timedelta

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vesparil

IncrementalTimeSeries = vesparil.utils.IncrementalTimeSeries
run = vesparil.rainfall_loss.run_curve_number
HOUR = timedelta(hours=1)


def rain(values, step=HOUR):
    return IncrementalTimeSeries(values, step, "rainfall")


# Chow, Maidment and Mays 1988, section 5.5, the worked example of the runoff equation: CN = 80,
# P = 5 in gives S = 2.5 in and Pe = 2.89 in (printed). The conversions of eqs. 5.5.9 and 5.5.10 give
# CN(I) = 62.7 and CN(III) = 90.2, and with them (same equation) Pe = 1.49 in and 3.90 in.
@pytest.mark.parametrize("condition, expected", [(2, 2.89), (1, 1.49), (3, 3.90)])
def test_published_runoff_depth(condition, expected):
    result = run(rain([5.0]), 80.0, antecedent_moisture=condition)
    assert round(result.excess.data[0], 2) == expected


def test_excess_hyetograph_follows_the_cumulative_runoff_equation():
    # 1 in per hour for five hours, CN 80: Ia = 0.5 in, so the first half-inch is all loss and
    # each later step's excess is the growth of (P - Ia)^2 / (P - Ia + S).
    result = run(rain([1.0] * 5), 80.0)
    cumulative = [0.0] + [(p - 0.5) ** 2 / (p - 0.5 + 2.5) for p in (1.0, 2.0, 3.0, 4.0, 5.0)]
    expected = [b - a for a, b in zip(cumulative, cumulative[1:])]
    assert result.excess.data == pytest.approx(expected, rel=1e-15)
    assert math.fsum(result.excess.data) == pytest.approx(2.892857142857143, rel=1e-15)


def test_initial_abstraction_ratio_is_applied():
    # lambda = 0.05 with S = 2.5 in: Ia = 0.125 in, so 0.2 in of rain already runs off.
    assert run(rain([0.2]), 80.0, 0.2).excess.data == [0.0]
    assert run(rain([0.2]), 80.0, 0.05).excess.data[0] == pytest.approx(0.075**2 / 2.575)


@settings(max_examples=60, deadline=None)
@given(st.lists(st.floats(0.0, 4.0), max_size=40), st.floats(30.0, 100.0),
       st.floats(0.0, 0.3), st.integers(1, 3))
def test_loss_plus_excess_is_rainfall_every_step(values, cn, ratio, condition):
    result = run(rain(values), cn, ratio, condition)
    for p, e, f in zip(values, result.excess.data, result.loss.data):
        assert 0.0 <= e <= p
        assert abs((e + f) - p) <= 1e-15 * max(p, 1.0)
    assert len(result.loss.data) == len(values)


@pytest.mark.parametrize("args, message", [
    ((0.0,), "curve_number must be > 0 and <= 100; got 0"),
    ((100.5,), "curve_number must be > 0 and <= 100; got 100.5"),
    ((80.0, -0.1), "initial_abstraction_ratio must be >= 0; got -0.1"),
    ((80.0, 0.2, 4), "antecedent_moisture must be 1, 2 or 3; got 4"),
])
def test_refused_parameters(args, message):
    with pytest.raises(ValueError) as error:
        run(rain([1.0]), *args)
    assert str(error.value) == message



NAN = math.nan
METHODS = {
    "curve number": lambda r, *a: run(r, *(a or (80.0,))),
    "Green-Ampt": lambda r, *a: vesparil.rainfall_loss.run_green_ampt(r, *(a or (0.43,)), 4.33,
                                                                       0.288),
    "deficit and constant": lambda r: vesparil.rainfall_loss.run_deficit_and_constant(
        r, 0.2, 1.0, 0.1, HOUR),
}


# A NaN rain step refuses the call in both event losses (the curve number used to turn all later
# rain into loss, Green-Ampt to take NaN for no rain), found where it makes the running state NaN
# (past a block of 4096 steps too, and after a cumulative depth made NaN by inf - inf); the
# parameters are checked first. The deficit-and-constant model keeps counting NaN as no rain.
@pytest.mark.parametrize("method, values, parameters, message", [
    ("curve number", [1.0, NAN, 1.0, 2.0, 3.0], (), "at index 1"),
    ("Green-Ampt", [1.0, NAN, 1.0, 2.0, 3.0], (), "at index 1"),
    ("curve number", [NAN, 0.0, NAN], (), "at index 0"),
    ("Green-Ampt", [0.0, 0.0, 0.5, NAN], (), "at index 3"),
    ("curve number", [0.01] * 5000 + [NAN] + [0.5] * 10, (), "at index 5000"),
    ("Green-Ampt", [0.01] * 5000 + [NAN] + [0.5] * 10, (), "at index 5000"),
    ("curve number", [math.inf, -math.inf] + [0.5] * 5000 + [NAN], (), "at index 5002"),
    ("curve number", [NAN], (0.0,), "curve_number must be > 0 and <= 100; got 0"),
    ("Green-Ampt", [NAN], (0.0,), "hydraulic_conductivity must be > 0; got 0"),
    ("deficit and constant", [1.0, NAN, 1.0], (), None),
])
def test_nan_rain(method, values, parameters, message):
    if message is None:
        result = METHODS[method](rain(values), *parameters)
        assert (result.excess.data[1], result.loss.data[1]) == (0.0, 0.0)
        return
    with pytest.raises(ValueError) as error:
        METHODS[method](rain(values), *parameters)
    if message.startswith("at index"):
        message = "rainfall has a missing value (NaN) " + message
    assert str(error.value) == message
