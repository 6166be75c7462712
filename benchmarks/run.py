"""Every speed figure of the module in one run, each beside the same run's baselines.

Run from a checkout with the built module importable (NumPy and a C compiler on the PATH):

    python benchmarks/run.py [--quick]

Baselines: a plain C loop doing the same arithmetic in the same operation order on raw arrays
(compiled now with the system C compiler, -O2 -ffp-contract=off, and called through ctypes; it
allocates its outputs with malloc and frees them, as a result that is dropped would be; the rows
with large outputs also show it writing into outputs allocated and touched beforehand, which
leaves out the kernel's cost of handing out fresh pages), and NumPy where NumPy has the
operation. Each C loop is first checked to give the module's results
bit for bit, so both sides do the same work. Figures are medians of several repeats, the module
and its baselines taking turns (so that both meet the same machine and the same state of the memory
allocator); the machine is shared, so run it twice and compare.

Rows:
  series   ContinuousTimeSeries(float64 array of 1e7) beside numpy.ndarray.copy
  loss     run_deficit_and_constant on 1e6 steps
  pool     run_level_pool_routing, a month of hourly inflow, 3 outlets, one-second sub-steps
  muskingum, clark, baseflow, kge 1e7 (arrays): the rows already at the C loop
  kge 10   calculate_kge on 10 values, per call, from two arrays and from two lists
  threads  two threads each routing the month through the level pool, 2 cores, against one
  scores   the goodness-of-fit scores beside calculate_kge (benchmarks/bench_scores.py)
  basin    run_batch of a Fulda-like chain against its C loop, the per-call loop and two threads;
           run against the hand-wired chain (benchmarks/bench_basin.py)
  events   curve number, SCS unit hydrograph, storage indication (benchmarks/bench_events.py);
           Green-Ampt, Snyder, Muskingum-Cunge (benchmarks/bench_event_cores.py)
  run_gr4j, run_hbv  2e6 days, per day (benchmarks/bench_lumped.py)
"""

import argparse
import ctypes
import math
import os
import random
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import timeit
from datetime import timedelta

# NumPy's BLAS threads spin for a while after a BLAS call (np.corrcoef in a baseline) and take a
# core from the threads being timed: the benchmarks run NumPy's BLAS on one thread.
os.environ.setdefault("OPENBLAS_NUM_THREADS", "1")

import numpy as np

import bench_basin
import bench_scores
from c_kge import KGE_C
import vesparil

HOUR = timedelta(hours=1)
utils = vesparil.utils
rutils = vesparil.reservoir.reservoir_utils

