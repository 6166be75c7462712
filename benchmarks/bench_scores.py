"""The rows of the goodness-of-fit scores (run by benchmarks/run.py, or on their own).

Baselines, as for every row of run.py: a plain C loop with the module's operation order (each
sum in index order with its own accumulator; the ensemble loop scores one member after the
other), checked to give the module's bits first, and NumPy's expression of the same score. The
ensemble row also times hydroeval called once per member, when it is installed.

Rows:
  each score on 1e7 values from arrays      target <= 1.2 x the C loop, and faster than NumPy
  1,000 members x 3,653 daily steps         target <= 1.3 x the C loop, >= 50 x hydroeval
  a call on 10 values                       target: no more than calculate_kge on 10 values
"""

import ctypes
import math
import os
import statistics
import subprocess
import time
import timeit

# NumPy's BLAS threads spin for a while after a BLAS call (np.corrcoef in a baseline) and take a
# core from the threads being timed: the benchmarks run NumPy's BLAS on one thread.
os.environ.setdefault("OPENBLAS_NUM_THREADS", "1")

import numpy as np

import vesparil

m = vesparil.metrics

C_SOURCE = r"""
#include <math.h>
#include <stdlib.h>

static double total(const double* x, long n) { double t = 0.0; for (long i = 0; i < n; ++i) t += x[i]; return t; }

/* kind: 0 nse, 1 log nse, 2 kge 2009, 3 kge 2012, 4 pbias, 5 rmse, 6 mae, 7 pearson r */
void score(int kind, const double* s, const double* o, long len, double* out) {
    double n = (double)len;
    if (kind == 1) {
        double eps = (total(o, len) / n) / 100.0;
        double* lo = malloc(sizeof(double) * len);
        double sl = 0.0;
        for (long i = 0; i < len; ++i) { lo[i] = log(o[i] + eps); sl += lo[i]; }
        double ml = sl / n, e2 = 0.0, d2 = 0.0;
        for (long i = 0; i < len; ++i) { double d = lo[i] - ml; d2 += d * d; }
        for (long i = 0; i < len; ++i) { double e = log(s[i] + eps) - lo[i]; e2 += e * e; }
        free(lo);
        out[0] = 1.0 - e2 / d2;
        return;
    }
    if (kind == 0) {
        double mo = total(o, len) / n, e2 = 0.0, d2 = 0.0;
        for (long i = 0; i < len; ++i) { double e = s[i] - o[i], d = o[i] - mo; e2 += e * e; d2 += d * d; }
        out[0] = 1.0 - e2 / d2;
        return;
    }
    if (kind == 4) {
        double d = 0.0, t = 0.0;
        for (long i = 0; i < len; ++i) { d += s[i] - o[i]; t += o[i]; }
        out[0] = 100.0 * d / t;
        return;
    }
    if (kind == 5 || kind == 6) {
        double a = 0.0;
        if (kind == 5) for (long i = 0; i < len; ++i) { double e = s[i] - o[i]; a += e * e; }
        else for (long i = 0; i < len; ++i) a += fabs(s[i] - o[i]);
        out[0] = kind == 5 ? sqrt(a / n) : a / n;
        return;
    }
    double ss = 0.0, so = 0.0;
    for (long i = 0; i < len; ++i) { ss += s[i]; so += o[i]; }
    double ms = ss / n, mo = so / n, c = 0.0, qs = 0.0, qo = 0.0;
    for (long i = 0; i < len; ++i) {
        double ds = s[i] - ms, dob = o[i] - mo;
        c += ds * dob; qs += ds * ds; qo += dob * dob;
    }
    double r = c / sqrt(qs * qo);
    if (kind == 7) { out[0] = r; return; }
    double sds = sqrt(qs / n), sdo = sqrt(qo / n), beta = ms / mo, v, dist;
    if (kind == 2) {
        v = sds / sdo;
        dist = sqrt((r - 1.0) * (r - 1.0) + (v - 1.0) * (v - 1.0) + (beta - 1.0) * (beta - 1.0));
    } else {
        v = (sds / ms) / (sdo / mo);
        dist = sqrt((r - 1.0) * (r - 1.0) + (beta - 1.0) * (beta - 1.0) + (v - 1.0) * (v - 1.0));
    }
    out[0] = 1.0 - dist; out[1] = r; out[2] = v; out[3] = beta;
}

void ensemble(int kind, const double* s, long members, const double* o, long len, double* out) {
    int width = kind == 2 || kind == 3 ? 4 : 1;
    for (long k = 0; k < members; ++k) score(kind, s + k * len, o, len, out + k * width);
}
"""

