"""Computes, with the installed library, every number quoted in the Pitfalls of the user guide.

    python3 scripts/pitfalls.py

Each number has a key; tests/test_pitfalls.py checks that the pages of docs/ quote each value as
computed here, and checks the larger ones against arithmetic done by hand.
"""

import importlib.util
import math
import sys
import warnings
from datetime import timedelta
from pathlib import Path

import vesparil

ContinuousTimeSeries = vesparil.utils.ContinuousTimeSeries
IncrementalTimeSeries = vesparil.utils.IncrementalTimeSeries
outlets = vesparil.reservoir.reservoir_utils

HOUR = timedelta(hours=1)
QUARTER_HOUR = timedelta(minutes=15)
MINUTE = timedelta(minutes=1)
SECOND = timedelta(seconds=1)
ACRE_INCH_PER_HOUR_CFS = 1.00833  # the conversion the library uses


def clark_depth(tc, storage_r, step, area=1000.0):
    """Inches of direct runoff from 1 in of excess in one step, and the number of ordinates."""
    runoff = vesparil.rainfall_transform.run_clark_uh(
        IncrementalTimeSeries([1.0], step, "rainfall"), area, tc, storage_r
    ).data
    step_h = step.total_seconds() / 3600.0
    return sum(runoff) * step_h / (area * ACRE_INCH_PER_HOUR_CFS), len(runoff)


# tc, R and the time step of the rows of the table of Clark's volume loss over the typical ranges
# of docs/clark.md: R / (tc + R) from 0.3 to 0.7, time steps from tc / 5 down to a minute.
CLARK_TYPICAL = {
    "tc7_r3_84min": (7 * HOUR, 3 * HOUR, 84 * MINUTE),
    "tc7_r3_1min": (7 * HOUR, 3 * HOUR, MINUTE),
    "tc1_r1_12min": (HOUR, HOUR, 12 * MINUTE),
    "tc24_r24_1h": (24 * HOUR, 24 * HOUR, HOUR),
    "tc30min_r70min_1min": (30 * MINUTE, 70 * MINUTE, MINUTE),
    "tc3_r7_36min": (3 * HOUR, 7 * HOUR, 36 * MINUTE),
}


def clark():
    typical = {f"clark.typical_{label}": clark_depth(*row)[0]
               for label, row in CLARK_TYPICAL.items()}
    depth_a, ordinates_a = clark_depth(3 * HOUR, 2 * HOUR, QUARTER_HOUR)
    depth_b, ordinates_b = clark_depth(2 * HOUR, 8 * HOUR, HOUR)
    depth_c, ordinates_c = clark_depth(HOUR, 2 * HOUR, HOUR)
    depth_d, ordinates_d = clark_depth(HOUR, 2 * HOUR, QUARTER_HOUR)
    # No storage at all: the Muskingum step with K = 0 alternates instead of passing through.
    bare = vesparil.rainfall_transform.run_clark_uh(
        IncrementalTimeSeries([1.0], HOUR, "rainfall"), 1000.0, 5 * HOUR, timedelta(0)
    ).data
    return {
        "clark.depth_tc3_r2_15min": depth_a,
        "clark.ordinates_tc3_15min": ordinates_a,
        "clark.depth_tc2_r8_1h": depth_b,
        "clark.ordinates_tc2_1h": ordinates_b,
        "clark.depth_tc1_1h": depth_c,
        "clark.ordinates_tc1_1h": ordinates_c,
        "clark.depth_tc1_r2_15min": depth_d,
        "clark.ordinates_tc1_15min": ordinates_d,
        "clark.r0_ordinates": bare,
        **typical,
        "clark.typical_min": min(typical.values()),
        "clark.typical_max": max(typical.values()),
    }


def baseflow():
    exact = 43560.0 / 12.0 / 3600.0  # cfs in one acre-inch per hour
    return {"baseflow.conversion_shortfall": 1.0 - ACRE_INCH_PER_HOUR_CFS / exact}


def plain_sum(values):
    """Left-to-right sum: the built-in sum() compensates its rounding from Python 3.12 on."""
    total = 0.0
    for value in values:
        total += value
    return total


def trapezoid_volume(values, step_s):
    """Volume of a continuous series read linearly between its samples (value x seconds)."""
    return plain_sum((a + b) * 0.5 for a, b in zip(values, values[1:])) * step_s


def load_example(name):
    path = Path(__file__).resolve().parent.parent / "examples" / f"{name}.py"
    found = importlib.util.spec_from_file_location(name, path)
    module = importlib.util.module_from_spec(found)
    sys.modules[name] = module  # its dataclasses look themselves up there
    found.loader.exec_module(module)
    return module