C_SOURCE = r"""
#include <math.h>
#include <stdlib.h>
#include <string.h>

/* Keeps the stores into a buffer that is freed right after: the compiler may not drop them. */
#define KEEP(p) __asm__ volatile("" : : "r"(p) : "memory")

static double nmin(double a, double b) { if (a != a) return b; if (b != b) return a; return b < a ? b : a; }
static double nmax(double a, double b) { if (a != a) return b; if (b != b) return a; return b > a ? b : a; }

static double* take(double* given, long n) { return given ? given : malloc(sizeof(double) * (n > 0 ? n : 1)); }
static void drop(double* given, double* used) { KEEP(used); if (!given) free(used); }

double loss(const double* p, long n, double d, double maxd, double cap, double recovery,
            double* ex0, double* lo0, double* de0) {
    double* ex = take(ex0, n); double* lo = take(lo0, n); double* de = take(de0, n);
    for (long i = 0; i < n; ++i) {
        double room = nmax(maxd - d, 0.0);
        d = nmin(room * recovery + d, maxd);
        double e = 0.0, l = 0.0;
        if (p[i] > 0.0) {
            double cl = nmin(p[i], cap);
            double rem = p[i] - cl;
            double fill = nmin(rem, d);
            d = d - fill;
            e = rem - fill;
            l = fill + cl;
        }
        ex[i] = e; lo[i] = l; de[i] = d;
    }
    drop(ex0, ex); drop(lo0, lo); drop(de0, de);
    return d;
}

typedef struct { const double* x; const double* y; long n; long k; } table;

/* The remembered interval first, then a binary search for the lower bound. */
static int lookup(table* t, double x, double* out) {
    long k = t->k;
    if (!(k > 0 && t->x[k - 1] < x && x <= t->x[k])) {
        if (!(x >= t->x[0] && x <= t->x[t->n - 1])) return 0;
        long lo = 0, hi = t->n;
        while (lo < hi) { long mid = (lo + hi) / 2; if (t->x[mid] < x) lo = mid + 1; else hi = mid; }
        k = lo; t->k = k;
    }
    if (t->x[k] == x) { *out = t->y[k]; return 1; }
    double x0 = t->x[k - 1], x1 = t->x[k], y0 = t->y[k - 1], y1 = t->y[k];
    *out = ((x - x0) / (x1 - x0)) * (y1 - y0) + y0;
    return 1;
}

/* Gate (controlled, minimum elevation, release cap), spillway (uncontrolled), pump (constant
   above a minimum elevation). Returns -1 on a lookup failure. */
long level_pool(const double* inflow, long n, long T, double e0, const double* ce, const double* cs,
                long cn, const double* ge, const double* gq, long gn, double gmin, double cap,
                const double* se, const double* sq, long sn, double pump, double pmin,
                double* st0, double* el0, double* to0, double* g0, double* s0, double* p0) {
    table e2s = {ce, cs, cn, 0}, s2e = {cs, ce, cn, 0}, gate = {ge, gq, gn, 0}, spill = {se, sq, sn, 0};
    double* st = take(st0, n); double* el = take(el0, n); double* to = take(to0, n);
    double* og = take(g0, n); double* os = take(s0, n); double* op = take(p0, n);
    long ns = 0, no = 0, status = 0;
    double storage, e = e0, prev = inflow[0];
    if (!lookup(&e2s, e0, &storage)) { status = -1; goto done; }
    st[ns] = storage; el[ns] = e0; ++ns;
    long last = T * (n - 1), next = T;
    for (long t = T; t <= last; ++t) {
        int output = t == next;
        double qg, qs, qp, rated;
        if (e < gmin) qg = 0.0;
        else if (e > ge[gn - 1]) { status = -1; goto done; }
        else if (e < ge[0]) qg = 0.0;
        else { if (!lookup(&gate, e, &rated)) { status = -1; goto done; } qg = nmin(rated, cap); }
        double shifted = 0.0 + e;
        if (shifted > se[sn - 1]) { status = -1; goto done; }
        else if (shifted < se[0]) qs = 0.0;
        else if (!lookup(&spill, shifted, &qs)) { status = -1; goto done; }
        qp = e < pmin ? 0.0 : pump;
        double out = 0.0;
        out = out + qg; out = out + qs; out = out + qp;
        if (output) {
            og[no] = qg; os[no] = qs; op[no] = qp; to[no] = out; ++no;
            next += T;
            if (t == T) continue;
        }
        double position = (double)t / (double)T;
        double whole = floor(position);
        long i = whole > 0.0 ? (long)whole : 0;
        double now = i + 1 < n ? (inflow[i + 1] - inflow[i]) * (position - (double)i) + inflow[i]
                               : inflow[n - 1];
        storage = storage + ((prev + now) * 0.5) * 1.0 - out * 1.0;
        if (!(storage > 0.0)) storage = 0.0;
        if (!lookup(&s2e, storage, &e)) { status = -1; goto done; }
        if (output) { st[ns] = storage; el[ns] = e; ++ns; }
        prev = now;
    }
    status = ns;
done:
    drop(st0, st); drop(el0, el); drop(to0, to); drop(g0, og); drop(s0, os); drop(p0, op);
    return status;
}

void muskingum(const double* inflow, long n, double dt, double k, double x, long segments,
               double initial, double* out0) {
    double* flow = take(out0, n);
    memcpy(flow, inflow, sizeof(double) * n);
    double ks = k / (double)segments;
    for (long s = 0; s < segments; ++s) {
        double two_k = ks + ks, a = (1.0 - x) * two_k, b = two_k * x, e = dt + a;
        double c0 = (dt - b) / e, c1 = (b + dt) / e, c2 = (a - dt) / e;
        double pin = flow[0];
        if (s == 0) flow[0] = initial;
        double pout = flow[0];
        for (long i = 1; i < n; ++i) {
            double cur = flow[i];
            double terms = c0 * cur + c1 * pin;
            pout = c2 * pout + terms;
            flow[i] = pout;
            pin = cur;
        }
    }
    drop(out0, flow);
}

void clark(const double* rain, long z, const double* u, long m, double* out0) {
    double* q = out0 ? out0 : calloc(z + m - 1, sizeof(double));
    for (long i = 0; i < z; ++i) {
        double p = rain[i];
        if (p == 0.0) continue;
        double* qi = q + i;
        for (long j = 0; j < m; ++j) qi[j] = u[j] * p + qi[j];
    }
    drop(out0, q);
}

/* Layers of reservoirs in series: fraction, initial flow, K hours, count per layer. */
void baseflow(const double* rain, long n, double dt_hr, double area_factor, long layers,
              const double* fraction, const double* initial, const double* k_hours,
              const long* count, double* total0) {
    double* total = total0 ? total0 : calloc(n, sizeof(double));
    double half = 0.5 * dt_hr;
    /* Every layer's series is kept until the end, as the module returns them all. */
    double* owns[64];
    for (long l = 0; l < layers; ++l) {
        double kr = k_hours[l] / (double)count[l];
        double c = dt_hr / (kr + half), d = 1.0 - c;
        double chain[64];
        for (long j = 0; j < count[l]; ++j) chain[j] = initial[l];
        double* own = malloc(sizeof(double) * n);
        for (long t = 0; t < n; ++t) {
            double flow = ((rain[t] * fraction[l]) / dt_hr) * area_factor;
            for (long j = 0; j < count[l]; ++j) { flow = chain[j] * d + flow * c; chain[j] = flow; }
            own[t] = flow;
            total[t] = flow + total[t];
        }
        owns[l] = own;
    }
    for (long l = 0; l < layers; ++l) { KEEP(owns[l]); free(owns[l]); }
    drop(total0, total);
}

""" + KGE_C