P = ctypes.POINTER(ctypes.c_double)

# name: (C kind, the module's call, NumPy's expression)
SCORES = {
    "calculate_nse": (0, m.calculate_nse,
                      lambda s, o: 1.0 - np.sum((s - o) ** 2) / np.sum((o - o.mean()) ** 2)),
    "calculate_nse(use_log=True)": (1, lambda s, o, **kw: m.calculate_nse(s, o, True, **kw),
                                    lambda s, o: numpy_log_nse(s, o)),
    "calculate_kge_components": (2, m.calculate_kge_components, lambda s, o: numpy_kge(s, o)),
    "kge_components variant 2012": (
        3, lambda s, o, **kw: m.calculate_kge_components(s, o, variant="2012", **kw),
        lambda s, o: numpy_kge(s, o, 2012)),
    "calculate_pbias": (4, m.calculate_pbias, lambda s, o: 100.0 * np.sum(s - o) / np.sum(o)),
    "calculate_rmse": (5, m.calculate_rmse, lambda s, o: np.sqrt(np.mean((s - o) ** 2))),
    "calculate_mae": (6, m.calculate_mae, lambda s, o: np.mean(np.abs(s - o))),
    "calculate_pearson_r": (7, m.calculate_pearson_r, lambda s, o: np.corrcoef(s, o)[0, 1]),
}
WIDTH = {2: 4, 3: 4}


def numpy_log_nse(s, o):
    eps = o.mean() / 100.0
    ls, lo = np.log(s + eps), np.log(o + eps)
    return 1.0 - np.sum((ls - lo) ** 2) / np.sum((lo - lo.mean()) ** 2)


def numpy_kge(s, o, variant=2009):
    r = np.corrcoef(s, o)[0, 1]
    beta = s.mean() / o.mean()
    v = s.std() / o.std() if variant == 2009 else (s.std() / s.mean()) / (o.std() / o.mean())
    return 1.0 - math.sqrt((r - 1.0) ** 2 + (v - 1.0) ** 2 + (beta - 1.0) ** 2)


def compile_baselines(directory):
    source, library = os.path.join(directory, "scores.c"), os.path.join(directory, "scores.so")
    with open(source, "w") as handle:
        handle.write(C_SOURCE)
    subprocess.run([os.environ.get("CC", "cc"), "-O2", "-ffp-contract=off", "-fno-fast-math",
                    "-shared", "-fPIC", source, "-o", library, "-lm"], check=True)
    lib = ctypes.CDLL(library)
    lib.score.argtypes = [ctypes.c_int, P, P, ctypes.c_long, P]
    lib.ensemble.argtypes = [ctypes.c_int, P, ctypes.c_long, P, ctypes.c_long, P]
    return lib


def flat(result):
    """A score, a KgeComponents or a list of either, as a flat list of floats."""
    items = result if isinstance(result, list) else [result]
    if items and hasattr(items[0], "kge"):
        return [x for c in items for x in (c.kge, c.r, c.variability, c.bias)]
    return list(items)


def c_score(lib, kind, s, o):
    out = np.empty(WIDTH.get(kind, 1))
    lib.score(kind, s.ctypes.data_as(P), o.ctypes.data_as(P), len(o), out.ctypes.data_as(P))
    return out


def c_ensemble(lib, kind, sim, o, out):
    lib.ensemble(kind, sim.ctypes.data_as(P), sim.shape[0], o.ctypes.data_as(P), len(o),
                 out.ctypes.data_as(P))
    return out


def check_same(label, module, c_loop):
    if np.asarray(flat(module)).tobytes() != np.asarray(c_loop).tobytes():
        raise SystemExit(f"{label}: the C baseline does not reproduce the module's result")


def bench_long(lib, row, median_times, quick):
    n = 1_000_000 if quick else 10_000_000
    rng = np.random.default_rng(8)
    obs = rng.gamma(2.0, 10.0, n)
    sim = obs * 0.9 + rng.gamma(2.0, 2.0, n)
    for name, (kind, call, numpy_call) in SCORES.items():
        check_same(name, call(sim, obs), c_score(lib, kind, sim, obs))
        module, c_loop, numpy = median_times(
            [lambda: call(sim, obs), lambda: c_score(lib, kind, sim, obs),
             lambda: numpy_call(sim, obs)], 5 if quick else 7)
        row(f"{name}, {n:.0e}", "value", module * 1e9 / n,
            [("C loop", c_loop * 1e9 / n), ("NumPy", numpy * 1e9 / n)], 1.2)


