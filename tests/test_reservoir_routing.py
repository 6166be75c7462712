"""Reservoir routing: level pool runs worked by hand, their errors, balance and interruption."""

import math
from datetime import timedelta

import pytest
from reservoir_helpers import (ABOVE, MINUTE, OUTSIDE, WIDE, ConstantDischargeInfo,
                               ContinuousTimeSeries, ControlledDischargeInfo, ElevationDischarge,
                               ElevationStorage, SpecifiedDischargeInfo, UnControlledDischargeInfo,
                               flow, panic, route)

CURVE = ElevationStorage([100.0, 110.0], [0.0, 600.0])
LOW = ElevationDischarge([90.0, 99.5], [0.0, 1.0])


def test_documented_run_with_constant_outlet():
    # Sub-steps t = 60..120; t = 60 records only; 60 updates of 10 - 5 = +5 each.
    outlets = {"gate": ConstantDischargeInfo(5.0)}
    result = route(flow([10.0, 10.0, 10.0], MINUTE), 100.0, CURVE, outlets)
    assert result.reservoir_storage.data == [0.0, 300.0]
    assert result.reservoir_elevation.data == [100.0, 105.0]
    assert result.reservoir_total_outflow.data == [5.0, 5.0]
    individual = result.reservoir_individual_outflows
    assert {name: series.data for name, series in individual.items()} == {"gate": [5.0, 5.0]}
    series = [result.reservoir_storage, result.reservoir_elevation, result.reservoir_total_outflow,
              result.reservoir_individual_outflows["gate"]]
    assert [s.kind for s in series] == ["volume", "elevation", "discharge", "discharge"]
    assert all(s.time_step == MINUTE for s in series)
    assert result.reservoir_storage is not result.reservoir_storage


def test_storage_clamps_at_zero():
    outlets = {"gate": ConstantDischargeInfo(20.0)}
    result = route(flow([10.0, 10.0, 10.0], MINUTE), 100.0, CURVE, outlets)
    assert result.reservoir_storage.data == [0.0, 0.0]
    assert result.reservoir_elevation.data == [100.0, 100.0]


# A NaN reaching the balance resets the reservoir to empty at the curve's bottom elevation.
@pytest.mark.parametrize(
    "inflow, outlets, storage, elevation",
    [
        # Sub-steps 61..120 read NaN (or pair NaN with the sample at 120): reset to 0; then 60
        # updates of (10 + 10) / 2 reach 600, elevation ((600 - 0) / 6000) * 10 + 100.
        ([10.0, math.nan, 10.0, 10.0], {}, [3000.0, 0.0, 600.0], [105.0, 100.0, 101.0]),
        ([10.0, 10.0, 10.0], {"nan": ConstantDischargeInfo(math.nan)}, [3000.0, 0.0],
         [105.0, 100.0]),
    ],
    ids=["inflow sample", "release"],
)
def test_nan_in_the_balance_empties_the_reservoir(inflow, outlets, storage, elevation):
    curve = ElevationStorage([100.0, 110.0], [0.0, 6000.0])
    result = route(flow(inflow, MINUTE), 105.0, curve, outlets)
    assert result.reservoir_storage.data == storage
    assert result.reservoir_elevation.data == elevation


def test_short_inflows():
    two = route(flow([10.0, 99.0], MINUTE), 105.0, CURVE, {"a": ConstantDischargeInfo(5.0)})
    assert two.reservoir_storage.data == [300.0] and two.reservoir_elevation.data == [105.0]
    assert two.reservoir_total_outflow.data == [5.0]
    one = route(flow([10.0], MINUTE), 105.0, CURVE, {"a": ConstantDischargeInfo(5.0)})
    assert one.reservoir_storage.data == [300.0] and one.reservoir_elevation.data == [105.0]
    assert one.reservoir_total_outflow.data == [] and one.reservoir_individual_outflows == {}
    none = route(flow([1.0, 2.0, 3.0], MINUTE), 100.0, CURVE, {})
    assert none.reservoir_total_outflow.data == [0.0, 0.0]
    assert none.reservoir_individual_outflows == {}


@pytest.mark.parametrize(
    "inflow, initial, outlets, message",
    [
        ([10.0, 10.0], 99.0, {}, "`elevation` 99" + OUTSIDE),
        # +20 per second from t = 61: S = 620 at t = 91.
        ([20.0, 20.0, 20.0], 100.0, {}, "`storage` 620" + OUTSIDE),
        ([1.0, 1.0, 1.0], 100.0, {"s": SpecifiedDischargeInfo(flow([1.0, 1.0], MINUTE))},
         "simulation duration 61s exceeds the specified discharge series length (60s)."),
        # The constant outlet could release the water, but the gate's curve ends below 100.
        ([1.0, 1.0, 1.0], 100.0,
         {"c": ConstantDischargeInfo(1.0), "g": ControlledDischargeInfo(LOW)},
         "elevation 100" + ABOVE + "(99.5)."),
    ],
)
def test_run_errors(inflow, initial, outlets, message):
    with pytest.raises(ValueError) as info:
        route(flow(inflow, MINUTE), initial, CURVE, outlets)
    assert str(info.value) == message


