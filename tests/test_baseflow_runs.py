"""Baseflow layers: run_linear_reservoir in worked cases and against the recurrence written out."""

import math
from datetime import timedelta

import pytest
from baseflow_helpers import (HOUR, ContinuousTimeSeries, IncrementalTimeSeries, LinearReservoir,
                              layer, rain, run_linear_reservoir)
from hypothesis import given, settings
from hypothesis import strategies as st

ACRE_INCH_PER_HOUR = 1.00833  # cfs per (inch/hour over one acre), the rounded factor


def reference_layer(basin_area, rainfall, step_seconds, gw_fraction, initial_q, k_seconds, n):
    """The cascade recurrence written out with the operations in the model's order."""
    dt_hr = step_seconds / 3600.0
    half_step = 0.5 * dt_hr
    area_factor = basin_area * 1.00833
    k_per_res = (k_seconds / 3600.0) / n
    c = dt_hr / (k_per_res + half_step)
    d = 1.0 - c
    state = [initial_q] * n
    output = []
    for r in rainfall:
        flow = ((r * gw_fraction) / dt_hr) * area_factor
        for j in range(n):
            flow = state[j] * d + flow * c
            state[j] = flow
        output.append(flow)
    return output


# --- run_linear_reservoir: worked cases --------------------------------------------------------


def test_unit_pulse_through_one_reservoir():
    # K = dt = 1 h: C = 1 / (1 + 0.5) = 2/3, D = 1/3; inflow at the first step 1.00833 cfs.
    total, layers = run_linear_reservoir(1.0, rain([1.0, 0.0, 0.0]), {"a": layer()})
    c = 1.0 / 1.5
    d = 1.0 - c
    q0 = 0.0 * d + 1.00833 * c
    q1 = q0 * d + 0.0 * c
    q2 = q1 * d + 0.0 * c
    assert layers["a"].data == [q0, q1, q2]
    assert total.data == [q0, q1, q2]
    assert q0 == pytest.approx(0.67222, rel=1e-15)
    assert q1 == pytest.approx(0.2240733333333333, rel=1e-14)
    assert q2 == pytest.approx(0.0746911111111111, rel=1e-14)


@pytest.mark.parametrize("n", [1, 2, 3, 4])
def test_unit_pulse_through_a_cascade_is_a_discrete_gamma(n):
    # Each reservoir turns a pulse into C * D**t; n in series give the negative-binomial kernel
    # I * C**n * binom(t + n - 1, n - 1) * D**t.
    k_hours = float(n)  # one hour per reservoir, so C = 2/3 and D = 1/3 for every n
    steps = 12
    _, layers = run_linear_reservoir(
        1.0, rain([1.0] + [0.0] * (steps - 1)), {"a": layer(k_hours, num_reservoir=n)}
    )
    c, d = 2.0 / 3.0, 1.0 / 3.0
    expected = [
        ACRE_INCH_PER_HOUR * c**n * math.comb(t + n - 1, n - 1) * d**t for t in range(steps)
    ]
    assert layers["a"].data == pytest.approx(expected, rel=1e-12, abs=0.0)


def test_two_reservoirs_of_one_hour_each():
    _, layers = run_linear_reservoir(1.0, rain([1.0, 0.0, 0.0]), {"a": layer(2.0, num_reservoir=2)})
    assert layers["a"].data == pytest.approx([0.4481466666, 0.2987644444, 0.1493822222], rel=1e-9)


def test_mass_is_conserved_over_the_recession():
    # Summing Q[t] = C*I[t] + D*Q[t-1] over all t gives sum(Q) = sum(I) once the tail has drained.
    inflow = [0.5, 1.0, 0.25] + [0.0] * 400
    _, layers = run_linear_reservoir(640.0, rain(inflow), {"a": layer(6.0, 0.8, 0.0, 3)})
    expected = sum(((r * 0.8) / 1.0) * (640.0 * 1.00833) for r in inflow)
    assert math.fsum(layers["a"].data) == pytest.approx(expected, rel=1e-12)


def test_steady_inflow_equal_to_initial_q_stays_put():
    inflow_cfs = ((0.2 * 0.5) / 1.0) * (10.0 * 1.00833)
    _, layers = run_linear_reservoir(10.0, rain([0.2] * 50), {"a": layer(3.0, 0.5, inflow_cfs, 3)})
    assert layers["a"].data == pytest.approx([inflow_cfs] * 50, rel=1e-13)