def bench_ensemble(lib, row, median_times, quick):
    members, steps = 1000, 3653
    rng = np.random.default_rng(9)
    obs = rng.gamma(2.0, 10.0, steps)
    sim = obs * rng.uniform(0.5, 1.5, (members, 1)) + rng.gamma(2.0, 3.0, (members, steps))
    try:
        import hydroeval
    except ImportError:
        hydroeval = None
        print("  (hydroeval is not installed: the per-member peer column is left out)")
    peers = {0: "nse", 2: "kge", 3: "kgeprime", 5: "rmse"}
    units = members * steps
    for name, (kind, call, _) in SCORES.items():
        out = np.empty(members * WIDTH.get(kind, 1))
        check_same(name, call(sim, obs), c_ensemble(lib, kind, sim, obs, out))
        # Both write into a buffer of their own: the module's through out=, as a calibration would.
        into = np.empty_like(out)
        functions = [lambda: call(sim, obs, out=into), lambda: c_ensemble(lib, kind, sim, obs, out)]
        if hydroeval is not None and kind in peers:
            function = getattr(hydroeval, peers[kind])
            functions.append(lambda: [hydroeval.evaluator(function, member, obs)
                                      for member in sim])
        # The wall clock: a large ensemble is shared among threads, which the CPU clock of the
        # calling thread would not see.
        times = median_times(functions, 3 if quick else 5, time.perf_counter)
        baselines = [("C loop", times[1] * 1e9 / units)]
        if len(times) > 2:
            baselines.append((f"hydroeval per member ({times[2] / times[0]:.0f} x)",
                              times[2] * 1e9 / units))
        row(f"{name}, 1000 x 3653", "value", times[0] * 1e9 / units, baselines, 1.3)
        if len(times) > 2:
            # Taking turns with the peer, whose temporaries push `sim` out of the caches, the
            # module reads it from memory; a calibration scores outflows it has just written.
            warm = median_times(functions[:1], 3 if quick else 7, time.perf_counter)[0]
            print(f"  {name}: back to back, sim in cache: {warm * 1e9 / units:.3f} ns/value, "
                  f"{times[2] / warm:.0f} x the peer per member", flush=True)


def bench_small():
    rng = np.random.default_rng(10)
    obs = rng.random(10)
    sim = obs + rng.normal(0.0, 0.1, 10)
    calls = 200_000

    def per_call(function):
        return timeit.Timer(function).timeit(number=calls) / calls

    # Written out: a wrapper with **kwargs would add its own cost to the call it times.
    functions = {
        "calculate_kge": lambda: m.calculate_kge(sim, obs),
        "calculate_kge(use_log=True)": lambda: m.calculate_kge(sim, obs, True),
        "empty": lambda: None,
        "calculate_nse": lambda: m.calculate_nse(sim, obs),
        "calculate_nse(use_log=True)": lambda: m.calculate_nse(sim, obs, True),
        "calculate_kge_components": lambda: m.calculate_kge_components(sim, obs),
        "kge_components variant 2012": lambda: m.calculate_kge_components(sim, obs,
                                                                          variant="2012"),
        "calculate_pbias": lambda: m.calculate_pbias(sim, obs),
        "calculate_rmse": lambda: m.calculate_rmse(sim, obs),
        "calculate_mae": lambda: m.calculate_mae(sim, obs),
        "calculate_pearson_r": lambda: m.calculate_pearson_r(sim, obs),
    }
    timings = {name: [] for name in functions}
    for _ in range(7):
        for name, function in functions.items():
            timings[name].append(per_call(function))
    empty = statistics.median(timings.pop("empty"))
    kge = statistics.median(timings.pop("calculate_kge")) - empty
    log_kge = statistics.median(timings.pop("calculate_kge(use_log=True)")) - empty
    for name, times in timings.items():
        us = (statistics.median(times) - empty) * 1e6
        # The log score takes 20 logarithms: beside calculate_kge's log form, which takes as many.
        label, reference = (("calculate_kge(use_log=True)", log_kge) if "use_log" in name
                            else ("calculate_kge", kge))
        print(f"{name + ', 10 values':<38} {us:9.3f} us/call | {label} {reference * 1e6:.3f} us "
              f"| {us / (reference * 1e6):5.2f} x (target <= 1.00 x)", flush=True)


def run_rows(lib_directory, row, median_times, quick):
    lib = compile_baselines(lib_directory)
    bench_small()
    bench_long(lib, row, median_times, quick)
    bench_ensemble(lib, row, median_times, quick)


if __name__ == "__main__":
    import argparse
    import tempfile

    import timing

    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="smaller inputs, fewer repeats")
    with tempfile.TemporaryDirectory() as directory:
        run_rows(directory, timing.row, timing.median_times, parser.parse_args().quick)
