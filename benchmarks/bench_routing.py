"""Timing of the two routing kernels against plain Python / NumPy baselines.

Run from a checkout with the built module importable:  python benchmarks/bench_routing.py

Muskingum: one million hourly inflow values through 10 sub-reaches; reported as nanoseconds per
value per sub-reach. The recurrence O[i] = C2 O[i-1] + (C0 I[i] + C1 I[i-1]) cannot be written
as a NumPy array expression without changing its arithmetic, so the baseline is a Python loop on
a slice, per value per sub-reach.

Clark: one year of hourly rainfall with dry spells, tc = 48 h, storage 24 h; reported as
nanoseconds per multiply-add of the convolution (wet steps x ordinates). The NumPy baseline does
the same update per wet step, q[i:i+n] = u * p + q[i:i+n], which is also bit-identical.
The module timings cover the call (the copy of the argument series included); reading the
result's `data` back into a Python list is timed separately.
"""

import math
import random
import time
from datetime import timedelta

import vesparil

try:
    import numpy as np
except ImportError:  # the Clark baseline then falls back to pure Python
    np = None

REPEATS = 5
HOUR = timedelta(hours=1)


def best_time(function, repeats=REPEATS):
    best = math.inf
    result = None
    for _ in range(repeats):
        start = time.perf_counter()
        result = function()
        best = min(best, time.perf_counter() - start)
    return best, result


def storm_inflow(n, seed=1):
    """Base flow with a storm hydrograph (gamma-like rise and recession) every few days."""
    rng = random.Random(seed)
    flow = [50.0] * n
    start = 0
    while start < n:
        peak, rise = rng.uniform(200.0, 5000.0), rng.randint(6, 36)
        for j in range(min(rise * 8, n - start)):
            shape = (j / rise) * math.exp(1.0 - j / rise)
            flow[start + j] += peak * shape
        start += rng.randint(48, 400)
    return flow


def wet_dry_rain(n, seed=2):
    """Two-state Markov chain: long dry spells, wet spells of a few hours, exponential depths."""
    rng = random.Random(seed)
    rain, wet = [], False
    for _ in range(n):
        wet = rng.random() < (0.6 if wet else 0.04)
        rain.append(rng.expovariate(10.0) if wet else 0.0)
    return rain


def muskingum_python(inflow, dt, k, x, sub_reaches, initial_outflow):
    k_segment = k / sub_reaches
    out = inflow
    for segment in range(sub_reaches):
        two_k = k_segment + k_segment
        a = (1.0 - x) * two_k
        b = two_k * x
        e = dt + a
        c0, c1, c2 = (dt - b) / e, (b + dt) / e, (a - dt) / e
        routed = [initial_outflow if segment == 0 else out[0]]
        previous_in, previous_out = out[0], routed[0]
        for current_in in out[1:]:
            previous_out = c2 * previous_out + (c0 * current_in + c1 * previous_in)
            routed.append(previous_out)
            previous_in = current_in
        out = routed
    return out


def bench_muskingum():
    n, sub_reaches, x, k = 1_000_000, 10, 0.2, timedelta(hours=20)
    inflow = storm_inflow(n)
    series = vesparil.utils.ContinuousTimeSeries(inflow, HOUR, "discharge")
    module_s, result = best_time(
        lambda: vesparil.reach.run_muskingum_routing(series, k, x, sub_reaches, 50.0))
    read_s, routed = best_time(lambda: result.data)

    slice_n = 100_000
    python_s, baseline = best_time(
        lambda: muskingum_python(inflow[:slice_n], 3600.0, k.total_seconds(), x, sub_reaches, 50.0),
        repeats=2)
    sliced = vesparil.reach.run_muskingum_routing(
        vesparil.utils.ContinuousTimeSeries(inflow[:slice_n], HOUR, "discharge"),
        k, x, sub_reaches, 50.0).data

    module_ns = module_s * 1e9 / (n * sub_reaches)
    python_ns = python_s * 1e9 / (slice_n * sub_reaches)
    print(f"Muskingum, {n:,} values x {sub_reaches} sub-reaches (peak out {max(routed):.1f})")
    print(f"  module        {module_ns:8.2f} ns per value per sub-reach")
    print(f"  Python loop   {python_ns:8.2f} ns per value per sub-reach "
          f"({slice_n:,}-value slice; identical: {sliced == baseline})")
    print(f"  speed-up      {python_ns / module_ns:8.1f} x")
    print(f"  (reading the result as a list: {read_s * 1e9 / n:.2f} ns per value)")


def bench_clark():
    n, tc, storage = 8760, timedelta(hours=48), timedelta(hours=24)
    rain = wet_dry_rain(n)
    series = vesparil.utils.IncrementalTimeSeries(rain, HOUR, "rainfall")
    area = 6400.0
    module_s, result = best_time(
        lambda: vesparil.rainfall_transform.run_clark_uh(series, area, tc, storage))
    read_s, q = best_time(lambda: result.data)

    # One inch in the first step gives the unit hydrograph itself: Q[j] = U[j] * 1.0 + 0.0.
    unit = vesparil.rainfall_transform.run_clark_uh(
        vesparil.utils.IncrementalTimeSeries([1.0], HOUR, "rainfall"), area, tc, storage).data
    ordinates = len(unit)
    wet = [(i, p) for i, p in enumerate(rain) if p != 0.0]
    multiply_adds = len(wet) * ordinates

    if np is not None:
        u = np.array(unit)

        def baseline():
            out = np.zeros(n + ordinates - 1)
            for i, p in wet:
                out[i:i + ordinates] = u * p + out[i:i + ordinates]
            return out.tolist()
        label = "NumPy slices"
    else:
        def baseline():
            out = [0.0] * (n + ordinates - 1)
            for i, p in wet:
                for j, uj in enumerate(unit):
                    out[i + j] = uj * p + out[i + j]
            return out
        label = "Python loop "
    baseline_s, expected = best_time(baseline)

    module_ns = module_s * 1e9 / multiply_adds
    baseline_ns = baseline_s * 1e9 / multiply_adds
    print(f"Clark, {n:,} hourly values ({len(wet):,} wet), {ordinates} ordinates, "
          f"{multiply_adds:,} multiply-adds")
    print(f"  module        {module_ns:8.3f} ns per multiply-add "
          f"({module_s * 1e6:.1f} us per call)")
    print(f"  {label}  {baseline_ns:8.3f} ns per multiply-add (identical: {q == expected})")
    print(f"  speed-up      {baseline_ns / module_ns:8.1f} x")
    print(f"  (reading the result as a list: {read_s * 1e6:.1f} us)")


if __name__ == "__main__":
    bench_muskingum()
    print()
    bench_clark()
