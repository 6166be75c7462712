"""Computes, with the installed library, every number quoted in the Pitfalls of the user guide.

    python3 scripts/pitfalls.py

Each number has a key; tests/test_pitfalls.py checks that the pages of docs/ quote each value as
computed here, and checks the larger ones against arithmetic done by hand.
"""

import importlib.util
import math
import subprocess
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


def random_series(count, seed):
    """Deterministic pseudo-random flows and a noisy simulation of them (no NumPy needed)."""
    state, observed, simulated = seed, [], []
    for _ in range(count):
        values = []
        for _ in range(2):
            state = (state * 6364136223846793005 + 1442695040888963407) % 2**64
            values.append((state >> 11) / 2**53)
        observed.append(5.0 + 200.0 * values[0] ** 3)
        simulated.append(observed[-1] * (0.7 + 0.6 * values[1]))
    return simulated, observed


def plain_sum(values):
    """Left-to-right sum: the built-in sum() compensates its rounding from Python 3.12 on."""
    total = 0.0
    for value in values:
        total += value
    return total


def kge_reference(sim, obs):
    """Two-pass textbook Kling-Gupta efficiency (population standard deviations)."""
    n = len(obs)
    mean_s, mean_o = plain_sum(sim) / n, plain_sum(obs) / n
    cov = plain_sum((s - mean_s) * (o - mean_o) for s, o in zip(sim, obs)) / n
    std_s = math.sqrt(plain_sum((s - mean_s) ** 2 for s in sim) / n)
    std_o = math.sqrt(plain_sum((o - mean_o) ** 2 for o in obs) / n)
    r = cov / (std_s * std_o)
    return 1.0 - math.sqrt((r - 1.0) ** 2 + (mean_s / mean_o - 1.0) ** 2
                           + (std_s / std_o - 1.0) ** 2)


KGE_CASES = 200


def kge():
    kge_of = vesparil.metrics.calculate_kge
    cases = [random_series(10 + 7 * i, seed=i + 1) for i in range(KGE_CASES)]
    low = [0.001, 0.0011, 0.0012]
    low_mean = plain_sum(low) / len(low)
    low_spread = plain_sum((v - low_mean) ** 2 for v in low)  # sqrt(S_oo S_ss) for sim = obs
    numbers = {
        "kge.nan": kge_of([1.0, math.nan, 3.0], [1.0, 2.0, 3.0]),
        "kge.constant_obs": kge_of([1.0, 2.0, 3.0], [1.0, 1.0, 1.0]),
        "kge.log_of_zero": math.log(0.0 + 1e-6),
        "kge.log_one_zero": kge_of([0.001, 1.0, 2.0, 3.0], [0.0, 1.0, 2.0, 3.0], use_log=True),
        "kge.plain_one_zero": kge_of([0.001, 1.0, 2.0, 3.0], [0.0, 1.0, 2.0, 3.0]),
        "kge.log_shifted": kge_of([1.001, 2.0, 3.0, 4.0], [1.0, 2.0, 3.0, 4.0], use_log=True),
        "kge.low_variance_self": kge_of(low, low),
        "kge.low_variance_d": low_spread,
        "kge.low_variance_self_x10": kge_of([10.0 * v for v in low], [10.0 * v for v in low]),
        "kge.cases": KGE_CASES,
        "kge.max_difference_textbook": max(
            abs(kge_of(sim, obs) - kge_reference(sim, obs)) for sim, obs in cases
        ),
    }
    try:
        import numpy
        import spotpy.objectivefunctions as objectives
    except ImportError:
        return numbers
    numbers["kge.max_difference_spotpy"] = max(
        abs(kge_of(sim, obs) - float(objectives.kge(numpy.array(obs), numpy.array(sim))))
        for sim, obs in cases
    )
    return numbers


# An intermittent stream: the observations dry up; the model keeps a trickle of 0.05.
DRYING_OBS = [0.0, 0.0, 0.4, 3.0, 12.0, 6.0, 2.0, 0.8, 0.1, 0.0, 0.0, 0.0]
DRYING_SIM = [0.05, 0.05, 0.5, 2.6, 11.0, 6.5, 2.2, 0.7, 0.15, 0.05, 0.05, 0.05]


