"""GR4J and HBV per simulated day, beside a plain C loop of the same equations.

    python benchmarks/bench_lumped.py [--quick]     (benchmarks/run.py runs these rows too)

The C loops do the module's arithmetic in its order (compiled now, -O2 -ffp-contract=off, called
through ctypes), write every output series the module returns into arrays they malloc, and are
first checked to give the module's results bit for bit; a second figure has them write into
outputs allocated and touched beforehand. The module's figure includes reading the
arguments and building the result object, not reading its lists back.
"""

import argparse
import ctypes
import math
import os
import subprocess
import sys
import tempfile

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from timing import assert_same, median_times, row  # noqa: E402

import vesparil  # noqa: E402

C_SOURCE = r"""
#include <math.h>
#include <stdlib.h>
#include <string.h>

static double dmin(double a, double b) { return b < a ? b : a; }
static double dmax(double a, double b) { return a < b ? b : a; }

/* out: 6 * n values (flow, S, R, held, AE, exchange), or NULL to allocate and free. */
void gr4j(const double* p, const double* e, long n, double x1, double x2, double x3,
          const double* uh1, long n1, const double* uh2, long n2, double s, double r,
          double* given) {
    double* out = given ? given : malloc(sizeof(double) * 6 * (n > 0 ? n : 1));
    double w1[n1], w2[n2];
    memset(w1, 0, sizeof w1); memset(w2, 0, sizeof w2);
    for (long i = 0; i < n; ++i) {
        double pn = 0.0, en = 0.0, met;
        if (p[i] >= e[i]) { pn = p[i] - e[i]; met = e[i]; } else { en = e[i] - p[i]; met = p[i]; }
        double ps = 0.0, es = 0.0;
        if (pn > 0.0) {
            double t = tanh(pn / x1);
            ps = (x1 * (1.0 - (s / x1) * (s / x1)) * t) / (1.0 + (s / x1) * t);
        }
        if (en > 0.0) {
            double t = tanh(en / x1);
            es = (s * (2.0 - s / x1) * t) / (1.0 + (1.0 - s / x1) * t);
        }
        s = s - es + ps;
        double perc = s * (1.0 - pow(1.0 + pow((4.0 / 9.0) * (s / x1), 4.0), -0.25));
        s = s - perc;
        double pr = perc + (pn - ps), held = 0.0, a = 0.9 * pr, b = 0.1 * pr;
        double q9 = w1[0] + uh1[0] * a;
        for (long k = 0; k < n1 - 1; ++k) { w1[k] = w1[k + 1] + uh1[k + 1] * a; held += w1[k]; }
        w1[n1 - 1] = 0.0;
        double q1 = w2[0] + uh2[0] * b;
        for (long k = 0; k < n2 - 1; ++k) { w2[k] = w2[k + 1] + uh2[k + 1] * b; held += w2[k]; }
        w2[n2 - 1] = 0.0;
        double f = x2 * pow(r / x3, 3.5), filled = r + q9 + f, gained = f;
        if (filled < 0.0) { gained = -(r + q9); r = 0.0; } else r = filled;
        double qr = r * (1.0 - pow(1.0 + pow(r / x3, 4.0), -0.25));
        r = r - qr;
        double qd = q1 + f, exchanged = f;
        if (qd < 0.0) { exchanged = -q1; qd = 0.0; }
        double* o = out + 6 * i;
        o[0] = qr + qd; o[1] = s; o[2] = r; o[3] = held; o[4] = es + met; o[5] = gained + exchanged;
    }
    __asm__ volatile("" : : "r"(out) : "memory");
    if (!given) free(out);
}

/* k: tt cfmax sfcf cfr cwh fc lp beta perc uzl k0 k1 k2; out: 10 * n values or NULL. */
void hbv(const double* p, const double* t, const double* e, long n, const double* k,
         const double* c, long m, double sm, double* given) {
    double* out = given ? given : malloc(sizeof(double) * 10 * (n > 0 ? n : 1));
    double pending[m];
    memset(pending, 0, sizeof pending);
    double sp = 0.0, wc = 0.0, suz = 0.0, slz = 0.0;
    for (long i = 0; i < n; ++i) {
        double snowfall = 0.0, rain = p[i];
        if (t[i] < k[0]) { snowfall = k[2] * p[i]; rain = 0.0; }
        sp = sp + snowfall;
        if (t[i] > k[0]) {
            double melt = dmin(k[1] * (t[i] - k[0]), sp);
            sp = sp - melt; wc = wc + melt;
        } else if (t[i] < k[0]) {
            double re = dmin(k[3] * k[1] * (k[0] - t[i]), wc);
            sp = sp + re; wc = wc - re;
        }
        wc = wc + rain;
        double release = dmax(wc - k[4] * sp, 0.0);
        wc = wc - release;
        double recharge = release * pow(sm / k[5], k[7]);
        sm = sm + (release - recharge);
        if (sm > k[5]) { recharge = recharge + (sm - k[5]); sm = k[5]; }
        double ea = dmin(e[i] * dmin(sm / (k[5] * k[6]), 1.0), sm);
        sm = sm - ea;
        suz = suz + recharge;
        double perc = dmin(k[8], suz);
        suz = suz - perc; slz = slz + perc;
        double q0 = k[10] * dmax(suz - k[9], 0.0), q1 = k[11] * suz;
        suz = suz - q0 - q1;
        double q2 = k[12] * slz;
        slz = slz - q2;
        double qgw = (q2 + q1) + q0, q = pending[0] + c[0] * qgw, held = 0.0;
        for (long j = 0; j < m - 1; ++j) {
            pending[j] = pending[j + 1] + c[j + 1] * qgw;
            held += pending[j];
        }
        pending[m - 1] = 0.0;
        double* o = out + 10 * i;
        o[0] = q; o[1] = sp; o[2] = wc; o[3] = sm; o[4] = suz; o[5] = slz; o[6] = held;
        o[7] = ea; o[8] = recharge; o[9] = snowfall;
    }
    __asm__ volatile("" : : "r"(out) : "memory");
    if (!given) free(out);
}
"""