def gated_pump(curve, hours):
    """The 500 cfs outlet of level_pool() gated at 1,000 ft3 (100.01 ft), under 10 cfs of inflow
    for `hours` + 1 hourly values, routed hourly and, second by second, at a 1-second step."""
    route = vesparil.reservoir.run_level_pool_routing

    def gate():
        return {"pump": outlets.ConstantDischargeInfo(500.0, minimum_elevation=100.01)}

    hourly = route(ContinuousTimeSeries([10.0] * (hours + 1), HOUR, "discharge"), 100.0, curve,
                   gate())
    # Hourly, the loop updates the storage at the seconds T + 1 ... hours x T; at a 1-second step
    # it does so at the seconds 2 ... (hours - 1) x 3600 + 1, the same seconds shifted, so that
    # hourly record k is the 1-second record k x 3600.
    seconds = route(ContinuousTimeSeries([10.0] * ((hours - 1) * 3600 + 2), SECOND, "discharge"),
                    100.0, curve, gate())
    return hourly, seconds


def level_pool():
    curve = outlets.ElevationStorage([100.0, 110.0], [0.0, 1.0e6])
    route = vesparil.reservoir.run_level_pool_routing

    # A constant 500 cfs outlet below a 10 cfs inflow: storage sits at zero, the outlet reports
    # its full rate all the same.
    inflow = [10.0] * 5
    pump = route(ContinuousTimeSeries(inflow, HOUR, "discharge"), 100.0, curve,
                 {"pump": outlets.ConstantDischargeInfo(500.0)})
    # The same demand as a rating curve that falls to zero at the bottom of the pool.
    rated = route(ContinuousTimeSeries(inflow, HOUR, "discharge"), 100.0, curve,
                  {"pump": outlets.ControlledDischargeInfo(
                      outlets.ElevationDischarge([100.0, 100.5], [0.0, 500.0]),
                      maximum_release=500.0)})
    # A 100 cfs first value falling to zero within the first hour.
    pulse = [100.0, 0.0, 0.0, 0.0]
    lost = route(ContinuousTimeSeries(pulse, HOUR, "discharge"), 100.0, curve, {})
    kept = route(ContinuousTimeSeries(pulse[:1] + pulse, HOUR, "discharge"), 100.0, curve, {})

    # A 500 cfs outlet that closes below 1,000 ft3, under a day of 10 cfs.
    hourly, seconds = gated_pump(curve, 24)
    per_second = seconds.reservoir_total_outflow.data
    storage = seconds.reservoir_storage.data
    opened = [i for i, release in enumerate(per_second) if release > 0.0]
    periods = {b - a for a, b in zip(opened, opened[1:])}
    # Record 0 is the release at the first second, which the loop does not apply.
    released = plain_sum(per_second[1:]) * 1.0
    recorded = hourly.reservoir_total_outflow.data
    stored = set(hourly.reservoir_storage.data[1:])  # after the initial state

    # A NaN inflow value in a reservoir holding 5,000,000 ft3.
    deep = outlets.ElevationStorage([100.0, 110.0], [0.0, 1.0e7])
    gap = route(ContinuousTimeSeries([10.0, 10.0, math.nan, 10.0, 10.0], HOUR, "discharge"), 105.0,
                deep, {})

    # Curves of fewer than two points: accepted when made, a PanicException at the first lookup.
    short = []
    for points in ([], [100.0]):
        made = outlets.ElevationStorage(points, [0.0] * len(points))
        try:
            made.get_elevation(0.0)
        except Exception as error:  # noqa: BLE001 - a ValueError would be the sound outcome
            short.append((type(error).__qualname__, str(error)))
        except BaseException as error:
            short.append((type(error).__qualname__, str(error)))
    assert short[0] == short[1]

    # The flood of the Dask ensemble: FLOOD_DAYS daily values through the loop. A 1 cfs inflow
    # with no outlet stores 1 ft3 per updated second; the first second only records.
    fulda = load_example("fulda_chain")
    counter = route(ContinuousTimeSeries([1.0] * fulda.FLOOD_DAYS, fulda.DAY, "discharge"),
                    100.0, deep, {})
    return {
        "level_pool.inflow_values": len(inflow),
        "level_pool.result_values": len(pump.reservoir_total_outflow.data),
        "level_pool.empty_inflow_ft3": sum(inflow) * 3600.0,
        "level_pool.empty_released_ft3": sum(pump.reservoir_total_outflow.data) * 3600.0,
        "level_pool.empty_final_storage_ft3": pump.reservoir_storage.data[-1],
        "level_pool.rated_outflow_cfs": rated.reservoir_total_outflow.data[-1],
        "level_pool.rated_storage_ft3": rated.reservoir_storage.data[-1],
        "level_pool.first_interval_ft3": (pulse[0] + pulse[1]) / 2.0 * 3600.0,
        "level_pool.first_interval_stored_ft3": lost.reservoir_storage.data[-1],
        "level_pool.first_interval_prepended_ft3": kept.reservoir_storage.data[-1],
        "level_pool.empty_inflow_trapezoid_ft3": trapezoid_volume(inflow, 3600.0),
        "level_pool.empty_released_trapezoid_ft3": trapezoid_volume(
            pump.reservoir_total_outflow.data, 3600.0),
        "level_pool.curve_ft3_per_ft": curve.get_storage(101.0) - curve.get_storage(100.0),
        "level_pool.gated_full_ft3": max(storage),
        "level_pool.gated_low_ft3": min(storage[opened[0]:]),
        "level_pool.gated_period_s": periods.pop() if len(periods) == 1 else sorted(periods),
        "level_pool.gated_records_match_seconds": all(
            recorded[k] == per_second[k * 3600] for k in range(len(recorded))),
        "level_pool.gated_recorded_max_cfs": max(recorded),
        "level_pool.gated_recorded_hours": len(recorded) - 1,
        "level_pool.gated_recorded_storage_ft3": (
            stored.pop() if len(stored) == 1 else sorted(stored)),
        "level_pool.gated_released_ft3": released,
        "level_pool.nan_start_ft3": gap.reservoir_storage.data[0],
        "level_pool.nan_after_ft3": gap.reservoir_storage.data[1],
        "level_pool.short_curve_error": short[0][0],
        "level_pool.short_curve_message": short[0][1],
        "level_pool.flood_sub_steps": round(counter.reservoir_storage.data[-1]) + 1,
    }


