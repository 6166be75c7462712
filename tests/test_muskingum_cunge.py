"""Muskingum-Cunge routing from channel geometry: vesparil.reach.run_muskingum_cunge_routing."""

import math
from datetime import timedelta

import pytest

import vesparil

C = vesparil.utils.ContinuousTimeSeries
run = vesparil.reach.run_muskingum_cunge_routing
HOUR = timedelta(hours=1)
FT = 1 / 0.3048
CFS = FT ** 3


def ponce_channel():
    """A trapezoid whose section at 1110 m3/s has Ponce's A = 440 m2, T = 115 m and rating
    exponent 1.58 (side slope found by bisection; Manning's n from the discharge)."""
    area, top, flow, beta = 440.0, 115.0, 1110.0, 1.58

    def section(z):
        y = (top - math.sqrt(top * top - 4 * z * area)) / (2 * z)
        perimeter = top - 2 * z * y + 2 * y * math.sqrt(1 + z * z)
        return y, perimeter, 5 / 3 - (2 / 3) * (area / top) * 2 * math.sqrt(1 + z * z) / perimeter

    low, high = 1e-6, top * top / (4 * area) - 1e-9
    for _ in range(200):
        z = (low + high) / 2
        low, high = (z, high) if section(z)[2] > beta else (low, z)
    y, perimeter, _ = section(z)
    n = 1.49 * area * FT**2 * (area / perimeter * FT) ** (2 / 3) * math.sqrt(0.001) / (flow * CFS)
    return dict(length=14000 * FT, slope=0.001, manning_n=n, bottom_width=(top - 2 * z * y) * FT,
                side_slope=z)


def triangle(peak=1110.0, base=60.0):
    return ([base + (peak - base) / 7 * t for t in range(8)]
            + [peak - (peak - base) / 14 * (t - 7) for t in range(8, 22)] + [base] * 10)


def test_published_constant_parameter_example():
    # Ponce's chapter 9 problem for Engineering Hydrology (1989), Muskingum-Cunge with routing
    # parameters at the peak, and its published solution: triangular inflow 60 -> 1110 m3/s at
    # 7 h -> 60 at 21 h, S0 = 0.001, A = 440 m2, T = 115 m, beta = 1.58, dx = 14 km, dt = 1 h:
    # peak outflow 1,093.39 m3/s at 8 h. Routed here in cfs and feet, and converted back.
    inflow = C([q * CFS for q in triangle()], HOUR, "discharge")
    out = [q / CFS for q in run(inflow, **ponce_channel(), reference_flow=1110.0 * CFS,
                                sub_reaches=1, sub_steps=1).data]
    assert round(max(out), 2) == 1093.39 and out.index(max(out)) == 8


@pytest.mark.parametrize("options", [{}, {"reference_flow": 20000.0},
                                     {"sub_reaches": 1, "sub_steps": 1},
                                     {"sub_reaches": 7}])
def test_volume_is_conserved_over_a_drained_run(options):
    flows = [100.0] + [100.0 + 9000.0 * (t / 8) * math.exp(1 - t / 8) for t in range(1, 400)]
    channel = dict(length=80000.0, slope=0.0005, manning_n=0.035, bottom_width=60.0,
                   side_slope=2.0)
    out = run(C(flows, HOUR, "discharge"), **channel, **options).data
    volume = lambda q: math.fsum((a + b) / 2 for a, b in zip(q, q[1:])) - 100.0 * (len(q) - 1)  # noqa: E731
    assert abs(volume(out) - volume(flows)) <= 1e-9 * volume(flows)
    assert len(out) == len(flows) and abs(out[-1] - 100.0) < 1e-6


def test_steady_flow_passes_and_the_peak_attenuates():
    channel = dict(length=50000.0, slope=0.001, manning_n=0.04, bottom_width=40.0)
    assert run(C([500.0] * 30, HOUR, "discharge"), **channel).data == pytest.approx([500.0] * 30)
    flows = [500.0] + [500.0 + 5000.0 * math.exp(-((t - 10) / 3) ** 2) for t in range(1, 60)]
    out = run(C(flows, HOUR, "discharge"), **channel).data
    assert max(out) < max(flows) and out.index(max(out)) > flows.index(max(flows))


@pytest.mark.parametrize("change, message", [
    ({"length": 0.0}, "length must be > 0; got 0"),
    ({"slope": -0.001}, "slope must be > 0; got -0.001"),
    ({"manning_n": 0.0}, "manning_n must be > 0; got 0"),
    ({"bottom_width": -1.0}, "bottom_width must be >= 0; got -1"),
    ({"bottom_width": 0.0, "side_slope": 0.0}, "bottom_width and side_slope cannot both be 0"),
    ({"reference_flow": 0.0}, "reference_flow must be > 0; got 0"),
    ({"sub_reaches": 0}, "sub_reaches must be between 1 and 100000; got 0"),
])
def test_refused_parameters(change, message):
    arguments = dict(length=1000.0, slope=0.001, manning_n=0.03, bottom_width=10.0) | change
    with pytest.raises(ValueError) as error:
        run(C([1.0, 2.0], HOUR, "discharge"), **arguments)
    assert str(error.value) == message
