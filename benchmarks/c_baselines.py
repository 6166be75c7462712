"""The C baselines of benchmarks/run.py: plain loops doing the module's arithmetic in its
operation order, compiled in the same run (-O2 -ffp-contract=off) and called through ctypes."""

import ctypes
import os
import subprocess

from c_kge import KGE_C

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
