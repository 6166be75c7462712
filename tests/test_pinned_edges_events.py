"""Edges of the event losses and Snyder that a changed rule would pass unseen: the curve number's
bounds on each step's excess, its ratio's checks and CN = 100, Green-Ampt without suction,
Snyder's infinite parameters and its sketch losing points out of time order."""

import math
from datetime import timedelta

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vesparil

I = vesparil.utils.IncrementalTimeSeries  # noqa: E741
C = vesparil.utils.ContinuousTimeSeries
ru = vesparil.reservoir.reservoir_utils
loss = vesparil.rainfall_loss
transform = vesparil.rainfall_transform
HOUR = timedelta(hours=1)


def rain(values, step=HOUR):
    return I(values, step, "rainfall")


# --- curve number -------------------------------------------------------------------------

# The rainfall is not range-checked: a negative step is taken as it is and gives no excess; any
# other step's excess lies in [0, its rain], and loss + excess is the rain.
@settings(max_examples=80, deadline=None)
@given(st.lists(st.one_of(st.floats(-2.0, 4.0), st.floats(0.0, 1e-4), st.just(0.0)),
                max_size=40),
       st.floats(1.0, 100.0), st.floats(0.0, 0.3), st.integers(1, 3))
def test_curve_number_excess_stays_within_each_step(values, cn, ratio, condition):
    split = loss.run_curve_number(rain(values), cn, ratio, condition)
    for p, e, f in zip(values, split.excess.data, split.loss.data, strict=True):
        assert 0.0 <= e <= max(p, 0.0)
        assert f == p - e


@pytest.mark.parametrize("ratio, message", [
    (math.nan, "initial_abstraction_ratio must be >= 0; got NaN"),
    (-math.inf, "initial_abstraction_ratio must be >= 0; got -inf"),
])
def test_curve_number_refuses_a_nan_or_negative_infinite_ratio(ratio, message):
    for call in (lambda: loss.run_curve_number(rain([1.0]), 80.0, ratio),
                 lambda: vesparil.basin.CurveNumber(80.0, ratio)):
        with pytest.raises(ValueError) as error:
            call()
        assert str(error.value) == message


# CN = 100: S = 0 and Ia = 0, so Pe = P and all rain is excess. Where the cumulative depths are
# exact that holds to the bit; elsewhere a step keeps what the rounding of the cumulative depth
# holds back (it comes out later), never more.
@pytest.mark.parametrize("values, exact", [
    ([0.5, 1.25, 0.0, 2.0, 0.125], True),
    ([0.1, 0.2, 0.3, 3.7, 1e-5, 0.0, 2.9], False),
    ([100.0, 1e-5, 3e-6, 0.02], False),
])
@pytest.mark.parametrize("ratio", [0.2, 0.0, 0.05])
def test_curve_number_100_makes_all_rain_excess(values, exact, ratio):
    split = loss.run_curve_number(rain(values), 100.0, ratio)
    if exact:
        assert split.excess.data == values and split.loss.data == [0.0] * len(values)
    total = 0.0
    for p, e in zip(values, split.excess.data):
        total += p
        assert 0.0 <= p - e <= 4 * math.ulp(total)
    assert abs(math.fsum(split.excess.data) - math.fsum(values)) <= 4 * math.ulp(total)


# With CN = 100 (S = 0) an infinite ratio made Ia = inf x 0 = NaN: all rain became loss.
def test_curve_number_refuses_an_infinite_ratio():
    with pytest.raises(ValueError, match="^initial_abstraction_ratio must be finite; got inf$"):
        loss.run_curve_number(rain([1.0, 0.5]), 100.0, math.inf)


# --- Green-Ampt without suction -----------------------------------------------------------

# p = psi dtheta = 0 (either factor 0): the ponded equation is F' = F + K dt, so a step loses
# (F + K dt) - F once its rain rate reaches K (from the start when F > 0), else all of its rain.
def zero_suction_losses(values, k, hours, f):
    losses = []
    for p in values:
        if p <= 0.0:
            losses.append(0.0)
            continue
        i = p / hours
        to, taken = f + p, p
        if i > k or (f > 0.0 and k <= i):
            to = f + k * hours
            to, taken = (f + p, p) if to - f > p else (to, to - f)
        losses.append(taken)
        f = to
    return losses