P = ctypes.POINTER(ctypes.c_double)
L = ctypes.c_long
D = ctypes.c_double


def compile_baselines(directory):
    source = os.path.join(directory, "baselines.c")
    library = os.path.join(directory, "baselines.so")
    with open(source, "w") as handle:
        handle.write(C_SOURCE)
    compiler = os.environ.get("CC", "cc")
    subprocess.run([compiler, "-O2", "-ffp-contract=off", "-fno-fast-math", "-shared", "-fPIC",
                    source, "-o", library, "-lm"], check=True)
    lib = ctypes.CDLL(library)
    lib.loss.argtypes = [P, L, D, D, D, D, P, P, P]
    lib.loss.restype = D
    lib.level_pool.argtypes = [P, L, L, D, P, P, L, P, P, L, D, D, P, P, L, D, D] + [P] * 6
    lib.level_pool.restype = L
    lib.muskingum.argtypes = [P, L, D, D, D, L, D, P]
    lib.muskingum.restype = None
    lib.clark.argtypes = [P, L, P, L, P]
    lib.clark.restype = None
    lib.baseflow.argtypes = [P, L, D, D, L, P, P, P, ctypes.POINTER(L), P]
    lib.baseflow.restype = None
    lib.kge.argtypes = [P, P, L]
    lib.kge.restype = D
    return lib


def ptr(array):
    return None if array is None else array.ctypes.data_as(P)


def median_time(function, repeats, clock=time.thread_time):
    """Median time of `function()`; the result is dropped outside the timed interval.

    Single-threaded rows are timed on this thread's CPU clock (user and system time, page faults
    included), which a machine shared with other work disturbs far less than the wall clock.
    """
    return median_times([function], repeats, clock)[0]


def median_times(functions, repeats, clock=time.thread_time):
    """median_time of each function, the functions taking turns: a slow spell of the machine
    then falls on all of them alike, and each finds the memory allocator as the others leave it
    (whether a large block comes back from the heap or freshly mapped from the kernel, which
    decides the cost of writing it, depends on the blocks freed before)."""
    times = [[] for _ in functions]
    for _ in range(repeats):
        for function, own in zip(functions, times):
            start = clock()
            result = function()
            own.append(clock() - start)
            del result
    return [statistics.median(own) for own in times]


ROWS = []