P = ctypes.POINTER(ctypes.c_double)
D, L = ctypes.c_double, ctypes.c_long
GR4J = (350.0, -0.8, 90.0, 1.7)
HBV = (0.0, 3.0, 1.1, 0.05, 0.1, 250.0, 0.7, 2.0, 1.5, 20.0, 0.2, 0.1, 0.02, 2.5)
GR4J_FIELDS = ["flow", "production_store", "routing_store", "unit_hydrograph_store",
               "actual_evapotranspiration", "exchange"]
HBV_FIELDS = ["flow", "snowpack", "snow_water", "soil_moisture", "upper_zone", "lower_zone",
              "routing_store", "actual_evapotranspiration", "recharge", "snowfall"]


def compile_loops(directory):
    source = os.path.join(directory, "lumped.c")
    library = os.path.join(directory, "lumped.so")
    with open(source, "w") as handle:
        handle.write(C_SOURCE)
    subprocess.run([os.environ.get("CC", "cc"), "-O2", "-ffp-contract=off", "-fno-fast-math",
                    "-shared", "-fPIC", source, "-o", library, "-lm"], check=True)
    lib = ctypes.CDLL(library)
    lib.gr4j.argtypes = [P, P, L, D, D, D, P, L, P, L, D, D, P]
    lib.hbv.argtypes = [P, P, P, L, P, P, L, D, P]
    return lib


def ptr(array):
    return array.ctypes.data_as(P)


def weather(days, seed=5):
    rng = np.random.default_rng(seed)
    day = np.arange(days)
    p = np.where(rng.random(days) < 0.35, rng.exponential(8.0, days), 0.0)
    t = 5.0 + 11.0 * np.sin(2 * np.pi * (day - 110) / 365.0) + rng.normal(0.0, 3.0, days)
    e = np.maximum(0.0, 2.5 + 2.0 * np.sin(2 * np.pi * (day - 100) / 365.0))
    return p, t, e


def s_curve_ordinates(x4):
    def sh1(t):
        return 0.0 if t <= 0 else (t / x4) ** 2.5 if t < x4 else 1.0

    def sh2(t):
        if t <= 0:
            return 0.0
        if t <= x4:
            return 0.5 * (t / x4) ** 2.5
        return 1.0 - 0.5 * (2.0 - t / x4) ** 2.5 if t < 2 * x4 else 1.0

    return (np.array([sh1(j) - sh1(j - 1.0) for j in range(1, math.ceil(x4) + 1)]),
            np.array([sh2(j) - sh2(j - 1.0) for j in range(1, math.ceil(2 * x4) + 1)]))


def triangle_weights(m):
    def share(x):
        if x <= 0:
            return 0.0
        if x <= m / 2.0:
            return 2.0 * x * x / (m * m)
        return 1.0 - 2.0 * (m - x) * (m - x) / (m * m) if x < m else 1.0

    return np.array([share(float(i)) - share(i - 1.0) for i in range(1, math.ceil(m) + 1)])


def bench(lib, quick):
    days = 200_000 if quick else 2_000_000
    repeats = 5 if quick else 9
    p, t, e = weather(days)
    uh1, uh2 = s_curve_ordinates(GR4J[3])
    x1, x2, x3, _ = GR4J
    s0, r0 = 0.3 * x1, 0.5 * x3

    def c_gr4j(out=None):
        lib.gr4j(ptr(p), ptr(e), days, x1, x2, x3, ptr(uh1), len(uh1), ptr(uh2), len(uh2), s0, r0,
                 None if out is None else ptr(out))

    check = np.empty((days, 6))
    c_gr4j(check)
    run = vesparil.lumped.run_gr4j(p, e, *GR4J)
    for j, name in enumerate(GR4J_FIELDS):
        assert_same(f"gr4j {name}", getattr(run, name), check[:, j])
    module, base, touched = median_times(
        [lambda: vesparil.lumped.run_gr4j(p, e, *GR4J), c_gr4j, lambda: c_gr4j(check)], repeats)
    row("run_gr4j", "day", module / days * 1e9,
        [("C loop", base / days * 1e9), ("C, outputs touched", touched / days * 1e9)], target=1.3)

    weights = triangle_weights(HBV[-1])
    k = np.array(HBV[:-1])

    def c_hbv(out=None):
        lib.hbv(ptr(p), ptr(t), ptr(e), days, ptr(k), ptr(weights), len(weights), 0.5 * HBV[5],
                None if out is None else ptr(out))

    check = np.empty((days, 10))
    c_hbv(check)
    run = vesparil.lumped.run_hbv(p, t, e, *HBV)
    for j, name in enumerate(HBV_FIELDS):
        assert_same(f"hbv {name}", getattr(run, name), check[:, j])
    module, base, touched = median_times(
        [lambda: vesparil.lumped.run_hbv(p, t, e, *HBV), c_hbv, lambda: c_hbv(check)], repeats)
    row("run_hbv", "day", module / days * 1e9,
        [("C loop", base / days * 1e9), ("C, outputs touched", touched / days * 1e9)], target=1.3)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="fewer days, fewer repeats")
    options = parser.parse_args()
    with tempfile.TemporaryDirectory() as directory:
        bench(compile_loops(directory), options.quick)


if __name__ == "__main__":
    main()