def test_zero_reservoirs_pass_the_inflow_through():
    res = layer(1.0, 0.5)
    res.num_reservoir = 0  # only possible after construction
    _, layers = run_linear_reservoir(2.0, rain([1.0, 2.0]), {"a": res})
    assert layers["a"].data == [((r * 0.5) / 1.0) * (2.0 * 1.00833) for r in (1.0, 2.0)]


def test_k_of_half_a_step_is_stable_and_passes_the_inflow_through():
    # C = 1 / (0.5 + 0.5) = 1 and D = 0.
    _, layers = run_linear_reservoir(1.0, rain([1.0, 2.0]), {"a": layer(0.5)})
    assert layers["a"].data == [1.00833, 2.0 * 1.00833]


def test_result_series_shape():
    step = timedelta(minutes=15)
    reservoirs = {"deep": layer(2.0, 0.3)}
    total, layers = run_linear_reservoir(1.0, rain([0.1, 0.2, 0.3], step), reservoirs)
    assert type(total) is ContinuousTimeSeries and type(layers) is dict
    for series in (total, layers["deep"]):
        assert type(series) is ContinuousTimeSeries
        assert series.kind == "discharge" and series.time_step == step and len(series.data) == 3


def test_no_layers_gives_zero_total():
    total, layers = run_linear_reservoir(1.0, rain([1.0, 2.0, 3.0]), {})
    assert total.data == [0.0, 0.0, 0.0] and total.time_step == HOUR and total.kind == "discharge"
    assert layers == {}


def test_empty_rainfall_gives_empty_series():
    total, layers = run_linear_reservoir(1.0, rain([]), {"a": layer(), "b": layer(2.0, 0.0)})
    assert total.data == [] and layers["a"].data == [] and layers["b"].data == []


@pytest.mark.parametrize(
    "fractions, message",
    [
        ((0.6, 0.5), "Total fraction 1.1 > 1.0"),
        ((1.0, 1.0), "Total fraction 2 > 1.0"),
        ((0.6, 0.4000005), None),  # the sum is within the 1.000001 allowance
        ((1.0, -0.5, 0.5), None),  # negative shares are not refused
    ],
)
def test_total_fraction_check(fractions, message):
    reservoirs = {f"layer{i}": layer(2.0) for i in range(len(fractions))}
    for res, fraction in zip(reservoirs.values(), fractions):
        res.gw_fraction = fraction
    if message is None:
        run_linear_reservoir(1.0, rain([1.0]), reservoirs)
        return
    with pytest.raises(ValueError) as info:
        run_linear_reservoir(1.0, rain([1.0]), reservoirs)
    assert str(info.value) == message


def test_stability_check():
    # K per reservoir 1/3 h against half a step of 0.5 h.
    with pytest.raises(ValueError) as info:
        run_linear_reservoir(
            1.0, rain([1.0]), {"ok": layer(5.0, 0.2), "bad": layer(1.0, 0.2, 0.0, 3)}
        )
    assert str(info.value) == (
        "Stability Error: k_per_res (0.3333) < 0.5*dt (0.5000). Increase k_hr or num_reservoir."
    )


@pytest.mark.parametrize(
    "name, value, message",
    [
        ("basin_area", "x", "argument 'basin_area': "),
        ("rainfall", [1.0],
         "argument 'rainfall': 'list' object is not an instance of 'IncrementalTimeSeries'"),
        ("rainfall", "continuous",
         "argument 'rainfall': 'ContinuousTimeSeries' object is not an instance of "
         "'IncrementalTimeSeries'"),
        ("reservoirs", [], "argument 'reservoirs': 'list' object is not an instance of 'dict'"),
        ("reservoirs", {"a": 1.0}, "argument 'reservoirs': "),
        ("reservoirs", {1: "layer"}, "argument 'reservoirs': "),
    ],
)
def test_run_argument_errors(name, value, message):
    if value == "continuous":
        value = ContinuousTimeSeries([1.0], HOUR, "rainfall")
    elif value == {1: "layer"}:
        value = {1: layer()}
    kwargs = dict(basin_area=1.0, rainfall=rain([1.0]), reservoirs={"a": layer()})
    kwargs[name] = value
    with pytest.raises(TypeError) as info:
        run_linear_reservoir(**kwargs)
    assert str(info.value).startswith(message)


def test_run_copies_its_inputs():
    res = layer(2.0, 0.5)
    reservoirs = {"a": res}
    _, first = run_linear_reservoir(1.0, rain([1.0, 0.0]), reservoirs)
    assert res.gw_fraction == 0.5 and reservoirs == {"a": res}
    res.gw_fraction = 0.25
    _, second = run_linear_reservoir(1.0, rain([1.0, 0.0]), reservoirs)
    assert first["a"].data == [2.0 * v for v in second["a"].data]