def row(name, unit, module_ns, baselines, target=None):
    """baselines: (label, ns per unit) pairs; the first is the ratio's reference."""
    ROWS.append((name, unit, module_ns, baselines, target))
    parts = [f"{label} {ns:8.3f}" for label, ns in baselines]
    ref_label, ref_ns = baselines[0]
    ratio = module_ns / ref_ns
    goal = f"  (target <= {target:.2f} x)" if target else ""
    print(f"{name:<38} {module_ns:9.3f} ns/{unit:<9} | " + " | ".join(parts) +
          f" | {ratio:5.2f} x {ref_label}{goal}", flush=True)


def assert_same(label, actual, expected):
    a = np.asarray(actual, dtype=np.float64)
    b = np.asarray(expected, dtype=np.float64)
    if a.shape != b.shape or a.tobytes() != b.tobytes():
        raise SystemExit(f"{label}: the C baseline does not reproduce the module's result")


# --- scenarios -------------------------------------------------------------------------------

def storm_inflow(n, seed=1):
    rng = random.Random(seed)
    flow = np.full(n, 50.0)
    start = 0
    while start < n:
        peak, rise = rng.uniform(200.0, 5000.0), rng.randint(6, 36)
        j = np.arange(min(rise * 8, n - start))
        flow[start:start + len(j)] += peak * ((j / rise) * np.exp(1.0 - j / rise))
        start += rng.randint(48, 400)
    return flow


def wet_dry_rain(n, seed=2):
    rng = np.random.default_rng(seed)
    rain = np.zeros(n)
    wet = False
    draws = rng.random(n)
    depths = rng.exponential(0.1, n)
    for i in range(n):
        wet = draws[i] < (0.6 if wet else 0.04)
        if wet:
            rain[i] = depths[i]
    return rain


def pool_scenario():
    heights = np.arange(30.0)
    elevation = 100.0 + heights
    storage = 4.0e7 * heights + 5.0e5 * heights * heights
    gate = 40.0 * heights ** 1.5
    crest = np.arange(16.0)
    spill_elevation = 115.0 + crest
    spill = 300.0 * crest ** 1.5
    x = np.arange(744) / 100.0
    inflow = 300.0 + 15000.0 * x ** 3 * np.exp(3.0 * (1.0 - x))
    curve = rutils.ElevationStorage(elevation.tolist(), storage.tolist())
    outlets = {
        "gate": rutils.ControlledDischargeInfo(
            rutils.ElevationDischarge(elevation.tolist(), gate.tolist()), maximum_release=2000.0),
        "spillway": rutils.UnControlledDischargeInfo(
            rutils.ElevationDischarge(spill_elevation.tolist(), spill.tolist())),
        "pump": rutils.ConstantDischargeInfo(100.0, minimum_elevation=102.0),
    }
    series = utils.ContinuousTimeSeries(inflow, HOUR, "discharge")
    return series, curve, outlets, (inflow, elevation, storage, gate, spill_elevation, spill)


# --- rows --------------------------------------------------------------------------------------

def bench_series(quick):
    n = 1_000_000 if quick else 10_000_000
    values = np.random.default_rng(3).random(n)
    module, copy = median_times(
        [lambda: utils.ContinuousTimeSeries(values, HOUR, "discharge"), values.copy], 7)
    row(f"ContinuousTimeSeries(float64 {n:.0e})", "value", module * 1e9 / n,
        [("ndarray.copy", copy * 1e9 / n)], 1.5)


def bench_loss(lib, quick):
    n = 1_000_000
    rain = wet_dry_rain(n)
    series = utils.IncrementalTimeSeries(rain, HOUR, "rainfall")
    args = (series, 0.5, 2.0, 0.05, timedelta(hours=72))
    run = vesparil.rainfall_loss.run_deficit_and_constant
    result = run(*args)
    dt_h = 3600 / 3600.0
    recovery = 1.0 - math.exp(dt_h / ((72 * 3600.0) / -3600.0))
    outs = [np.empty(n) for _ in range(3)]
    lib.loss(ptr(rain), n, 0.5, 2.0, 0.05 * dt_h, recovery, *map(ptr, outs))
    for label, out in zip(("excess", "loss", "deficit"), outs):
        assert_same(f"loss {label}", getattr(result, label).data, out)
    module, c_loop, warm = median_times([
        lambda: run(*args),
        lambda: lib.loss(ptr(rain), n, 0.5, 2.0, 0.05 * dt_h, recovery, None, None, None),
        lambda: lib.loss(ptr(rain), n, 0.5, 2.0, 0.05 * dt_h, recovery, *map(ptr, outs)),
    ], 9)
    row("deficit-and-constant, 1e6 steps", "step", module * 1e9 / n,
        [("C loop", c_loop * 1e9 / n), ("C into warm outputs", warm * 1e9 / n)], 1.5)


