"""Timing of vesparil.basin: run_batch against a plain C loop of the same chain and against
today's one-call-per-member Python loop, two threads against one, and run against the hand-wired
chain of today's functions.

    python benchmarks/bench_basin.py [--quick]       (also a part of benchmarks/run.py)

The chain is Fulda-like: 3,653 daily steps of rainfall, deficit-and-constant loss, a Clark unit
hydrograph of the excess and two single-reservoir baseflow layers fed by the loss, scored by KGE
against an observed series; 2,000 members of nine parameters. The C loop (compiled now, -O2
-ffp-contract=off) computes the same arithmetic in the same order into scratch allocated once, and
is first checked to give the batch's scores bit for bit. Wall-clock medians: the batch runs on its
own worker threads.
"""

import argparse
import ctypes
import math
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from datetime import timedelta

# NumPy's BLAS threads would spin beside the timed threads; nothing here uses them.
os.environ.setdefault("OPENBLAS_NUM_THREADS", "1")

import numpy as np  # noqa: E402

import vesparil  # noqa: E402
from c_kge import KGE_C  # noqa: E402

DAY = timedelta(days=1)
STEPS = 3653
AREA = 735_000.0  # acres, some 2,976 km2
LOSS_RECOVERY_HOURS = 240.0
COLUMNS = ["fulda.loss.initial_deficit", "fulda.loss.maximum_deficit", "fulda.loss.constant_rate",
           "fulda.transform.tc", "fulda.transform.storage", "fulda.baseflow.fast.k_duration",
           "fulda.baseflow.fast.gw_fraction", "fulda.baseflow.slow.k_duration",
           "fulda.baseflow.slow.gw_fraction"]
LOW = [0.0, 0.5, 0.0, 26.0, 12.0, 48.0, 0.05, 400.0, 0.05]
HIGH = [2.0, 6.0, 0.02, 96.0, 240.0, 300.0, 0.45, 4000.0, 0.45]
INITIAL_Q = (2.0, 10.0)

C_CHAIN = r"""
#include <math.h>
#include <stdlib.h>

static double nmin(double a, double b) { if (a != a) return b; if (b != b) return a; return b < a ? b : a; }
static double nmax(double a, double b) { if (a != a) return b; if (b != b) return a; return b > a ? b : a; }
""" + "static " + KGE_C + r"""
static double fraction_at(double t) {
    if (t < 0.5) return pow(t, 1.5) * 1.414;
    return pow(1.0 - t, 1.5) * -1.414 + 1.0;
}

/* Members first..last of the chain; p holds 9 parameters per member. */
void chain(const double* rain, long n, double dt, double area, double recovery_h, double q1,
           double q2, const double* p, long first, long last, const double* obs, double* scores) {
    double* ex = malloc(sizeof(double) * n); double* lo = malloc(sizeof(double) * n);
    double* q = malloc(sizeof(double) * 4 * n); double* out = malloc(sizeof(double) * n);
    double* u = malloc(sizeof(double) * 4 * n);
    double dt_h = dt / 3600.0;
    for (long m = first; m < last; ++m) {
        const double* v = p + 9 * m;
        /* loss */
        double recovery = recovery_h * 3600.0 > 0.0 ? 1.0 - exp(dt_h / ((recovery_h * 3600.0) / -3600.0)) : 0.0;
        double cap = v[2] * dt_h, maxd = v[1], d = v[0];
        for (long i = 0; i < n; ++i) {
            double room = nmax(maxd - d, 0.0);
            d = nmin(room * recovery + d, maxd);
            double e = 0.0, l = 0.0, pr = rain[i];
            if (pr > 0.0) {
                double cl = nmin(pr, cap), rem = pr - cl, fill = nmin(rem, d);
                d = d - fill; e = rem - fill; l = fill + cl;
            }
            ex[i] = e; lo[i] = l;
        }
        /* Clark: translation, storage (Muskingum with x = 0 from 0), convolution */
        double tc = v[3] * 3600.0, st = v[4] * 3600.0;
        long k = (long)ceil(tc / dt);
        double prev = 0.0;
        for (long i = 1; i <= k; ++i) {
            double f = fraction_at(nmin(((double)i * dt) / tc, 1.0));
            u[i - 1] = ((f - prev) * area * 1.00833) / dt_h;
            prev = f;
        }
        double two_k = st + st, a = (1.0 - 0.0) * two_k, b = two_k * 0.0, e = dt + a;
        double c0 = (dt - b) / e, c1 = (b + dt) / e, c2 = (a - dt) / e;
        double pin = u[0]; u[0] = 0.0; double pout = 0.0;
        for (long i = 1; i < k; ++i) {
            double cur = u[i]; double terms = c0 * cur + c1 * pin;
            pout = c2 * pout + terms; u[i] = pout; pin = cur;
        }
        for (long i = 0; i < n + k - 1; ++i) q[i] = 0.0;
        for (long i = 0; i < n; ++i) {
            double pr = ex[i];
            if (pr == 0.0) continue;
            for (long j = 0; j < k; ++j) q[i + j] = u[j] * pr + q[i + j];
        }
        /* two baseflow layers of one reservoir, the total lagged one step */
        double half = 0.5 * dt_h, af = area * 1.00833;
        double k1 = (double)(int)(v[5] * 3600.0) / 3600.0 / 1.0, k2 = (double)(int)(v[7] * 3600.0) / 3600.0 / 1.0;
        double ca = dt_h / (k1 + half), da = 1.0 - ca, cb = dt_h / (k2 + half), db = 1.0 - cb;
        double sa = q1, sb = q2;
        out[0] = q[0] + ((0.0 + q1) + q2);
        for (long i = 0; i < n; ++i) {
            sa = sa * da + (((lo[i] * v[6]) / dt_h) * af) * ca;
            sb = sb * db + (((lo[i] * v[8]) / dt_h) * af) * cb;
            double total = sb + (sa + 0.0);
            if (i + 1 < n) out[i + 1] = q[i + 1] + total;
        }
        scores[m] = kge(out, obs, n);
    }
    free(ex); free(lo); free(q); free(out); free(u);
}
"""

