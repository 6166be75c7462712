"""SCS dimensionless unit hydrograph: vesparil.rainfall_transform.run_scs_uh."""

import math
from datetime import timedelta

import pytest

import vesparil

IncrementalTimeSeries = vesparil.utils.IncrementalTimeSeries
run = vesparil.rainfall_transform.run_scs_uh
MINUTE = timedelta(minutes=1)

# NEH 630 chapter 16, table 16-1: q/qp at t/Tp = 0.2, 0.4, ..., 2.0, then every 0.2 to 4.0.
TABLE_EVERY_FIFTH = [0.100, 0.310, 0.660, 0.930, 1.000, 0.930, 0.780, 0.560, 0.390, 0.280,
                     0.207, 0.147, 0.107, 0.077, 0.055, 0.040, 0.029, 0.021, 0.015, 0.011]


def depth(flow, area, step):
    """Inches of runoff in a discharge series (cfs) over `area` acres."""
    return math.fsum(flow) * (step.total_seconds() / 3600.0) / (area * 1.00833)


def test_handbook_unit_hydrograph():
    # NEH 630 ch. 16: one square mile, D = 0.2 h, L = 0.9 h, so Tp = D/2 + L = 1.0 h and
    # qp = 484 A Q / Tp = 484 cfs; the step ends fall on the table's rows t/Tp = 0.2, 0.4, ...
    flow = run(IncrementalTimeSeries([1.0], 12 * MINUTE, "rainfall"), 640.0, 54 * MINUTE).data
    peak = max(flow)
    assert flow.index(peak) == 4  # t = 1.0 h
    assert [round(q / peak, 3) for q in flow[:20]] == TABLE_EVERY_FIFTH
    # The tabulated curve holds 1.33595 Tp qp, 0.2 % more than 484 implies (1.33333): keeping
    # exactly one inch puts the peak that much under 484 cfs.
    assert round(peak) == 484 and peak < 484.0


@pytest.mark.parametrize("lag_minutes, step_minutes, prf", [
    (54, 12, 484.0), (7, 30, 484.0), (300, 1, 484.0), (54, 12, 300.0), (54, 12, 600.0),
    (0, 60, 484.0), (200, 5, 150.0)])
def test_one_inch_of_excess_is_one_inch_of_runoff(lag_minutes, step_minutes, prf):
    step = step_minutes * MINUTE
    flow = run(IncrementalTimeSeries([1.0], step, "rainfall"), 800.0, lag_minutes * MINUTE, prf)
    assert abs(depth(flow.data, 800.0, step) - 1.0) < 1e-9


def test_peak_rate_factor_sets_the_peak():
    # Same Tp, same volume: the gamma curve of factor F peaks near F A Q / Tp.
    peaks = {prf: max(run(IncrementalTimeSeries([1.0], 6 * MINUTE, "rainfall"), 640.0,
                          57 * MINUTE, prf).data) for prf in (300.0, 484.0, 600.0)}
    for prf, peak in peaks.items():
        assert peak == pytest.approx(prf, rel=0.01)


def test_storm_is_the_sum_of_shifted_unit_hydrographs():
    step = 15 * MINUTE
    unit = run(IncrementalTimeSeries([1.0], step, "rainfall"), 500.0, 40 * MINUTE).data
    storm = run(IncrementalTimeSeries([0.2, 0.0, 0.7], step, "rainfall"), 500.0, 40 * MINUTE).data
    assert len(storm) == len(unit) + 2
    expected = [0.2 * (unit[k] if k < len(unit) else 0.0)
                + 0.7 * (unit[k - 2] if 0 <= k - 2 < len(unit) else 0.0) for k in range(len(storm))]
    assert storm == pytest.approx(expected, rel=1e-14)


@pytest.mark.parametrize("args, message", [
    ((0.0, MINUTE), "basin_area must be > 0; got 0"),
    ((640.0, MINUTE, -484.0), "peak_rate_factor must be > 0; got -484"),
    ((640.0, timedelta(days=400)),
     "the unit hydrograph would have more than 10000000 ordinates; lag / time_step is too large"),
])
def test_refused_parameters(args, message):
    with pytest.raises(ValueError) as error:
        run(IncrementalTimeSeries([1.0], timedelta(seconds=1), "rainfall"), *args)
    assert str(error.value) == message
