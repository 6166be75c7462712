"""Timing of level pool routing against a plain Python transcription of its loop.

Run from a checkout with the built module importable:  python benchmarks/bench_level_pool.py

A month of hourly inflow (744 values, one storm) is routed through a reservoir with a 30-point
elevation-storage curve and three outlets: a gate on a 30-point rating curve capped at 2000 cfs,
a spillway on a 16-point curve above a crest at 115 ft, and a 100 cfs pump that stops below
102 ft. The loop steps through every simulated second: 3600 x 742 + 1 sub-steps. The module is
reported in nanoseconds per sub-step (the whole call, argument copies included). The Python
transcription does the same arithmetic in the same order; it runs on the first day only and is
scaled per sub-step. Both are run on that day to check that they agree bit for bit.
"""

import bisect
import math
import time
from datetime import timedelta

import vesparil

REPEATS = 5
HOUR = 3600
PYTHON_HOURS = 24

ContinuousTimeSeries = vesparil.utils.ContinuousTimeSeries
utils = vesparil.reservoir.reservoir_utils


def best_time(function, repeats=REPEATS):
    best, result = math.inf, None
    for _ in range(repeats):
        start = time.perf_counter()
        result = function()
        best = min(best, time.perf_counter() - start)
    return best, result


def scenario():
    heights = [float(i) for i in range(30)]
    elevation = [100.0 + h for h in heights]
    storage = [4.0e7 * h + 5.0e5 * h * h for h in heights]  # ft3
    gate = [40.0 * h**1.5 for h in heights]  # cfs
    crest = [float(i) for i in range(16)]
    spill_elevation = [115.0 + h for h in crest]
    spill = [300.0 * h**1.5 for h in crest]
    inflow = []
    for hour in range(744):
        x = hour / 100.0
        inflow.append(300.0 + 15000.0 * x**3 * math.exp(3.0 * (1.0 - x)))
    return elevation, storage, (elevation, gate, 2000.0), (spill_elevation, spill), inflow


def interp(xs, ys, x, left, right):
    k = bisect.bisect_left(xs, x)
    if k < len(xs) and xs[k] == x:
        return ys[k]
    if k == 0:
        return left
    if k == len(xs):
        return right
    x0, x1, y0, y1 = xs[k - 1], xs[k], ys[k - 1], ys[k]
    return ((x - x0) / (x1 - x0)) * (y1 - y0) + y0


def python_level_pool(inflow, step, initial, elevation, storage, gate, spill):
    gate_e, gate_q, cap = gate
    spill_e, spill_q = spill

    def gate_release(e):
        if e < gate_e[0]:
            return 0.0
        if e > gate_e[-1]:
            raise ValueError("gate above its curve")
        q = interp(gate_e, gate_q, e, 0.0, None)
        return cap if cap < q else q

    def spill_release(e):
        shifted = 0.0 + e
        if shifted > spill_e[-1]:
            raise ValueError("spillway above its curve")
        return 0.0 if shifted < spill_e[0] else interp(spill_e, spill_q, shifted, 0.0, None)

    def pump_release(e):
        return 0.0 if e < 102.0 else 100.0

    outlets = {"gate": gate_release, "spillway": spill_release, "pump": pump_release}
    s = interp(elevation, storage, initial, None, None)
    e, previous = initial, inflow[0]
    storages, elevations, totals = [s], [e], []
    own = {name: [] for name in outlets}
    for t in range(step, step * (len(inflow) - 1) + 1):
        output = t % step == 0
        q_total = 0.0
        for name, release in outlets.items():
            q = release(e)
            if output:
                own[name].append(q)
            q_total = q_total + q
        if output:
            totals.append(q_total)
            if t == step:
                continue
        position = t / step
        i = math.floor(position)
        if i + 1 < len(inflow):
            now = (inflow[i + 1] - inflow[i]) * (position - i) + inflow[i]
        else:
            now = inflow[-1]
        s = s + ((previous + now) * 0.5) * 1.0 - q_total * 1.0
        if not s > 0.0:
            s = 0.0
        e = interp(storage, elevation, s, None, None)
        if e is None:
            raise ValueError("storage off the curve")
        if output:
            storages.append(s)
            elevations.append(e)
        previous = now
    return storages, elevations, totals, own


def main():
    elevation, storage, gate, spill, inflow = scenario()
    curve = utils.ElevationStorage(elevation, storage)
    outlets = {
        "gate": utils.ControlledDischargeInfo(utils.ElevationDischarge(gate[0], gate[1]),
                                              maximum_release=gate[2]),
        "spillway": utils.UnControlledDischargeInfo(utils.ElevationDischarge(*spill)),
        "pump": utils.ConstantDischargeInfo(100.0, minimum_elevation=102.0),
    }

    def run(values):
        series = ContinuousTimeSeries(values, timedelta(hours=1), "discharge")
        return vesparil.reservoir.run_level_pool_routing(series, 110.0, curve, outlets)

    sub_steps = HOUR * (len(inflow) - 2) + 1
    module_seconds, result = best_time(lambda: run(inflow))
    module_ns = module_seconds / sub_steps * 1e9
    elevations = result.reservoir_elevation.data

    day = inflow[: PYTHON_HOURS + 1]
    day_steps = HOUR * (len(day) - 2) + 1
    python_seconds, expected = best_time(
        lambda: python_level_pool(day, HOUR, 110.0, elevation, storage, gate, spill), repeats=2)
    python_ns = python_seconds / day_steps * 1e9

    day_result = run(day)
    actual = (day_result.reservoir_storage.data, day_result.reservoir_elevation.data,
              day_result.reservoir_total_outflow.data,
              {k: v.data for k, v in day_result.reservoir_individual_outflows.items()})
    agree = actual == expected

    print(f"level pool, {len(inflow)} hourly values, {sub_steps} sub-steps, 3 outlets, "
          f"30-point curves")
    print(f"  elevation from {min(elevations):.3f} to {max(elevations):.3f} ft")
    print(f"  vesparil:          {module_ns:10.1f} ns per sub-step  "
          f"({module_seconds * 1e3:.1f} ms)")
    print(f"  Python loop:       {python_ns:10.1f} ns per sub-step  (first {PYTHON_HOURS} h, "
          f"{python_seconds * 1e3:.1f} ms)")
    print(f"  ratio:             {python_ns / module_ns:10.1f} x")
    print(f"  first day bit-identical to the Python loop: {'yes' if agree else 'NO'}")


if __name__ == "__main__":
    main()