# --- run_linear_reservoir: against the recurrence written out ----------------------------------


@st.composite
def baseflow_cases(draw):
    step = draw(st.integers(1, 7200))
    layers = {}
    for i in range(draw(st.integers(0, 3))):
        n = draw(st.integers(1, 9))
        # At least one step per reservoir keeps K per reservoir above half a step.
        k_seconds = draw(st.integers(n * step, n * step * 50))
        gw_fraction = draw(st.floats(0.0, 1.0 / 3.0))
        initial_q = draw(st.floats(0.0, 1e4))
        layers[f"layer{i}"] = (gw_fraction, initial_q, k_seconds, n)
    rainfall = draw(st.lists(st.floats(-1.0, 10.0), max_size=40))
    basin_area = draw(st.floats(0.0, 1e6))
    return basin_area, rainfall, step, layers


@pytest.mark.parametrize("steps", [1023, 1024, 1025, 2500])
@pytest.mark.parametrize("n", [3, 4, 5, 9])
def test_long_runs_match_the_recurrence_bit_for_bit(steps, n):
    # Long enough for the run to be routed in several pieces, and cascades of several groups.
    rainfall = [((i * 7919) % 101) / 25.0 if i % 3 else 0.0 for i in range(steps)]
    total, result = run_linear_reservoir(
        250.0, rain(rainfall), {"only": LinearReservoir(timedelta(hours=6 * n), 0.4, 2.5, n)}
    )
    expected = reference_layer(250.0, rainfall, 3600, 0.4, 2.5, 6 * n * 3600, n)
    assert result["only"].data == expected
    assert total.data == [v + 0.0 for v in expected]


def test_total_starts_from_positive_zero():
    # A layer of negative zeros sums to positive zeros, as 0.0 + (-0.0) does.
    total, result = run_linear_reservoir(
        10.0, rain([-0.0] * 3), {"a": LinearReservoir(timedelta(hours=5), 0.5, -0.0, 2)}
    )
    assert [math.copysign(1.0, v) for v in result["a"].data] == [-1.0] * 3
    assert [math.copysign(1.0, v) for v in total.data] == [1.0] * 3


@settings(max_examples=300, deadline=None)
@given(baseflow_cases())
def test_layers_match_the_recurrence_bit_for_bit(case):
    basin_area, rainfall, step, layers = case
    reservoirs = {
        name: LinearReservoir(timedelta(seconds=k), gw, q0, n)
        for name, (gw, q0, k, n) in layers.items()
    }
    total, result = run_linear_reservoir(
        basin_area, IncrementalTimeSeries(rainfall, timedelta(seconds=step), "rainfall"), reservoirs
    )
    assert sorted(result) == sorted(layers)
    for name, (gw, q0, k, n) in layers.items():
        assert result[name].data == reference_layer(basin_area, rainfall, step, gw, q0, k, n)
    # The total receives the layers in processing order, which is the order of the result dict.
    expected_total = [0.0] * len(rainfall)
    for series in result.values():
        expected_total = [v + t for v, t in zip(series.data, expected_total)]
    assert total.data == expected_total
    assert total.time_step == timedelta(seconds=step)


class SameTextKey(str):
    """A key equal only to itself, so a dict can hold two keys with the same text."""

    def __hash__(self):
        return 12345

    def __eq__(self, other):
        return self is other


def test_layer_names_are_text():
    rain = IncrementalTimeSeries([1.0, 0.0, 0.0], HOUR, "rainfall")

    # Names with a NUL survive whole and stay distinct.
    layers = {"a\0b": LinearReservoir(HOUR, 0.5, 0.0), "a\0c": LinearReservoir(HOUR, 0.5, 0.0)}
    total, by_layer = run_linear_reservoir(1.0, rain, layers)
    assert list(by_layer) == ["a\0b", "a\0c"]

    # Two keys with one text name one layer: the later value replaces the earlier, and the
    # fraction check sees a single layer.
    layers = {"deep": LinearReservoir(HOUR, 0.7, 0.0), SameTextKey("deep"): LinearReservoir(HOUR, 0.6, 0.0)}
    total, by_layer = run_linear_reservoir(1.0, rain, layers)
    single, _ = run_linear_reservoir(1.0, rain, {"deep": LinearReservoir(HOUR, 0.6, 0.0)})
    assert list(by_layer) == ["deep"]
    assert total.data == single.data == by_layer["deep"].data