@pytest.mark.parametrize("suction, deficit", [(0.0, 0.3), (4.3, 0.0), (0.0, 0.0)])
@pytest.mark.parametrize("values, seconds, k, f0", [
    ([0.2, 0.8, 0.5, 1.5, 0.0, 0.3, 0.5], 3600, 0.5, 0.0),
    ([0.2, 0.8, 0.5, 1.5, 0.0, 0.3, 0.5], 3600, 0.5, 1.7),
    ([0.05, 0.3, 0.125, 0.0, 0.4], 900, 0.5, 0.0),
    ([0.05, 0.3, 0.125, 0.0, 0.4], 900, 0.5, 0.3),
    ([0.8, 0.2, 1.5, 0.6], 3600, 0.5, 0.0),    # ponding within the first step, from F = 0
])
def test_green_ampt_ponding_without_suction(suction, deficit, values, seconds, k, f0):
    split = loss.run_green_ampt(rain(values, timedelta(seconds=seconds)), k, suction, deficit, f0)
    expected = zero_suction_losses(values, k, seconds / 3600, f0)
    assert split.loss.data == expected
    assert split.excess.data == [p - f for p, f in zip(values, expected)]
    assert any(e > 0.0 for e in split.excess.data)


# --- Snyder -------------------------------------------------------------------------------

SNYDER = (6400.0, 1.8, 0.6, 12.0, 5.0)


@pytest.mark.parametrize("index, value, message", [
    (0, math.inf, "basin_area must be > 0; got inf"),
    (1, -math.inf, "ct must be > 0; got -inf"),
    (2, math.inf, "cp must be > 0; got inf"),
    (3, math.inf, "stream_length must be > 0; got inf"),
    (4, math.inf, "centroid_length must be > 0; got inf"),
])
def test_snyder_refuses_infinite_parameters(index, value, message):
    args = list(SNYDER)
    args[index] = value
    calls = [lambda: transform.calculate_snyder_parameters(*args),
             lambda: transform.run_snyder_uh(rain([1.0]), *args)]
    if index:
        calls.append(lambda: vesparil.basin.Snyder(*args[1:]))
    for call in calls:
        with pytest.raises(ValueError) as error:
            call()
        assert str(error.value) == message


def sketch_by_hand(area, ct, cp, length, centroid, t_r, rule):
    """Chow eqs. 7.7.1-7.7.8: the seven points, each kept only when later than the last kept."""
    tp = (1.0 * ct) * (length * centroid) ** 0.3
    tp_r = tp - (tp / 5.5 - t_r) / 4.0
    qp_r = (640.0 * cp) / tp_r
    w75, w50 = 440.0 * qp_r ** -1.08, 770.0 * qp_r ** -1.08
    peak_time, qp = t_r / 2.0 + tp_r, qp_r * (area / 640.0)
    base = 1290.0 / qp_r if rule == "triangle" else 4.0 * peak_time
    points = [(0.0, 0.0), (peak_time - w50 / 3.0, qp * 0.5), (peak_time - w75 / 3.0, qp * 0.75),
              (peak_time, qp), (peak_time + (2.0 * w75) / 3.0, qp * 0.75),
              (peak_time + (2.0 * w50) / 3.0, qp * 0.5), (base, 0.0)]
    kept = [points[0]]
    for point in points[1:]:
        if point[0] > kept[-1][0]:
            kept.append(point)
    return points, kept


# A small Cp makes the widths long: the rising points fall before 0, and four peak times end
# before the falling half-peak point, so the sketch ends there and the hydrograph is cut.
@pytest.mark.parametrize("cp, rule, left_out", [
    (0.05, "triangle", [1, 2]),
    (0.05, "small_watershed", [1, 2, 6]),
    (0.2, "triangle", [1]),
    (0.15, "small_watershed", [1, 2, 6]),
    (0.6, "small_watershed", []),
])
def test_snyder_sketch_leaves_out_points_out_of_time_order(cp, rule, left_out):
    area, ct, _, length, centroid = SNYDER
    points, kept = sketch_by_hand(area, ct, cp, length, centroid, 1.0, rule)
    assert [p for p in points if p not in kept] == [points[i] for i in left_out]
    sheet = transform.calculate_snyder_parameters(area, ct, cp, length, centroid, HOUR,
                                                  time_base=rule)
    assert sheet.sketch == kept
    unit = transform.run_snyder_uh(rain([1.0]), area, ct, cp, length, centroid,
                                   time_base=rule).data
    assert len(unit) == math.ceil(kept[-1][0])
    assert unit[-1] == 0.0 and (unit[-2] > 0.4 * max(unit)) == (6 in left_out)
    assert abs(math.fsum(unit) / (area * 1.00833) - 1.0) < 1e-12
