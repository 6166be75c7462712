"""Speed rows of the event methods, each against a plain C loop of the same arithmetic compiled
in the same run (as benchmarks/run.py does for the other models), and storage-indication routing
against the level pool loop on run.py's month-long case.

    python benchmarks/bench_events.py [--quick]      (also run by benchmarks/run.py)

Rows:
  curve number        run_curve_number on 1e6 steps
  SCS unit hydrograph run_scs_uh on a year of hourly excess (ns per multiply-add)
  storage indication  run_storage_indication_routing on 1e6 hourly steps, 3 outlets
  indication vs pool  the month of run.py's level pool row, both methods, and their peaks
"""

import argparse
import ctypes
import os
import subprocess
import sys
import tempfile
from datetime import timedelta

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import c_baselines  # noqa: E402
import scenarios  # noqa: E402
import timing  # noqa: E402

import vesparil  # noqa: E402

HOUR = timedelta(hours=1)
utils = vesparil.utils

C_SOURCE = r"""
#include <stdlib.h>
#define KEEP(p) __asm__ volatile("" : : "r"(p) : "memory")
static double* take(double* given, long n) { return given ? given : malloc(sizeof(double) * (n > 0 ? n : 1)); }
static void drop(double* given, double* used) { KEEP(used); if (!given) free(used); }

void curve_number(const double* p, long n, double s, double ia, double* ex0, double* lo0) {
    double* ex = take(ex0, n); double* lo = take(lo0, n);
    double cp = 0.0, ce = 0.0;
    for (long i = 0; i < n; ++i) {
        cp = cp + p[i];
        double above = cp - ia, c = 0.0;
        if (above > 0.0) c = (above * above) / (above + s);
        double e = c - ce;
        if (e > p[i]) e = p[i];
        if (e < 0.0) e = 0.0;
        ce = ce + e;
        ex[i] = e; lo[i] = p[i] - e;
    }
    drop(ex0, ex); drop(lo0, lo);
}

void convolve(const double* rain, long z, const double* u, long m, double* out0) {
    double* q = out0 ? out0 : calloc(z + m - 1, sizeof(double));
    for (long i = 0; i < z; ++i) {
        double p = rain[i];
        if (p == 0.0) continue;
        double* qi = q + i;
        for (long j = 0; j < m; ++j) qi[j] = u[j] * p + qi[j];
    }
    drop(out0, q);
}

/* Table: h, N, O and the releases of k outlets per point (row-major). */
void indication(const double* in, long n, double dt, const double* h, const double* nn,
                const double* o, const double* rel, long k, long points, double s0, double h0,
                double* st0, double* el0, double* to0, double* r0) {
    double* st = take(st0, n); double* el = take(el0, n); double* to = take(to0, n);
    double* r = take(r0, n * k);
    long last = points - 1, j = 0;
    while (j + 1 < last && h[j + 1] < h0) ++j;
    double w = (h0 - h[j]) / (h[j + 1] - h[j]);
    double out = o[j] + w * (o[j + 1] - o[j]);
    for (long i = 0; i < k; ++i) { double a = rel[j * k + i]; r[i * n] = a + w * (rel[(j + 1) * k + i] - a); }
    to[0] = out; st[0] = s0; el[0] = h0;
    double ind = (2.0 * s0) / dt + out;
    for (long t = 1; t < n; ++t) {
        ind = (in[t - 1] + in[t]) + (ind - 2.0 * out);
        if (!(ind >= nn[0])) ind = nn[0];
        if (ind > nn[last]) break;
        while (j > 0 && ind < nn[j]) --j;
        while (j + 1 < last && ind > nn[j + 1]) ++j;
        w = (ind - nn[j]) / (nn[j + 1] - nn[j]);
        out = o[j] + w * (o[j + 1] - o[j]);
        for (long i = 0; i < k; ++i) { double a = rel[j * k + i]; r[i * n + t] = a + w * (rel[(j + 1) * k + i] - a); }
        to[t] = out; st[t] = ((ind - out) * dt) / 2.0; el[t] = h[j] + w * (h[j + 1] - h[j]);
    }
    drop(st0, st); drop(el0, el); drop(to0, to); drop(r0, r);
}
"""

P = ctypes.POINTER(ctypes.c_double)
L, D = ctypes.c_long, ctypes.c_double
ptr = c_baselines.ptr


def compile_events(directory):
    source = os.path.join(directory, "events.c")
    library = os.path.join(directory, "events.so")
    with open(source, "w") as handle:
        handle.write(C_SOURCE)
    subprocess.run([os.environ.get("CC", "cc"), "-O2", "-ffp-contract=off", "-fno-fast-math",
                    "-shared", "-fPIC", source, "-o", library], check=True)
    lib = ctypes.CDLL(library)
    lib.curve_number.argtypes = [P, L, D, D, P, P]
    lib.convolve.argtypes = [P, L, P, L, P]
    lib.indication.argtypes = [P, L, D, P, P, P, P, L, L, D, D, P, P, P, P]
    for name in ("curve_number", "convolve", "indication"):
        getattr(lib, name).restype = None
    return lib