P = ctypes.POINTER(ctypes.c_double)


def compile_chain(directory):
    source = os.path.join(directory, "chain.c")
    library = os.path.join(directory, "chain.so")
    with open(source, "w") as handle:
        handle.write(C_CHAIN)
    subprocess.run([os.environ.get("CC", "cc"), "-O2", "-ffp-contract=off", "-fno-fast-math",
                    "-shared", "-fPIC", source, "-o", library, "-lm"], check=True)
    lib = ctypes.CDLL(library)
    lib.chain.argtypes = [P, ctypes.c_long, ctypes.c_double, ctypes.c_double, ctypes.c_double,
                          ctypes.c_double, ctypes.c_double, P, ctypes.c_long, ctypes.c_long, P, P]
    lib.chain.restype = None
    return lib


def ptr(array):
    return array.ctypes.data_as(P)


def fulda_like(seed=5):
    """A decade of daily rain (inches), wet and dry spells, and an observed series to score."""
    rng = np.random.default_rng(seed)
    wet = rng.random(STEPS) < 0.45
    rain = np.where(wet, rng.gamma(0.8, 0.25, STEPS), 0.0)
    model = vesparil.basin.Basin(DAY)
    layers = {"fast": vesparil.baseflow.LinearReservoir(timedelta(hours=120), 0.2, INITIAL_Q[0]),
              "slow": vesparil.baseflow.LinearReservoir(timedelta(hours=1500), 0.3, INITIAL_Q[1])}
    model.add_subbasin("fulda", AREA,
                       vesparil.basin.DeficitAndConstant(1.0, 3.0, 0.01,
                                                         timedelta(hours=LOSS_RECOVERY_HOURS)),
                       vesparil.basin.Clark(timedelta(hours=40), timedelta(hours=60)), layers)
    observed = np.array(model.run({"fulda": rain})["fulda"].outflow.data) * 0.9 + 5.0
    return model, rain, observed


def members(count, seed=7):
    rng = np.random.default_rng(seed)
    return np.ascontiguousarray(rng.uniform(LOW, HIGH, (count, len(LOW))))


def per_call_member(rain_series, values, observed):
    """Today's way: one call per stage, lined up in Python, per parameter set."""
    rl = vesparil
    split = rl.rainfall_loss.run_deficit_and_constant(
        rain_series, values[0], values[1], values[2], timedelta(hours=LOSS_RECOVERY_HOURS))
    direct = rl.rainfall_transform.run_clark_uh(split.excess, AREA, timedelta(hours=values[3]),
                                                timedelta(hours=values[4])).data[:STEPS]
    layers = {"fast": rl.baseflow.LinearReservoir(timedelta(hours=values[5]), values[6], INITIAL_Q[0]),
              "slow": rl.baseflow.LinearReservoir(timedelta(hours=values[7]), values[8], INITIAL_Q[1])}
    total, _ = rl.baseflow.run_linear_reservoir(AREA, split.loss, layers)
    base = [INITIAL_Q[0] + INITIAL_Q[1]] + total.data[:-1]
    return rl.metrics.calculate_kge([q + b for q, b in zip(direct, base)], observed)


def medians(functions, repeats):
    times = [[] for _ in functions]
    for _ in range(repeats):
        for function, own in zip(functions, times):
            start = time.perf_counter()
            function()
            own.append(time.perf_counter() - start)
    return [statistics.median(own) for own in times]


