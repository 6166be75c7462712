"""Snyder's synthetic unit hydrograph: vesparil.rainfall_transform.run_snyder_uh and
calculate_snyder_parameters."""

import math
from datetime import timedelta

import pytest

import vesparil

IncrementalTimeSeries = vesparil.utils.IncrementalTimeSeries
run = vesparil.rainfall_transform.run_snyder_uh
calculate = vesparil.rainfall_transform.calculate_snyder_parameters
MINUTE = timedelta(minutes=1)


def unit(step, area=6400.0, ct=1.8, cp=0.6, length=12.0, centroid=5.0):
    return run(IncrementalTimeSeries([1.0], step, "rainfall"), area, ct, cp, length, centroid).data


def width(flow, level, step_h):
    """Hours the flow spends above `level`, reading it linearly between samples."""
    above = [q >= level for q in flow]
    first, last = above.index(True), len(above) - 1 - above[::-1].index(True)
    rise = (level - flow[first - 1]) / (flow[first] - flow[first - 1])
    fall = (flow[last] - level) / (flow[last] - flow[last + 1])
    return (last - first + (1 - rise) + fall) * step_h


def test_the_sketch_of_chow_section_7_7():
    # tp = Ct (L Lc)^0.3 = 1.8 (60)^0.3 = 6.80 h, tr = tp / 5.5; for a 6-minute step
    # tpR = tp - (tr - 0.1) / 4, qpR = 640 Cp / tpR, W75 = 440 qpR^-1.08 and W50 = 770 qpR^-1.08
    # (Chow eqs. 7.7.1-7.7.8), the peak at tR / 2 + tpR.
    tp = 1.8 * 60 ** 0.3
    tp_r = tp - (tp / 5.5 - 0.1) / 4
    qp_r = 640 * 0.6 / tp_r
    flow = unit(6 * MINUTE)
    peak = max(flow)
    assert (flow.index(peak) + 1) * 0.1 == pytest.approx(0.05 + tp_r, abs=0.1)
    assert width(flow, 0.75 * peak, 0.1) == pytest.approx(440 * qp_r ** -1.08, abs=0.2)
    assert width(flow, 0.5 * peak, 0.1) == pytest.approx(770 * qp_r ** -1.08, abs=0.2)
    # The sketch holds less than an inch here; keeping the inch lifts the peak above qpR A / 640
    # by the shortfall (docs/unit_hydrographs.md, Pitfalls).
    assert qp_r * 10.0 < peak < qp_r * 10.0 * 1.1


@pytest.mark.parametrize("step_minutes, kwargs", [
    (6, {}), (60, {}), (5, {"ct": 0.4, "length": 1.5, "centroid": 0.6}),
    (180, {"ct": 2.6, "length": 60.0, "centroid": 30.0, "cp": 0.8})])
def test_one_inch_of_excess_is_one_inch_of_runoff(step_minutes, kwargs):
    step = step_minutes * MINUTE
    flow = unit(step, **kwargs)
    depth = math.fsum(flow) * step.total_seconds() / 3600 / (6400.0 * 1.00833)
    assert abs(depth - 1.0) < 1e-9


@pytest.mark.parametrize("args, message", [
    ((0.0, 1.8, 0.6, 12.0, 5.0), "basin_area must be > 0; got 0"),
    ((640.0, 1.8, -0.6, 12.0, 5.0), "cp must be > 0; got -0.6"),
    ((640.0, 1.8, 0.6, 12.0, 0.0), "centroid_length must be > 0; got 0"),
    ((640.0, math.inf, 0.6, 12.0, 5.0), "ct must be > 0; got inf"),
    ((640.0, 1.8, 0.6, math.nan, 5.0), "stream_length must be > 0; got NaN"),
])
@pytest.mark.parametrize("entry", ["run", "calculate"])
def test_refused_parameters(args, message, entry):
    with pytest.raises(ValueError) as error:
        if entry == "run":
            run(IncrementalTimeSeries([1.0], timedelta(hours=5), "rainfall"), *args)
        else:
            calculate(*args)
    assert str(error.value) == message


# A course worksheet's "Snyder method" example (100 mi2, L = 18 mi, Lc = 10 mi, Ct = 1.8,
# Cp = 0.6), worked in kilometres: A = 259 km2, L = 29 km, Lc = 16.1 km, the duration the standard
# one (tR = D, so tpR = tl and tp = tl + D / 2), the base 4 tp. Each printed number, to within a
# unit of its last digit (the 3/4 points are 0.75 times the printed peak).
SHEET_POINTS = ["5.113028", "2245.1889", "6.919908", "3367.7833", "9.329082", "4490.3778",
                "14.14743", "3367.7833", "17.76119", "2245.1889"]


