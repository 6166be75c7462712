"""The numbers quoted in the Pitfalls of the event methods of the engineering manuals (curve
number, Green-Ampt, SCS and Snyder unit hydrographs, storage indication, Muskingum-Cunge);
scripts/pitfalls.py adds them to its own."""

import functools
import math
import operator
from datetime import timedelta

import vesparil

ContinuousTimeSeries = vesparil.utils.ContinuousTimeSeries
IncrementalTimeSeries = vesparil.utils.IncrementalTimeSeries
outlets = vesparil.reservoir.reservoir_utils

HOUR = timedelta(hours=1)
QUARTER_HOUR = timedelta(minutes=15)
MINUTE = timedelta(minutes=1)


def trapezoid_volume(values, step_s):
    """Volume of a continuous series read linearly between its samples (value x seconds), its
    halves added left to right."""
    return functools.reduce(operator.add, [(a + b) * 0.5 for a, b in zip(values, values[1:])],
                            0.0) * step_s


def curve_number():
    run = vesparil.rainfall_loss.run_curve_number
    storm = IncrementalTimeSeries([0.5, 1.0, 0.5], HOUR, "rainfall")
    customary = sum(run(storm, 70.0, 0.2).excess.data)
    small = sum(run(storm, 70.0, 0.05).excess.data)
    # Two 2-inch storms ten days apart in one series: the second starts from the first's
    # cumulative rainfall, past the initial abstraction.
    one = IncrementalTimeSeries([2.0], HOUR, "rainfall")
    two = IncrementalTimeSeries([2.0] + [0.0] * 239 + [2.0], HOUR, "rainfall")
    first = sum(run(one, 70.0).excess.data)
    second = run(two, 70.0).excess.data[-1]
    # Green-Ampt on a sandy loam (K 0.43 in/h, psi 4.33 in, dtheta 0.288): 0.8 in in one hour,
    # half of it in a ten-minute burst, at 5-minute steps and as one hourly step.
    burst = [0.02] * 4 + [0.3] * 2 + [0.02] * 6
    green = vesparil.rainfall_loss.run_green_ampt
    fine = sum(green(IncrementalTimeSeries(burst, 5 * MINUTE, "rainfall"), 0.43, 4.33,
                     0.288).excess.data)
    hourly = sum(green(IncrementalTimeSeries([sum(burst)], HOUR, "rainfall"), 0.43, 4.33,
                       0.288).excess.data)
    return {"ga.fine_in": fine, "ga.hourly_in": hourly,
            "cn.lambda020_in": customary, "cn.lambda005_in": small,
            "cn.single_storm_in": first, "cn.second_storm_in": second}


def scs_uh():
    run = vesparil.rainfall_transform.run_scs_uh
    unit = IncrementalTimeSeries([1.0], QUARTER_HOUR, "rainfall")
    right = run(unit, 640.0, 72 * MINUTE).data  # lag = 0.6 tc, tc = 2 h
    wrong = run(unit, 640.0, 2 * HOUR).data  # tc given as the lag
    table = run(IncrementalTimeSeries([1.0], 12 * MINUTE, "rainfall"), 640.0, 54 * MINUTE).data
    # Snyder on 10 square miles, Ct 1.8, Cp 0.6, L 12 mi, Lc 5 mi, 6-minute steps: the peak
    # against the sketch's qpR A / 640.
    snyder = vesparil.rainfall_transform.run_snyder_uh(
        IncrementalTimeSeries([1.0], 6 * MINUTE, "rainfall"), 6400.0, 1.8, 0.6, 12.0, 5.0).data
    tp = 1.8 * 60 ** 0.3
    sketch_peak = 640 * 0.6 / (tp - (tp / 5.5 - 0.1) / 4) * 10.0
    return {"snyder.sketch_peak_cfs": sketch_peak, "snyder.peak_cfs": max(snyder),
            "scs.peak_lag_cfs": max(right), "scs.peak_tc_cfs": max(wrong),
            "scs.peak_hours_lag": (right.index(max(right)) + 1) * 0.25,
            "scs.peak_hours_tc": (wrong.index(max(wrong)) + 1) * 0.25,
            "scs.table_peak_cfs": max(table)}