def loss():
    rain = IncrementalTimeSeries([1.0] * 6, HOUR, "rainfall")
    run = vesparil.rainfall_loss.run_deficit_and_constant
    wet = run(rain, 0.0, 2.0, 0.15, timedelta(hours=48))
    no_recovery = run(rain, 0.0, 2.0, 0.15, timedelta(0))
    # Negative arguments, one hour of 1.0 in of rain.
    one = IncrementalTimeSeries([1.0], HOUR, "rainfall")
    negative_rate = run(one, 0.0, 2.0, -0.5, timedelta(0))
    negative_deficit = run(one, -0.9, 2.0, 0.0, timedelta(0))
    negative_maximum = run(one, 0.0, -0.5, 0.0, timedelta(0))
    return {
        "loss.saturated_in_per_h": wet.loss.data[-1],
        "loss.saturated_deficit_end": wet.deficit.data[-1],
        "loss.no_recovery_in_per_h": no_recovery.loss.data[-1],
        "loss.negative_rate_excess_in": negative_rate.excess.data[0],
        "loss.negative_rate_loss_in": negative_rate.loss.data[0],
        "loss.negative_deficit_excess_in": negative_deficit.excess.data[0],
        "loss.negative_deficit_loss_in": negative_deficit.loss.data[0],
        "loss.negative_maximum_excess_in": negative_maximum.excess.data[0],
    }


def muskingum_coefficients(step_s, k_s, x):
    two_k = k_s + k_s
    a, b = (1.0 - x) * two_k, two_k * x
    e = step_s + a
    return (step_s - b) / e, (b + step_s) / e, (a - step_s) / e


def route_counting_warnings(inflow, step, k, x, sub_reaches):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        routed = vesparil.reach.run_muskingum_routing(
            ContinuousTimeSeries(inflow, step, "discharge"), k, x, sub_reaches, inflow[0]
        ).data
    return min(routed), len(caught)


def muskingum():
    rise = [0.0, 0.0] + [100.0] * 10
    pulse = [0.0, 100.0] + [0.0] * 6
    low_a, warned_a = route_counting_warnings(rise, QUARTER_HOUR, HOUR, 0.4, 1)
    low_fixed_a, _ = route_counting_warnings(rise, QUARTER_HOUR, HOUR, 0.4, 4)
    low_b, warned_b = route_counting_warnings(pulse, 3 * HOUR, HOUR, 0.2, 1)
    # The same pulse resampled to one hour by linear interpolation.
    hourly = [0.0, 100.0 / 3, 200.0 / 3, 100.0, 200.0 / 3, 100.0 / 3] + [0.0] * 16
    low_fixed_b, _ = route_counting_warnings(hourly, HOUR, HOUR, 0.2, 1)
    return {
        "muskingum.c0_k1_x04_15min": muskingum_coefficients(900.0, 3600.0, 0.4)[0],
        "muskingum.min_k1_x04_15min": low_a,
        "muskingum.warnings_k1_x04_15min": warned_a,
        "muskingum.min_k1_x04_15min_4_sub_reaches": low_fixed_a,
        "muskingum.c2_k1_x02_3h": muskingum_coefficients(10800.0, 3600.0, 0.2)[2],
        "muskingum.min_k1_x02_3h": low_b,
        "muskingum.warnings_k1_x02_3h": warned_b,
        "muskingum.min_k1_x02_resampled_1h": low_fixed_b,
    }


def numbers():
    found = {}
    for part in (clark, baseflow, level_pool, loss, muskingum):
        found.update(part())
    # The scores', the errors page's, the event methods' and the continuous models' numbers live
    # in the files beside this one.
    for name in ("pitfalls_scores", "pitfalls_errors", "pitfalls_events", "pitfalls_lumped"):
        found.update(sibling(name).numbers())
    return found


def sibling(name):
    """The module scripts/<name>.py, loaded by its path (the scripts are no package)."""
    spec = importlib.util.spec_from_file_location(name, Path(__file__).resolve().parent / f"{name}.py")
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


if __name__ == "__main__":
    for key, value in numbers().items():
        print(f"{key:<48} {value!r}")