@pytest.mark.parametrize("outlets", [
    {},  # water rises above the elevation-storage curve
    {"g": ControlledDischargeInfo(ElevationDischarge([100.0, 100.5], [0.0, 1.0]))},  # above the rating
], ids=["storage curve", "rating curve"])
def test_error_inside_an_output_step_names_the_first_second_beyond(outlets):
    # Within an hour the seconds between output steps take a quicker path; with a one-second
    # step every second is an output step. Both must stop at the same second with the same value.
    curve = ElevationStorage([100.0, 110.0], [0.0, 1.0e5])
    messages = []
    for step, values in ((timedelta(hours=1), 3), (timedelta(seconds=1), 7201)):
        with pytest.raises(ValueError) as info:
            route(ContinuousTimeSeries([37.0] * values, step, "discharge"), 100.0, curve, outlets)
        messages.append(str(info.value))
    assert messages[0] == messages[1]


def test_gates_switch_off_outlets_that_would_fail():
    gated_gate = ControlledDischargeInfo(LOW, maximum_elevation=120.0)  # stored as 99.5
    gated_series = SpecifiedDischargeInfo(flow([1.0, 1.0], MINUTE), minimum_elevation=101.0)
    outlets = {"g": gated_gate, "s": gated_series}
    result = route(flow([1.0, 1.0, 1.0], MINUTE), 100.0, CURVE, outlets)
    assert result.reservoir_total_outflow.data == [0.0, 0.0]


def test_internal_errors_of_a_run():
    outlets = {"a": ConstantDischargeInfo(1.0)}
    panic(lambda: route(flow([]), 100.0, CURVE, outlets))
    assert "absent" in panic(lambda: route(flow([1.0, 1.0]), math.nan, CURVE, outlets))
    message = panic(lambda: route(flow([1.0, 1.0]), 5.0, ElevationStorage([5.0], [7.0]), outlets))
    assert message == "x_values and y_values each must have at least 2 elements."


def test_mass_balance_over_the_run():
    # Updates run over (T, D]; the inflow is linear between samples, so one-second trapezoids sum
    # to the exact integral (100 + 50) / 2 * 3600 + (50 + 200) / 2 * 3600 = 720000, except that the
    # first one pairs I(T + 1) with the first sample 0.0 instead of I(T) = 100: 50 less. The pump
    # takes 20 cfs over 7200 s.
    curve = ElevationStorage([0.0, 100.0], [0.0, 1.0e7])
    outlets = {"pump": ConstantDischargeInfo(20.0)}
    result = route(flow([0.0, 100.0, 50.0, 200.0]), 10.0, curve, outlets)
    storage = result.reservoir_storage.data
    assert storage[-1] - storage[0] == pytest.approx(720000.0 - 50.0 - 144000.0, rel=1e-12)


def test_steady_inflow_through_matching_outlet_stays_steady():
    result = route(flow([7.0] * 6, MINUTE), 105.0, CURVE, {"pump": ConstantDischargeInfo(7.0)})
    assert result.reservoir_storage.data == [300.0] * 5
    assert result.reservoir_elevation.data == [105.0] * 5


def test_total_outflow_is_the_sum_of_the_outlets():
    spill = UnControlledDischargeInfo(ElevationDischarge([100.0, 104.0, 110.0], [0.0, 0.5, 30.0]))
    outlets = {"pump": ConstantDischargeInfo(0.25, minimum_elevation=100.5), "spill": spill}
    result = route(flow([2.0, 3.0, 1.0, 0.0, 0.0], MINUTE), 100.0, CURVE, outlets)
    parts = [result.reservoir_individual_outflows[name].data for name in outlets]
    assert set(result.reservoir_individual_outflows) == set(outlets)
    assert result.reservoir_total_outflow.data == pytest.approx([sum(q) for q in zip(*parts)])


def test_a_long_run_can_be_interrupted(interrupted_after):
    # 2e8 one-second sub-steps: far longer than the timer.
    with interrupted_after(0.05):
        route(flow([0.0, 0.0, 0.0], timedelta(seconds=200_000_000)), 0.0, WIDE,
              {"pump": ConstantDischargeInfo(0.0)})


def test_outlet_names_with_nul_stay_whole():
    result = route(flow([10.0, 10.0, 10.0], timedelta(minutes=1)), 100.0,
                   ElevationStorage([100.0, 110.0], [0.0, 600.0]),
                   {"x\0y": ConstantDischargeInfo(5.0), "x\0z": ConstantDischargeInfo(1.0)})
    outflows = result.reservoir_individual_outflows
    assert list(outflows) == ["x\0y", "x\0z"]
    assert outflows["x\0y"].data == [5.0, 5.0] and outflows["x\0z"].data == [1.0, 1.0]