def c_level_pool(lib, data, outputs=None):
    inflow, elevation, storage, gate, spill_elevation, spill = data
    outs = outputs or [None] * 6
    return lib.level_pool(ptr(inflow), len(inflow), 3600, 110.0, ptr(elevation), ptr(storage),
                          len(elevation), ptr(elevation), ptr(gate), len(gate), 100.0, 2000.0,
                          ptr(spill_elevation), ptr(spill), len(spill), 100.0, 102.0,
                          *map(ptr, outs))


def bench_pool(lib, quick):
    series, curve, outlets, data = pool_scenario()
    run = vesparil.reservoir.run_level_pool_routing
    result = run(series, 110.0, curve, outlets)
    n = len(data[0])
    outs = [np.empty(n) for _ in range(6)]
    recorded = c_level_pool(lib, data, outs)
    assert_same("pool storage", result.reservoir_storage.data, outs[0][:recorded])
    assert_same("pool elevation", result.reservoir_elevation.data, outs[1][:recorded])
    assert_same("pool total", result.reservoir_total_outflow.data, outs[2][:n - 1])
    for k, name in enumerate(("gate", "spillway", "pump")):
        assert_same(f"pool {name}", result.reservoir_individual_outflows[name].data,
                    outs[3 + k][:n - 1])
    sub_steps = 3600 * (n - 2) + 1
    repeats = 3 if quick else 7
    module, c_loop, warm = median_times([
        lambda: run(series, 110.0, curve, outlets),
        lambda: c_level_pool(lib, data),
        lambda: c_level_pool(lib, data, outs),
    ], repeats)
    row("level pool, month hourly, 3 outlets", "sub-step", module * 1e9 / sub_steps,
        [("C loop", c_loop * 1e9 / sub_steps), ("C into warm outputs", warm * 1e9 / sub_steps)],
        1.3)
    return series, curve, outlets, data