def seasonal_year():
    """A year of daily flows with one wet season, and a simulation 15 % low plus 20 cfs."""
    _, noise = random_series(365, seed=3)
    obs = [15.0 + 300.0 * max(0.0, math.sin(2.0 * math.pi * (d - 40) / 365)) ** 4
           + 0.2 * noise[d] for d in range(365)]
    sim = [0.85 * q + 20.0 + 10.0 * math.sin(d * 0.9) for d, q in enumerate(obs)]
    return sim, obs


def metrics():
    m = vesparil.metrics
    _, obs = random_series(365, seed=7)
    biased = [1.3 * q for q in obs]
    sim, year = seasonal_year()
    wettest = set(sorted(range(365), key=lambda d: -year[d])[:110])  # 30 %: gauge out in floods
    scattered = {d for d in range(365) if (d * 37) % 10 < 3}         # 30 %: spread over the year

    def gappy(days):
        return [math.nan if d in days else q for d, q in enumerate(year)]

    return {
        "metrics.log_eps": plain_sum(DRYING_OBS) / len(DRYING_OBS) / 100.0,
        "metrics.nse_drying": m.calculate_nse(DRYING_SIM, DRYING_OBS),
        "metrics.log_nse_drying": m.calculate_nse(DRYING_SIM, DRYING_OBS, True),
        "metrics.log_nse_drying_1e6": m.calculate_nse(DRYING_SIM, DRYING_OBS, True, epsilon=1e-6),
        "metrics.log_nse_drying_01": m.calculate_nse(DRYING_SIM, DRYING_OBS, True, epsilon=0.1),
        "metrics.kge2009_biased": m.calculate_kge_components(biased, obs).kge,
        "metrics.kge2012_biased": m.calculate_kge_components(biased, obs, variant="2012").kge,
        "metrics.gaps": len(wettest),
        "metrics.nse_year": m.calculate_nse(sim, year),
        "metrics.nse_scattered_gaps": m.calculate_nse(sim, gappy(scattered), missing="omit"),
        "metrics.nse_wet_gaps": m.calculate_nse(sim, gappy(wettest), missing="omit"),
        "metrics.pbias_year": m.calculate_pbias(sim, year),
        "metrics.pbias_wet_gaps": m.calculate_pbias(sim, gappy(wettest), missing="omit"),
    }


def errors():
    try:
        vesparil.reach.run_muskingum_routing(
            ContinuousTimeSeries([], HOUR, "discharge"), HOUR, 0.2, 1, 0.0
        )
    except Exception:  # noqa: BLE001 - this is what it must not catch
        caught_by_exception = True
    except BaseException as internal:
        caught_by_exception = False
        panic = internal
    # The diagnostic goes to the process's standard error, so it is read from a child process.
    child = subprocess.run(
        [sys.executable, "-c",
         "from datetime import timedelta\n"
         "import vesparil\n"
         "hour = timedelta(hours=1)\n"
         "empty = vesparil.utils.ContinuousTimeSeries([], hour, 'discharge')\n"
         "try:\n"
         "    vesparil.reach.run_muskingum_routing(empty, hour, 0.2, 1, 0.0)\n"
         "except BaseException:\n"
         "    pass\n"],
        capture_output=True, text=True, check=True)
    diagnostic = child.stderr.splitlines()
    return {
        "errors.panic_stderr_lines": len(diagnostic),
        "errors.panic_stderr_first_line_starts": diagnostic[0].split(" thread ")[0],
        "errors.panic_stderr_second_line": diagnostic[1],
        "errors.panic_caught_by_except_exception": caught_by_exception,
        "errors.panic_type": type(panic).__qualname__,
        "errors.panic_message": str(panic),
    }


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
    for part in (clark, baseflow, level_pool, loss, muskingum, kge, metrics, errors, curve_number,
                 scs_uh, storage_indication, muskingum_cunge):
        found.update(part())
    # The continuous-simulation models' numbers live beside this file.
    lumped = importlib.util.spec_from_file_location(
        "pitfalls_lumped", Path(__file__).resolve().parent / "pitfalls_lumped.py")
    module = importlib.util.module_from_spec(lumped)
    lumped.loader.exec_module(module)
    found.update(module.numbers())
    return found


if __name__ == "__main__":
    for key, value in numbers().items():
        print(f"{key:<48} {value!r}")
