"""Speed rows of Green-Ampt, Snyder's unit hydrograph and Muskingum-Cunge, each against a plain C
loop of the same arithmetic compiled in the same run (see benchmarks/run.py).

    python benchmarks/bench_event_cores.py [--quick]      (also run by benchmarks/run.py)
"""

import argparse
import ctypes
import math
import os
import subprocess
import sys
import tempfile
from datetime import timedelta

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bench_events  # noqa: E402
import c_baselines  # noqa: E402
import scenarios  # noqa: E402
import timing  # noqa: E402

import vesparil  # noqa: E402

HOUR = timedelta(hours=1)
utils = vesparil.utils

C_SOURCE = r"""
#include <math.h>
#include <stdlib.h>
#define KEEP(p) __asm__ volatile("" : : "r"(p) : "memory")

static double ponded(double k, double p, double from, double hours) {
    double target = k * hours;
    if (!(p > 0.0)) return from + target;
    double f = from + target;
    for (int i = 0; i < 100; ++i) {
        double g = (f - from) - p * log((f + p) / (from + p)) - target;
        double next = f - g / (f / (f + p));
        if (!(next >= from)) next = (from + f) / 2.0;
        int settled = fabs(next - f) <= 1.0e-10;
        f = next;
        if (settled) break;
    }
    return f;
}

void green_ampt(const double* rain, long n, double hours, double k, double p, double* ex, double* lo) {
    double* e = ex ? ex : malloc(sizeof(double) * n); double* l = lo ? lo : malloc(sizeof(double) * n);
    double from = 0.0;
    for (long t = 0; t < n; ++t) {
        double r = rain[t], loss = 0.0;
        if (r > 0.0) {
            double i = r / hours, to = from + r;
            loss = r;
            if (from > 0.0 && k * (p / from + 1.0) <= i) { to = ponded(k, p, from, hours); loss = to - from; }
            else if (i > k && !(k * (p / to + 1.0) > i)) {
                double fp = (k * p) / (i - k);
                to = ponded(k, p, fp, hours - (fp - from) / i); loss = to - from;
            }
            if (loss > r) { loss = r; to = from + r; }
            from = to;
        }
        l[t] = loss; e[t] = r - loss;
    }
    KEEP(e); KEEP(l); if (!ex) free(e); if (!lo) free(l);
}

typedef struct { double b, z, n, s; } channel;
static void manning(const channel* c, double y, double* q, double* dq, double* top) {
    double wall = sqrt(1.0 + c->z * c->z), area = (c->b + c->z * y) * y;
    double per = c->b + 2.0 * y * wall; *top = c->b + 2.0 * c->z * y;
    *q = (((1.49 / c->n) * area) * pow(area / per, 2.0 / 3.0)) * sqrt(c->s);
    *dq = *q * ((5.0 / 3.0) * (*top / area) - (2.0 / 3.0) * ((2.0 * wall) / per));
}
static double depth(const channel* c, double flow, double guess) {
    double lo = 0.0, hi = guess > 0.0 ? guess : 1.0, q, dq, t;
    for (int i = 0; i < 2100; ++i) { manning(c, hi, &q, &dq, &t); if (!(q < flow)) break; hi = hi * 2.0; }
    double y = guess > 0.0 ? guess : hi * 0.5;
    for (int i = 0; i < 100; ++i) {
        manning(c, y, &q, &dq, &t);
        if (q < flow) lo = y; else hi = y;
        double next = y - (q - flow) / dq;
        if (!(next > lo && next < hi)) next = (lo + hi) * 0.5;
        int settled = fabs(next - y) <= 1.0e-12 * next;
        y = next;
        if (settled) break;
    }
    return y;
}
static void kx(const channel* c, double flow, double* d, double dx, double* k, double* x) {
    *d = depth(c, flow, *d);
    double q, dq, top; manning(c, *d, &q, &dq, &top);
    double cel = dq / top, unit = flow / top;
    *k = dx / cel; *x = (1.0 - unit / ((c->s * cel) * dx)) / 2.0;
}

/* Variable parameters, one sub-step per step, `cells` sub-reaches. */
void cunge(const double* in, long n, double dt, double b, double z, double nn, double s, double floor_q,
           double dx, long cells, double d0, double* out0) {
    channel c = {b, z, nn, s};
    double* out = out0 ? out0 : malloc(sizeof(double) * n);
    double* old = malloc(sizeof(double) * (cells + 1)); double* new = malloc(sizeof(double) * (cells + 1));
    double* d = malloc(sizeof(double) * cells); double* st = malloc(sizeof(double) * cells);
    double half = dt / 2.0, k, x;
    for (long j = 0; j <= cells; ++j) old[j] = new[j] = in[0];
    for (long j = 0; j < cells; ++j) {
        d[j] = d0; kx(&c, in[0] > floor_q ? in[0] : floor_q, &d[j], dx, &k, &x);
        st[j] = k * (x * in[0] + (1.0 - x) * in[0]);
    }
    out[0] = in[0];
    for (long t = 1; t < n; ++t) {
        new[0] = in[t];
        for (long j = 0; j < cells; ++j) {
            double a = old[j], bb = new[j], o = old[j + 1], ref = ((a + bb) + o) / 3.0;
            kx(&c, ref > floor_q ? ref : floor_q, &d[j], dx, &k, &x);
            double moved = half * ((a + bb) - o);
            double on = ((st[j] + moved) - (k * x) * bb) / (k * (1.0 - x) + half);
            st[j] = (st[j] + moved) - half * on; new[j + 1] = on;
        }
        double* swap = old; old = new; new = swap;
        out[t] = old[cells];
    }
    free(old); free(new); free(d); free(st); KEEP(out); if (!out0) free(out);
}
"""

