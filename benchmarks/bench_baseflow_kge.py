"""Timing of calculate_kge and run_linear_reservoir against NumPy / plain Python baselines.

Run from the repository with the extension importable:

    python benchmarks/bench_baseflow_kge.py [--kge-values N] [--baseflow-steps N]

KGE: 10,000,000 values, passed as a list and as a float64 array, timed beside a NumPy version of
the same formula in the same run. Baseflow: three layers of three reservoirs each over 1,000,000
hourly steps, reported in nanoseconds per step per reservoir beside a Python loop timed on a slice
and scaled to the full length.
"""

import argparse
import math
import time
from datetime import timedelta

import numpy as np

import vesparil

calculate_kge = vesparil.metrics.calculate_kge
LinearReservoir = vesparil.baseflow.LinearReservoir
run_linear_reservoir = vesparil.baseflow.run_linear_reservoir
IncrementalTimeSeries = vesparil.utils.IncrementalTimeSeries

REPEATS = 3


def best_time(fn, repeats=REPEATS):
    best = math.inf
    result = None
    for _ in range(repeats):
        start = time.perf_counter()
        result = fn()
        best = min(best, time.perf_counter() - start)
    return best, result


def kge_numpy(sim, obs, use_log=False):
    sim = np.asarray(sim, dtype=np.float64)
    obs = np.asarray(obs, dtype=np.float64)
    if use_log:
        sim = np.log(sim + 1e-6)
        obs = np.log(obs + 1e-6)
    n = float(obs.size)
    mean_sim = sim.sum() / n
    mean_obs = obs.sum() / n
    ds = sim - mean_sim
    do = obs - mean_obs
    s_so = np.dot(ds, do)
    s_ss = np.dot(ds, ds)
    s_oo = np.dot(do, do)
    d = math.sqrt(s_oo * s_ss)
    corr_term = 1.0 if d < 1e-6 else (s_so / d - 1.0) ** 2
    beta = mean_sim / (1e-6 if abs(mean_obs) < 1e-6 else mean_obs)
    std_obs = math.sqrt(s_oo / n)
    std_sim = math.sqrt(s_ss / n)
    gamma = std_sim / (1e-6 if std_obs < 1e-6 else std_obs)
    return 1.0 - math.sqrt(((beta - 1.0) ** 2 + corr_term) + (gamma - 1.0) ** 2)


def synthetic_flows(count, seed):
    # A seasonal signal with noise, strictly positive like a discharge record.
    rng = np.random.default_rng(seed)
    t = np.arange(count, dtype=np.float64)
    return 50.0 + 30.0 * np.sin(t * (2.0 * math.pi / 8760.0)) + rng.gamma(2.0, 5.0, count)


def bench_kge(count):
    obs = synthetic_flows(count, 1)
    sim = obs * 0.9 + synthetic_flows(count, 2) * 0.1
    sim_list, obs_list = sim.tolist(), obs.tolist()
    print(f"KGE over {count:,} values (best of {REPEATS})")
    for use_log in (False, True):
        t_ref, ref = best_time(lambda: kge_numpy(sim, obs, use_log))
        t_list, from_list = best_time(lambda: calculate_kge(sim_list, obs_list, use_log))
        t_array, from_array = best_time(lambda: calculate_kge(sim, obs, use_log))
        label = "log " if use_log else "    "
        print(f"  {label} numpy formula         {t_ref * 1e3:9.1f} ms  kge={ref!r}")
        print(f"  {label} calculate_kge(list)   {t_list * 1e3:9.1f} ms  kge={from_list!r}"
              f"  ratio to numpy {t_list / t_ref:5.2f}")
        print(f"  {label} calculate_kge(array)  {t_array * 1e3:9.1f} ms  kge={from_array!r}"
              f"  ratio to numpy {t_array / t_ref:5.2f}")
        # NumPy sums pairwise, ours in index order: the scores agree to rounding only.
        print(f"  {label} |difference| {abs(from_list - ref):.3g}")


def python_cascade(basin_area, rainfall, step_seconds, layers):
    """Baseline: inflow with NumPy, the recurrence as a Python loop."""
    dt_hr = step_seconds / 3600.0
    half_step = 0.5 * dt_hr
    total = np.zeros(len(rainfall))
    for gw_fraction, initial_q, k_seconds, n in layers:
        k_per_res = (k_seconds / 3600.0) / n
        c = dt_hr / (k_per_res + half_step)
        d = 1.0 - c
        inflow = ((rainfall * gw_fraction) / dt_hr) * (basin_area * 1.00833)
        state = [initial_q] * n
        output = []
        for flow in inflow.tolist():
            for j in range(n):
                flow = state[j] * d + flow * c
                state[j] = flow
            output.append(flow)
        total = np.asarray(output) + total
    return total


def bench_baseflow(steps, baseline_steps):
    step_seconds = 3600
    rng = np.random.default_rng(3)
    rainfall = np.where(rng.random(steps) < 0.1, rng.gamma(1.5, 0.1, steps), 0.0)
    layers = [  # (gw_fraction, initial_q, K seconds, reservoirs)
        (0.2, 5.0, 48 * 3600, 3),
        (0.3, 2.0, 240 * 3600, 3),
        (0.1, 0.5, 2000 * 3600, 3),
    ]
    reservoirs = {
        f"layer{i}": LinearReservoir(timedelta(seconds=k), gw, q0, n)
        for i, (gw, q0, k, n) in enumerate(layers)
    }
    series = IncrementalTimeSeries(rainfall.tolist(), timedelta(seconds=step_seconds), "rainfall")
    basin_area = 640.0
    reservoir_count = sum(n for *_, n in layers)

    t_run, (total, _) = best_time(lambda: run_linear_reservoir(basin_area, series, reservoirs))
    per_step = t_run * 1e9 / steps / reservoir_count

    head = rainfall[:baseline_steps]
    t_base, base_total = best_time(lambda: python_cascade(basin_area, head, step_seconds, layers))
    base_scaled = t_base * steps / baseline_steps
    base_per_step = base_scaled * 1e9 / steps / reservoir_count
    same = total.data[:baseline_steps] == base_total.tolist()

    print(f"Baseflow: {len(layers)} layers x 3 reservoirs over {steps:,} steps (best of {REPEATS})")
    print(f"  run_linear_reservoir       {t_run * 1e3:9.1f} ms  "
          f"{per_step:7.2f} ns per step per reservoir (call, conversions and results included)")
    print(f"  Python loop, {baseline_steps:,} steps   {t_base * 1e3:9.1f} ms  "
          f"-> {base_scaled * 1e3:9.1f} ms scaled, {base_per_step:7.2f} ns per step per reservoir")
    print(f"  speed-up {base_scaled / t_run:6.1f}x; totals on the slice identical: {same}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--kge-values", type=int, default=10_000_000)
    parser.add_argument("--baseflow-steps", type=int, default=1_000_000)
    parser.add_argument("--baseline-steps", type=int, default=50_000)
    args = parser.parse_args()
    bench_kge(args.kge_values)
    print()
    bench_baseflow(args.baseflow_steps, min(args.baseline_steps, args.baseflow_steps))


if __name__ == "__main__":
    main()
