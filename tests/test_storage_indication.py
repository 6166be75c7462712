"""Storage-indication (modified Puls) routing: vesparil.reservoir.run_storage_indication_routing."""

import math
from datetime import timedelta

import pytest

import vesparil

C = vesparil.utils.ContinuousTimeSeries
ru = vesparil.reservoir.reservoir_utils
run = vesparil.reservoir.run_storage_indication_routing
HOUR = timedelta(hours=1)


def linear_reservoir(k_hours, top=5000.0):
    """S = K O as a curve: 'elevation' is the outflow itself, storage K O in ft3."""
    levels = [0.0, top]
    return (ru.ElevationStorage(levels, [0.0, k_hours * 3600.0 * top]),
            {"outlet": ru.UnControlledDischargeInfo(ru.ElevationDischarge(levels, levels))})


def test_published_linear_reservoir_example():
    # Ponce's storage-indication example of a linear reservoir S = K O (the worked sample of
    # the online calculators that accompany Engineering Hydrology, 1989): K = 2 h, dt = 1 h,
    # O(0) = 100; the outflow column as printed there.
    inflow = [100, 150, 250, 400, 800, 1000, 900, 700, 550, 400, 300, 250, 200, 150, 120, 100,
              100, 100]
    printed = [100, 110, 146, 217.6, 370.56, 582.336, 729.402, 757.641, 704.585, 612.751, 507.65,
               414.59, 338.754, 273.252, 217.951, 174.771, 144.863, 126.918]
    curve, outlets = linear_reservoir(2.0)
    result = run(C([float(q) for q in inflow], HOUR, "discharge"), 100.0, curve, outlets)
    assert [round(q, 3) for q in result.reservoir_total_outflow.data] == printed
    assert result.reservoir_individual_outflows["outlet"].data == pytest.approx(
        result.reservoir_total_outflow.data, rel=1e-15)


def chow_pond():
    # Chow, Maidment and Mays 1988, example 8.2.1: a 1-acre pond with vertical walls and a 5-ft
    # pipe, rated every half foot.
    levels = [0.5 * i for i in range(21)]
    rating = [0, 3, 8, 17, 30, 43, 60, 78, 97, 117, 137, 156, 173, 190, 205, 218, 231, 242, 253,
              264, 275]
    return (ru.ElevationStorage(levels, [43560.0 * h for h in levels]),
            {"pipe": ru.UnControlledDischargeInfo(ru.ElevationDischarge(levels, rating)),
             "drain": ru.ConstantDischargeInfo(1.5, minimum_elevation=0.25)})


@pytest.mark.parametrize("step_minutes", [1, 10, 30])
def test_volume_is_conserved_over_a_drained_run(step_minutes):
    curve, outlets = chow_pond()
    step = timedelta(minutes=step_minutes)
    hydrograph = [0, 60, 120, 180, 240, 300, 360, 320, 280, 240, 200, 160, 120, 80, 40, 0]
    count = 150 * 10 // step_minutes + 1
    inflow = [hydrograph[min(int(i * step_minutes / 10), 15)] for i in range(count)]
    inflow += [0.0] * (4000 // step_minutes * 60)
    result = run(C(inflow, step, "discharge"), 0.0, curve, outlets)
    dt = step.total_seconds()
    trapezoid = lambda q: math.fsum((a + b) * 0.5 * dt for a, b in zip(q, q[1:]))  # noqa: E731
    volume_in = trapezoid(inflow)
    out = result.reservoir_total_outflow.data
    stored = result.reservoir_storage.data[-1] - result.reservoir_storage.data[0]
    assert abs(volume_in - trapezoid(out) - stored) <= 1e-9 * volume_in
    assert result.reservoir_storage.data[-1] < 1e-3 * volume_in  # drained
    assert len(out) == len(inflow)


@pytest.mark.parametrize("outlets, message", [
    ({"plan": ru.SpecifiedDischargeInfo(C([1.0, 1.0], HOUR, "discharge"))},
     "storage-indication routing needs outlets that depend on the elevation alone; 'plan' is a "
     "SpecifiedDischargeInfo"),
    ({"gate": ru.ControlledDischargeInfo(ru.ElevationDischarge([0.0, 10.0], [0.0, 1e9]),
                                         maximum_elevation=5.0)},
     "2S/dt + O must increase with the elevation; it does not between 5 and 10"),
])
def test_refused_outlets(outlets, message):
    curve = ru.ElevationStorage([0.0, 10.0], [0.0, 1e5])
    with pytest.raises(ValueError) as error:
        run(C([1.0, 2.0], HOUR, "discharge"), 1.0, curve, outlets)
    assert str(error.value) == message


@pytest.mark.parametrize("rating_top, message", [
    # The storage N would need with the top's outflow.
    (20.0, "`storage` 2674944.4995044596 is outside the range of the elevation-storage curve."),
    (4.0, "elevation 4.5 is above the maximum of the elevation-discharge curve (4)."),
])
def test_overtopping_reports_what_level_pool_routing_would(rating_top, message):
    curve = ru.ElevationStorage([0.0, 4.5, 10.0], [0.0, 4.5e5, 1e6])
    outlets = {"weir": ru.UnControlledDischargeInfo(ru.ElevationDischarge([0.0, rating_top],
                                                                          [0.0, 10.0]))}
    with pytest.raises(ValueError) as error:
        run(C([0.0, 500.0, 500.0, 500.0], HOUR, "discharge"), 0.0, curve, outlets)
    assert str(error.value) == message