P = ctypes.POINTER(ctypes.c_double)
L, D = ctypes.c_long, ctypes.c_double
ptr = c_baselines.ptr


def compile_cores(directory):
    source, library = os.path.join(directory, "cores.c"), os.path.join(directory, "cores.so")
    with open(source, "w") as handle:
        handle.write(C_SOURCE)
    subprocess.run([os.environ.get("CC", "cc"), "-O2", "-ffp-contract=off", "-fno-fast-math",
                    "-shared", "-fPIC", source, "-o", library, "-lm"], check=True)
    lib = ctypes.CDLL(library)
    lib.green_ampt.argtypes = [P, L, D, D, D, P, P]
    lib.cunge.argtypes = [P, L, D, D, D, D, D, D, D, L, D, P]
    lib.green_ampt.restype = lib.cunge.restype = None
    return lib


def bench_green_ampt(lib, quick):
    n = 1_000_000
    rain = scenarios.wet_dry_rain(n)
    series = utils.IncrementalTimeSeries(rain, HOUR, "rainfall")
    run = vesparil.rainfall_loss.run_green_ampt
    result = run(series, 0.13, 3.5, 0.3)
    outs = [np.empty(n), np.empty(n)]
    lib.green_ampt(ptr(rain), n, 1.0, 0.13, 3.5 * 0.3, *map(ptr, outs))
    timing.assert_same("Green-Ampt excess", result.excess.data, outs[0])
    timing.assert_same("Green-Ampt loss", result.loss.data, outs[1])
    module, c_loop = timing.median_times([
        lambda: run(series, 0.13, 3.5, 0.3),
        lambda: lib.green_ampt(ptr(rain), n, 1.0, 0.13, 3.5 * 0.3, None, None)], 5 if quick else 9)
    timing.row("Green-Ampt, 1e6 steps", "step", module * 1e9 / n, [("C loop", c_loop * 1e9 / n)],
             1.3)