def pair_speedups(functions, repeats=15):
    """For each function: 2 x (one run) / (two concurrent runs), and the parallelism reached (the
    two threads' CPU time over the wall time of their pair, at most 1 while the interpreter lock
    is held).

    A pair is timed from the first thread's start to the last one's end, the two threads leaving
    a barrier together, so that creating and joining threads is left out as it is from a single
    run. The functions take turns within every repeat, alone and then as a pair, so that a slow
    spell of the shared machine falls on all of them alike. The ratio is taken of medians: a pair
    lasts as long as the slower of its two threads, so it is seldom as lucky as the luckiest
    single run, and best-of-each would understate the speedup.
    """

    def pair(function):
        barrier = threading.Barrier(2)
        spans = [(0.0, 0.0, 0.0)] * 2

        def worker(slot):
            barrier.wait()
            cpu, start = time.thread_time(), time.perf_counter()
            function()
            spans[slot] = (start, time.perf_counter(), time.thread_time() - cpu)

        threads = [threading.Thread(target=worker, args=(slot,)) for slot in range(2)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        wall = max(end for _, end, _ in spans) - min(start for start, _, _ in spans)
        return wall, sum(cpu for _, _, cpu in spans) / wall

    timings = [([], [], []) for _ in functions]
    for _ in range(repeats):
        for function, (singles, doubles, parallel) in zip(functions, timings):
            singles.append(median_time(function, 1, time.perf_counter))
            wall, used = pair(function)
            doubles.append(wall)
            parallel.append(used)
    return [(2.0 * statistics.median(singles) / statistics.median(doubles),
             statistics.median(singles), statistics.median(doubles), statistics.median(parallel))
            for singles, doubles, parallel in timings]


def bench_threads(lib, pool, quick):
    series, curve, outlets, data = pool
    run = vesparil.reservoir.run_level_pool_routing
    # The machine's own ceiling in the same run: the C loop, which ctypes calls without the lock.
    (speedup, single, double, parallel), (ceiling, _, _, c_parallel) = pair_speedups(
        [lambda: run(series, 110.0, curve, outlets), lambda: c_level_pool(lib, data)],
        5 if quick else 15)
    print(f"{'two threads, level pool month each':<38} {speedup:9.2f} x one thread "
          f"(one run {single * 1e3:.1f} ms, two concurrent {double * 1e3:.1f} ms, medians; "
          f"parallelism {parallel:.2f}) | C loop in two threads {ceiling:.2f} x "
          f"(parallelism {c_parallel:.2f}); target >= 1.80 x", flush=True)
    ROWS.append(("threads", "x", speedup, [("C loop in two threads", ceiling)], 1.8))


def bench_muskingum(lib, quick):
    n, segments, x = 1_000_000, 10, 0.2
    inflow = storm_inflow(n)
    series = utils.ContinuousTimeSeries(inflow, HOUR, "discharge")
    k = timedelta(hours=20)
    run = vesparil.reach.run_muskingum_routing
    result = run(series, k, x, segments, 50.0)
    out = np.empty(n)
    lib.muskingum(ptr(inflow), n, 3600.0, 72000.0, x, segments, 50.0, ptr(out))
    assert_same("muskingum", result.data, out)
    module, c_loop = median_times([
        lambda: run(series, k, x, segments, 50.0),
        lambda: lib.muskingum(ptr(inflow), n, 3600.0, 72000.0, x, segments, 50.0, None),
    ], 7)
    units = n * segments
    row("Muskingum, 1e6 x 10 sub-reaches", "value", module * 1e9 / units,
        [("C loop", c_loop * 1e9 / units)])


def bench_clark(lib, quick):
    n = 8760
    rain = wet_dry_rain(n, seed=4)
    series = utils.IncrementalTimeSeries(rain, HOUR, "rainfall")
    area, tc, storage = 6400.0, timedelta(hours=48), timedelta(hours=24)
    run = vesparil.rainfall_transform.run_clark_uh
    result = run(series, area, tc, storage)
    unit = np.array(run(utils.IncrementalTimeSeries([1.0], HOUR, "rainfall"), area, tc,
                        storage).data)
    m = len(unit)
    out = np.zeros(n + m - 1)
    lib.clark(ptr(rain), n, ptr(unit), m, ptr(out))
    assert_same("clark", result.data, out)
    module, c_loop = median_times([
        lambda: run(series, area, tc, storage),
        lambda: lib.clark(ptr(rain), n, ptr(unit), m, None),
    ], 21)
    units = int(np.count_nonzero(rain)) * m
    row("Clark, a year hourly", "mul-add", module * 1e9 / units,
        [("C loop", c_loop * 1e9 / units)])


def bench_baseflow(lib, quick):
    n = 1_000_000
    rain = wet_dry_rain(n, seed=5)
    series = utils.IncrementalTimeSeries(rain, HOUR, "rainfall")
    spec = [(0.3, 5.0, 24, 3), (0.2, 2.0, 240, 3), (0.1, 1.0, 2400, 3)]
    layers = {f"layer{i}": vesparil.baseflow.LinearReservoir(timedelta(hours=k), f, q, c)
              for i, (f, q, k, c) in enumerate(spec)}
    area = 500.0
    run = vesparil.baseflow.run_linear_reservoir
    result = run(area, series, layers)
    fraction = np.array([s[0] for s in spec])
    initial = np.array([s[1] for s in spec])
    k_hours = np.array([s[2] * 3600 / 3600.0 for s in spec])
    count = (L * 3)(*[s[3] for s in spec])
    args = (ptr(rain), n, 1.0, area * 1.00833, 3, ptr(fraction), ptr(initial), ptr(k_hours),
            count)
    out = np.zeros(n)
    lib.baseflow(*args, ptr(out))
    assert_same("baseflow", result[0].data, out)
    module, c_loop = median_times([
        lambda: run(area, series, layers),
        lambda: lib.baseflow(*args, None),
    ], 7)
    units = n * sum(s[3] for s in spec)
    row("baseflow, 1e6 steps x 9 reservoirs", "res-step", module * 1e9 / units,
        [("C loop", c_loop * 1e9 / units)])


def numpy_kge(s, o):
    ms, mo = s.mean(), o.mean()
    ds, do = s - ms, o - mo
    cross, ss, so = ds @ do, ds @ ds, do @ do
    den = math.sqrt(so * ss)
    ct = 1.0 if den < 1e-6 else (cross / den - 1.0) ** 2
    beta = ms / (1e-6 if abs(mo) < 1e-6 else mo)
    std_o, std_s = math.sqrt(so / len(o)), math.sqrt(ss / len(s))
    gamma = std_s / (1e-6 if std_o < 1e-6 else std_o)
    return 1.0 - math.sqrt(((beta - 1.0) ** 2 + ct) + (gamma - 1.0) ** 2)


def bench_kge(lib, quick):
    n = 1_000_000 if quick else 10_000_000
    rng = np.random.default_rng(6)
    obs = rng.random(n) * 100.0
    sim = obs + rng.normal(0.0, 5.0, n)
    calculate_kge = vesparil.metrics.calculate_kge
    if calculate_kge(sim, obs) != lib.kge(ptr(sim), ptr(obs), n):
        raise SystemExit("kge: the C baseline does not reproduce the module's result")
    module, c_loop, numpy = median_times([
        lambda: calculate_kge(sim, obs),
        lambda: lib.kge(ptr(sim), ptr(obs), n),
        lambda: numpy_kge(sim, obs),
    ], 7)
    row(f"calculate_kge, {n:.0e} from arrays", "value", module * 1e9 / n,
        [("C loop", c_loop * 1e9 / n), ("NumPy", numpy * 1e9 / n)])


def bench_kge_small():
    rng = np.random.default_rng(7)
    obs = rng.random(10)
    sim = obs + rng.normal(0.0, 0.1, 10)
    sim_list, obs_list = sim.tolist(), obs.tolist()
    calculate_kge = vesparil.metrics.calculate_kge
    calls = 200_000

    def per_call(function):
        return timeit.Timer(function).timeit(number=calls) / calls

    # Arrays, lists and an empty lambda take turns, so that a slow spell of the shared machine
    # falls on all three alike; the list call is the same run's baseline.
    timings = {"arrays": [], "lists": [], "empty": []}
    for _ in range(9):
        timings["arrays"].append(per_call(lambda: calculate_kge(sim, obs)))
        timings["lists"].append(per_call(lambda: calculate_kge(sim_list, obs_list)))
        timings["empty"].append(per_call(lambda: None))
    empty = statistics.median(timings["empty"])
    arrays = statistics.median(timings["arrays"]) - empty
    lists = statistics.median(timings["lists"]) - empty
    # The target was set where the list call took 0.13 us: 0.15 us is 1.15 x the list call.
    print(f"{'calculate_kge, 10 values, per call':<38} {arrays * 1e6:9.3f} us arrays | "
          f"{lists * 1e6:.3f} us lists | {arrays / lists:5.2f} x the list call (lambda call "
          f"subtracted; target <= 0.15 us, set where lists took 0.13 us: <= 1.15 x lists)",
          flush=True)
    ROWS.append(("kge10", "us", arrays * 1e6, [], 0.15))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="smaller inputs, fewer repeats")
    parser.add_argument("--scores-only", action="store_true", help="only the scores' rows")
    options = parser.parse_args()
    load = ", ".join(f"{value:.1f}" for value in os.getloadavg())
    print(f"vesparil from {os.path.dirname(vesparil.__file__)}; Python {sys.version.split()[0]}, "
          f"NumPy {np.__version__}, {os.cpu_count()} CPUs, load average {load} (the threads "
          f"row needs two idle cores)")
    with tempfile.TemporaryDirectory() as directory:
        if options.scores_only:
            bench_scores.run_rows(directory, row, median_times, options.quick)
            return
        lib = compile_baselines(directory)
        bench_series(options.quick)
        bench_loss(lib, options.quick)
        pool = bench_pool(lib, options.quick)
        bench_kge_small()
        bench_threads(lib, pool, options.quick)
        bench_muskingum(lib, options.quick)
        bench_clark(lib, options.quick)
        bench_baseflow(lib, options.quick)
        bench_kge(lib, options.quick)
        import bench_lumped  # the continuous models' rows, with their own C loops

        bench_lumped.bench(bench_lumped.compile_loops(directory), options.quick)
        bench_scores.run_rows(directory, row, median_times, options.quick)
    bench_basin.bench(options.quick)
    import bench_event_cores  # noqa: PLC0415 - they import this module's helpers in turn
    import bench_events  # noqa: PLC0415

    bench_events.main(options.quick)
    bench_event_cores.main(options.quick)


if __name__ == "__main__":
    main()
