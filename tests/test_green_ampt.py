"""Green-Ampt loss: vesparil.rainfall_loss.run_green_ampt.

Chow, Maidment and Mays 1988 work in centimetres; every length of the method is in one unit and
its times in hours, so their numbers go in as given and come out in centimetres.
"""

from datetime import timedelta

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vesparil

IncrementalTimeSeries = vesparil.utils.IncrementalTimeSeries
run = vesparil.rainfall_loss.run_green_ampt


def rain(values, step):
    return IncrementalTimeSeries(values, step, "rainfall")


def test_published_ponded_infiltration():
    # Chow example 4.3.1: silt loam, K = 0.65 cm/h, psi = 16.68 cm, theta_e = 0.486, s_e = 0.3,
    # ponded from the start: F = 3.17 cm after one hour. Rain far above K ponds at once.
    loss = run(rain([1000.0], timedelta(hours=1)), 0.65, 16.68, (1 - 0.3) * 0.486).loss.data
    assert round(loss[0], 2) == 3.17


@pytest.mark.parametrize("intensity, seconds, ponding_h", [(1.0, 36, 0.49), (5.0, 3, 0.019)])
def test_published_ponding_time(intensity, seconds, ponding_h):
    # Chow example 4.4.1: silty clay, K = 0.05 cm/h, psi = 29.22 cm, theta_e = 0.423, s_e = 0.25;
    # ponding at 0.49 h under 1 cm/h and at 0.019 h (1.1 min) under 5 cm/h: the first step with
    # excess is the one ending there.
    step, step_h = timedelta(seconds=seconds), seconds / 3600
    excess = run(rain([intensity * step_h] * 100, step), 0.05, 29.22, 0.75 * 0.423).excess.data
    first = next(i for i, e in enumerate(excess) if e > 0.0)
    assert round((first + 1) * step_h, 3) == ponding_h
    assert all(e == 0.0 for e in excess[:first])


@settings(max_examples=60, deadline=None)
@given(st.lists(st.floats(0.0, 3.0), max_size=40), st.floats(0.01, 5.0), st.floats(0.0, 12.0),
       st.floats(0.0, 0.5), st.sampled_from([60, 900, 3600]))
def test_loss_plus_excess_is_rainfall_every_step(values, k, psi, deficit, seconds):
    result = run(rain(values, timedelta(seconds=seconds)), k, psi, deficit)
    for p, e, f in zip(values, result.excess.data, result.loss.data):
        assert 0.0 <= f <= p and e >= 0.0
        assert abs((e + f) - p) <= 1e-15 * max(p, 1.0)


def test_infiltration_capacity_only_falls():
    # Under steady ponding the step losses decrease toward K dt.
    loss = run(rain([2.0] * 48, timedelta(hours=1)), 0.2, 6.0, 0.3).loss.data
    assert all(b <= a for a, b in zip(loss[1:], loss[2:]))
    assert 0.2 < loss[-1] < 0.25


@pytest.mark.parametrize("args, message", [
    ((0.0, 1.0, 0.3), "hydraulic_conductivity must be > 0; got 0"),
    ((0.1, -1.0, 0.3), "suction_head must be >= 0; got -1"),
    ((0.1, 1.0, 1.5), "moisture_deficit must be between 0 and 1; got 1.5"),
    ((0.1, 1.0, 0.3, -0.5), "initial_infiltration must be >= 0; got -0.5"),
])
def test_refused_parameters(args, message):
    with pytest.raises(ValueError) as error:
        run(rain([1.0], timedelta(hours=1)), *args)
    assert str(error.value) == message