def bench_snyder(elib, quick):
    n = 8760
    rain = scenarios.wet_dry_rain(n)
    series = utils.IncrementalTimeSeries(rain, HOUR, "rainfall")
    run = vesparil.rainfall_transform.run_snyder_uh
    args = (6400.0 * 20, 2.0, 0.6, 60.0, 25.0)
    unit = np.array(run(utils.IncrementalTimeSeries([1.0], HOUR, "rainfall"), *args).data)
    m = len(unit)
    out = np.zeros(n + m - 1)
    elib.convolve(ptr(rain), n, ptr(unit), m, ptr(out))
    timing.assert_same("Snyder convolution", run(series, *args).data, out)
    units = int(np.count_nonzero(rain)) * m
    module, c_loop = timing.median_times([
        lambda: run(series, *args),
        lambda: elib.convolve(ptr(rain), n, ptr(unit), m, None)], 5 if quick else 9)
    timing.row("Snyder unit hydrograph, a year hourly", "mul-add", module * 1e9 / units,
             [("C loop", c_loop * 1e9 / units)], 1.3)


def bench_cunge(lib, quick):
    n, cells = 100_000, 8
    inflow = scenarios.storm_inflow(n)
    series = utils.ContinuousTimeSeries(inflow, HOUR, "discharge")
    run = vesparil.reach.run_muskingum_cunge_routing
    channel = dict(length=cells * 30000.0, slope=0.0004, manning_n=0.035, bottom_width=80.0,
                   side_slope=2.0)
    result = run(series, **channel, sub_reaches=cells, sub_steps=1).data
    out = np.empty(n)
    floor_q = 1.0e-3 * float(inflow.max())
    # The module starts every cell's Newton search from the depth at the peak.
    d0 = depth_by_newton(channel, float(inflow.max()))
    call = lambda o: lib.cunge(ptr(inflow), n, 3600.0, 80.0, 2.0, 0.035, 0.0004, floor_q,  # noqa: E731
                               30000.0, cells, d0, o)
    call(ptr(out))
    timing.assert_same("Muskingum-Cunge", result, out)
    module, c_loop = timing.median_times([
        lambda: run(series, **channel, sub_reaches=cells, sub_steps=1), lambda: call(None)],
        3 if quick else 5)
    units = n * cells
    timing.row("Muskingum-Cunge, 1e5 x 8 cells", "cell-step", module * 1e9 / units,
             [("C loop", c_loop * 1e9 / units)], 1.3)


def depth_by_newton(channel, flow):
    """The normal depth of `flow` searched from no guess, in the module's operation order."""
    b, z, n, s = (channel[k] for k in ("bottom_width", "side_slope", "manning_n", "slope"))

    def manning(y):
        wall = math.sqrt(1.0 + z * z)
        area = (b + z * y) * y
        per = b + 2.0 * y * wall
        top = b + 2.0 * z * y
        q = (((1.49 / n) * area) * (area / per) ** (2.0 / 3.0)) * math.sqrt(s)
        return q, q * ((5.0 / 3.0) * (top / area) - (2.0 / 3.0) * ((2.0 * wall) / per))

    low, high = 0.0, 1.0
    for _ in range(2100):
        if not manning(high)[0] < flow:
            break
        high = high * 2.0
    y = high * 0.5
    for _ in range(100):
        q, dq = manning(y)
        if q < flow:
            low = y
        else:
            high = y
        nxt = y - (q - flow) / dq
        if not (low < nxt < high):
            nxt = (low + high) * 0.5
        settled = abs(nxt - y) <= 1.0e-12 * nxt
        y = nxt
        if settled:
            break
    return y


def main(quick=False):
    with tempfile.TemporaryDirectory() as directory:
        lib = compile_cores(directory)
        elib = bench_events.compile_events(directory)
        bench_green_ampt(lib, quick)
        bench_snyder(elib, quick)
        bench_cunge(lib, quick)


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="fewer repeats")
    main(parser.parse_args().quick)