def chow_pond():
    """Chow, Maidment and Mays 1988, example 8.2.1: 1-acre vertical-walled pond, 5-ft pipe."""
    levels = [0.5 * i for i in range(21)]
    rating = [0, 3, 8, 17, 30, 43, 60, 78, 97, 117, 137, 156, 173, 190, 205, 218, 231, 242, 253,
              264, 275]
    return (outlets.ElevationStorage(levels, [43560.0 * h for h in levels]),
            {"pipe": outlets.UnControlledDischargeInfo(outlets.ElevationDischarge(levels, rating))})


def storage_indication():
    curve, pipe = chow_pond()
    hydrograph = [0, 60, 120, 180, 240, 300, 360, 320, 280, 240, 200, 160, 120, 80, 40, 0]
    inflow = ContinuousTimeSeries([float(q) for q in hydrograph] + [0.0] * 60, 10 * MINUTE,
                                  "discharge")
    indicated = vesparil.reservoir.run_storage_indication_routing(inflow, 0.0, curve, pipe)
    pooled = vesparil.reservoir.run_level_pool_routing(inflow, 0.0, curve, pipe)
    si_out = indicated.reservoir_total_outflow.data
    lp_out = pooled.reservoir_total_outflow.data
    inflow_ft3 = trapezoid_volume(inflow.data, 600.0)
    coarse = ContinuousTimeSeries([float(q) for q in hydrograph[::3]] + [0.0] * 20, 30 * MINUTE,
                                  "discharge")
    coarse_peak = max(vesparil.reservoir.run_storage_indication_routing(
        coarse, 0.0, curve, pipe).reservoir_total_outflow.data)
    return {"si.peak_cfs": max(si_out), "si.level_pool_peak_cfs": max(lp_out),
            "si.peak_elevation_ft": max(indicated.reservoir_elevation.data),
            "si.level_pool_peak_elevation_ft": max(pooled.reservoir_elevation.data),
            "si.inflow_ft3": inflow_ft3,
            "si.released_ft3": trapezoid_volume(si_out, 600.0)
            + indicated.reservoir_storage.data[-1],
            "si.level_pool_released_ft3": trapezoid_volume(lp_out, 600.0)
            + pooled.reservoir_storage.data[-1],
            "si.coarse_peak_cfs": coarse_peak}


def muskingum_cunge():
    run = vesparil.reach.run_muskingum_cunge_routing
    flows = [100.0] + [100.0 + 9000.0 * (t / 8) * math.exp(1 - t / 8) for t in range(1, 400)]
    inflow = ContinuousTimeSeries(flows, HOUR, "discharge")
    channel = dict(length=80000.0, slope=0.0005, manning_n=0.035, bottom_width=60.0,
                   side_slope=2.0)
    chosen = run(inflow, **channel).data
    constant = run(inflow, **channel, reference_flow=9100.0).data
    coarse = run(inflow, **channel, sub_reaches=1, sub_steps=1).data
    stepped = run(inflow, **channel, sub_reaches=7, sub_steps=3).data

    def excess_volume(q):
        return math.fsum((a + b) / 2 for a, b in zip(q, q[1:])) - 100.0 * (len(q) - 1)

    return {"mc.inflow_peak_cfs": max(flows), "mc.peak_cfs": max(chosen),
            "mc.coarse_peak_cfs": max(coarse), "mc.min_cfs": min(chosen),
            "mc.constant_min_cfs": min(constant), "mc.constant_peak_cfs": max(constant),
            "mc.substep_volume_share": excess_volume(stepped) / excess_volume(flows) - 1.0}


def numbers():
    found = {}
    for part in (curve_number, scs_uh, storage_indication, muskingum_cunge):
        found.update(part())
    return found