def bench_curve_number(lib, quick):
    n = 1_000_000
    rain = scenarios.wet_dry_rain(n) * 0.01  # an event's worth of rain spread over the record
    series = utils.IncrementalTimeSeries(rain, HOUR, "rainfall")
    run = vesparil.rainfall_loss.run_curve_number
    result = run(series, 80.0)
    s = 1000.0 / 80.0 - 10.0
    outs = [np.empty(n) for _ in range(2)]
    lib.curve_number(ptr(rain), n, s, 0.2 * s, *map(ptr, outs))
    timing.assert_same("curve number excess", result.excess.data, outs[0])
    timing.assert_same("curve number loss", result.loss.data, outs[1])
    module, c_loop = timing.median_times([
        lambda: run(series, 80.0),
        lambda: lib.curve_number(ptr(rain), n, s, 0.2 * s, None, None)], 5 if quick else 9)
    timing.row("curve number, 1e6 steps", "step", module * 1e9 / n,
             [("C loop", c_loop * 1e9 / n)], 1.3)


def bench_scs_uh(lib, quick):
    n = 8760
    rain = scenarios.wet_dry_rain(n)
    series = utils.IncrementalTimeSeries(rain, HOUR, "rainfall")
    run = vesparil.rainfall_transform.run_scs_uh
    args = (6400.0, timedelta(hours=20))
    unit = np.array(run(utils.IncrementalTimeSeries([1.0], HOUR, "rainfall"), *args).data)
    m = len(unit)
    out = np.zeros(n + m - 1)
    lib.convolve(ptr(rain), n, ptr(unit), m, ptr(out))
    timing.assert_same("SCS convolution", run(series, *args).data, out)
    units = int(np.count_nonzero(rain)) * m
    module, c_loop = timing.median_times([
        lambda: run(series, *args),
        lambda: lib.convolve(ptr(rain), n, ptr(unit), m, None)], 5 if quick else 9)
    timing.row("SCS unit hydrograph, a year hourly", "mul-add", module * 1e9 / units,
             [("C loop", c_loop * 1e9 / units)], 1.3)


def indication_table(data):
    """The module's grid for run.py's reservoir: curve points 100..129 (pump gate 102 among
    them), spillway points 115..129; every release is exact at a grid point."""
    inflow, elevation, storage, gate, spill_elevation, spill = data
    h = elevation
    releases = np.stack([np.minimum(gate, 2000.0),
                         np.concatenate([np.zeros(15), spill[:15]]),
                         np.where(h >= 102.0, 100.0, 0.0)], axis=1)
    total = ((0.0 + releases[:, 0]) + releases[:, 1]) + releases[:, 2]
    return h, (2.0 * storage) / 3600.0 + total, total, np.ascontiguousarray(releases)


def c_indication(lib, inflow, table, outs=None):
    h, nn, o, rel = table
    outs = outs or [None] * 4
    return lib.indication(ptr(inflow), len(inflow), 3600.0, ptr(h), ptr(nn), ptr(o), ptr(rel), 3,
                          len(h), float(4.0e7 * 10 + 5.0e5 * 100), 110.0, *map(ptr, outs))


def bench_storage_indication(lib, quick):
    series, curve, outlets, data = scenarios.pool_scenario()
    table = indication_table(data)
    run = vesparil.reservoir.run_storage_indication_routing
    n = 1_000_000
    inflow = scenarios.storm_inflow(n)
    long_series = utils.ContinuousTimeSeries(inflow, HOUR, "discharge")
    result = run(long_series, 110.0, curve, outlets)
    outs = [np.empty(n), np.empty(n), np.empty(n), np.empty(3 * n)]
    c_indication(lib, inflow, table, outs)
    timing.assert_same("indication storage", result.reservoir_storage.data, outs[0])
    timing.assert_same("indication elevation", result.reservoir_elevation.data, outs[1])
    timing.assert_same("indication total", result.reservoir_total_outflow.data, outs[2])
    for k, name in enumerate(("gate", "spillway", "pump")):
        timing.assert_same(f"indication {name}", result.reservoir_individual_outflows[name].data,
                         outs[3][k * n:(k + 1) * n])
    module, c_loop = timing.median_times([
        lambda: run(long_series, 110.0, curve, outlets),
        lambda: c_indication(lib, inflow, table)], 5 if quick else 9)
    timing.row("storage indication, 1e6 steps, 3 outlets", "step", module * 1e9 / n,
             [("C loop", c_loop * 1e9 / n)], 1.3)

    pool_run = vesparil.reservoir.run_level_pool_routing
    indicated, pooled = run(series, 110.0, curve, outlets), pool_run(series, 110.0, curve, outlets)
    fast, slow = timing.median_times([lambda: run(series, 110.0, curve, outlets),
                                    lambda: pool_run(series, 110.0, curve, outlets)],
                                   3 if quick else 7)
    peak_si = max(indicated.reservoir_total_outflow.data)
    peak_lp = max(pooled.reservoir_total_outflow.data)
    print(f"{'indication vs level pool, the month':<38} {fast * 1e6:9.1f} us against "
          f"{slow * 1e3:.1f} ms: {slow / fast:,.0f} x faster (target >= 100 x); peak outflow "
          f"{peak_si:.1f} cfs against {peak_lp:.1f} cfs ({(peak_si - peak_lp) / peak_lp:+.2%})",
          flush=True)


def main(quick=False):
    with tempfile.TemporaryDirectory() as directory:
        lib = compile_events(directory)
        bench_curve_number(lib, quick)
        bench_scs_uh(lib, quick)
        bench_storage_indication(lib, quick)


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="fewer repeats")
    main(parser.parse_args().quick)