def c_pair(lib, args, count):
    """The C loop on two threads (ctypes lets go of the interpreter lock), halves of the members."""
    half = count // 2
    threads = [threading.Thread(target=lib.chain, args=args[:8] + (first, last) + args[10:])
               for first, last in ((0, half), (half, count))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()


def bench(quick=False):
    count = 400 if quick else 2000
    repeats = 3 if quick else 5
    model, rain, observed = fulda_like()
    table = members(count)
    forcing = {"fulda": rain}
    with tempfile.TemporaryDirectory() as directory:
        lib = compile_chain(directory)
        scores = np.zeros(count)
        args = (ptr(rain), STEPS, 86400.0, AREA, LOSS_RECOVERY_HOURS, INITIAL_Q[0], INITIAL_Q[1],
                ptr(table), 0, count, ptr(observed), ptr(scores))
        lib.chain(*args)
        batch = model.run_batch(table, COLUMNS, forcing, observed, threads=1)
        if np.asarray(batch).tobytes() != scores.tobytes():
            differ = int(np.sum(np.asarray(batch) != scores))
            print(f"  C chain differs from the batch in {differ} of {count} scores", flush=True)
        one, c_one, two, c_two = medians([
            lambda: model.run_batch(table, COLUMNS, forcing, observed, threads=1),
            lambda: lib.chain(*args),
            lambda: model.run_batch(table, COLUMNS, forcing, observed, threads=2),
            lambda: c_pair(lib, args, count),
        ], repeats)
    sample = 60 if quick else 200
    rain_series = vesparil.utils.IncrementalTimeSeries(rain.tolist(), DAY, "rainfall")
    observed_list = observed.tolist()
    per_call = medians([lambda: [per_call_member(rain_series, row, observed_list)
                                 for row in table[:sample]]], 3)[0] / sample
    per_member = one / count
    print(f"{'run_batch, Fulda chain, 1 thread':<38} {per_member * 1e6:9.1f} us/member | "
          f"C loop {c_one / count * 1e6:8.1f} | {per_member / (c_one / count):5.2f} x C loop "
          f"(target <= 1.20 x)", flush=True)
    print(f"{'run_batch vs one call per member':<38} {per_member * 1e6:9.1f} us/member | "
          f"per call {per_call * 1e6:8.1f} | {per_call / per_member:5.2f} x faster (target >= 4 x)",
          flush=True)
    print(f"{'run_batch, 2 threads vs 1':<38} {two / count * 1e6:9.1f} us/member | "
          f"{one / two:5.2f} x one thread (target >= 1.8 x) | C loop {c_one / c_two:5.2f} x",
          flush=True)

    one_sub = vesparil.basin.Basin(DAY)
    one_sub.add_subbasin("fulda", AREA, vesparil.basin.DeficitAndConstant(1.0, 3.0, 0.01,
                         timedelta(hours=LOSS_RECOVERY_HOURS)),
                         vesparil.basin.Clark(timedelta(hours=40), timedelta(hours=60)),
                         {"fast": vesparil.baseflow.LinearReservoir(timedelta(hours=120), 0.2, 2.0),
                          "slow": vesparil.baseflow.LinearReservoir(timedelta(hours=1500), 0.3, 10.0)})

    def hand_wired():
        split = vesparil.rainfall_loss.run_deficit_and_constant(
            rain_series, 1.0, 3.0, 0.01, timedelta(hours=LOSS_RECOVERY_HOURS))
        direct = vesparil.rainfall_transform.run_clark_uh(
            split.excess, AREA, timedelta(hours=40), timedelta(hours=60)).data[:STEPS]
        layers = {"fast": vesparil.baseflow.LinearReservoir(timedelta(hours=120), 0.2, 2.0),
                  "slow": vesparil.baseflow.LinearReservoir(timedelta(hours=1500), 0.3, 10.0)}
        total, _ = vesparil.baseflow.run_linear_reservoir(AREA, split.loss, layers)
        base = [2.0 + 10.0] + total.data[:-1]
        return vesparil.utils.ContinuousTimeSeries([q + b for q, b in zip(direct, base)], DAY,
                                                    "discharge")

    def run_once():
        return one_sub.run({"fulda": rain_series})["fulda"].outflow

    assert run_once().data == hand_wired().data
    loops = 20
    run_t, hand_t = medians([lambda: [run_once() for _ in range(loops)],
                             lambda: [hand_wired() for _ in range(loops)]], repeats + 4)
    print(f"{'run, one sub-basin, 3,653 steps':<38} {run_t / loops * 1e6:9.1f} us/run    | "
          f"hand-wired {hand_t / loops * 1e6:8.1f} | {run_t / hand_t:5.2f} x hand-wired "
          f"(target <= 1.10 x)", flush=True)
    return {"per_member_us": per_member * 1e6, "c_ratio": per_member / (c_one / count),
            "per_call_ratio": per_call / per_member, "threads_ratio": one / two,
            "c_threads_ratio": c_one / c_two, "run_ratio": run_t / hand_t}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="fewer members and repeats")
    options = parser.parse_args()
    print(f"Python {sys.version.split()[0]}, {os.cpu_count()} CPUs, load average "
          f"{', '.join(f'{v:.1f}' for v in os.getloadavg())}")
    bench(options.quick)


if __name__ == "__main__":
    main()