@pytest.mark.parametrize("name, printed", [
    ("lag", "8.5516582"), ("adjusted_lag", "8.5516582"), ("standard_duration", "1.554847"),
    ("duration", "1.554847"), ("peak_time", "9.3290817"), ("peak_discharge", "4490.3778"),
    ("w50", "12.64816"), ("w75", "7.2275203"), ("time_base", "37.31633"),
    *[((k // 2 + 1, k % 2), printed) for k, printed in enumerate(SHEET_POINTS)],
])
def test_worksheet_example(name, printed):
    sheet = calculate(100.00046 * 640, 1.8, 0.6, 18.019765, 10.004076,
                      time_base="small_watershed")
    value = getattr(sheet, name) if isinstance(name, str) else sheet.sketch[name[0]][name[1]]
    decimals = len(printed.partition(".")[2])
    assert abs(value - float(printed)) <= 10.0 ** -decimals


@pytest.mark.parametrize("time_base", [None, "triangle", "small_watershed"])
@pytest.mark.parametrize("step", [6 * MINUTE, timedelta(hours=1), timedelta(seconds=5597)])
def test_the_run_samples_the_sketch_and_keeps_the_inch(time_base, step):
    # The sketch of calculate_snyder_parameters, sampled at the step ends and scaled to one inch
    # in the core's order of operations, is run_snyder_uh's unit hydrograph to the last bit.
    kwargs = {} if time_base is None else {"time_base": time_base}
    area, args = 64000.3, (1.8, 0.6, 18.019765, 10.004076)
    sketch = calculate(area, *args, step, **kwargs).sketch
    base = sketch[-1][0]
    assert base == (1290.0 / calculate(area, *args, step).peak_rate if time_base != "small_watershed"
                    else 4.0 * calculate(area, *args, step).peak_time)
    t_r = step.total_seconds() / 3600.0
    ordinates, total = [], 0.0
    for j in range(math.ceil(base / t_r)):
        at = (j + 1) * t_r
        k = next((k for k in range(1, len(sketch)) if not sketch[k][0] < at), len(sketch))
        u = 0.0
        if k < len(sketch):
            (t0, q0), (t1, q1) = sketch[k - 1], sketch[k]
            u = q0 + (q1 - q0) * ((at - t0) / (t1 - t0))
        ordinates.append(u)
        total = total + u
    scale = (area * 1.00833) / (total * t_r)
    flow = run(IncrementalTimeSeries([1.0], step, "rainfall"), area, *args, **kwargs).data
    assert flow == [u * scale for u in ordinates]


def test_the_base_rule_moves_the_scaled_peak():
    # The worksheet's basin at a step of its standard duration (5597 s): the small-watershed base
    # (37.3 h) holds more than the triangle's (28.7 h), so keeping one inch lowers its peak more
    # (docs/unit_hydrographs.md).
    excess = IncrementalTimeSeries([1.0], timedelta(seconds=5597), "rainfall")
    args = (100.00046 * 640, 1.8, 0.6, 18.019765, 10.004076)
    triangle = max(run(excess, *args).data)
    small = max(run(excess, *args, time_base="small_watershed").data)
    assert (round(triangle, 1), round(small, 1), round(triangle / small, 3)) == (
        4692.9, 4061.1, 1.156)


@pytest.mark.parametrize("call, error, message", [
    (lambda: calculate(640.0, 1.8, 0.6, 3.0, 1.2, time_base="4tp"), ValueError,
     "time_base must be one of [\"triangle\", \"small_watershed\"]; got '4tp'"),
    (lambda: run(IncrementalTimeSeries([1.0], MINUTE, "rainfall"), 640.0, 1.8, 0.6, 3.0, 1.2,
                 time_base="Triangle"), ValueError,
     "time_base must be one of [\"triangle\", \"small_watershed\"]; got 'Triangle'"),
    (lambda: calculate(640.0, 1.8, 0.6, 3.0, 1.2, timedelta(0)), ValueError,
     "time_step must be > 0"),
    (lambda: calculate(640.0, 1.8, 0.6, 3.0, 1.2, 3600), TypeError,
     "argument 'time_step': 'int' object is not an instance of 'timedelta'"),
    (lambda: calculate(640.0, 1.8, 0.6, 3.0, 1.2, None, "triangle"), TypeError,
     "calculate_snyder_parameters() takes from 5 to 6 positional arguments but 7 were given"),
    (lambda: vesparil.rainfall_transform.SnyderParameters(), TypeError,
     "cannot create 'SnyderParameters' instances"),
])
def test_argument_errors(call, error, message):
    with pytest.raises(error) as info:
        call()
    assert type(info.value) is error and str(info.value) == message
