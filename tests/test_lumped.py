"""GR4J and HBV: a day worked by hand from the papers' equations, a transcription run bit for
bit, the water balance closed every day, the warm-up, and the argument checks."""

import math
import time

import pytest

from vesparil import lumped

run_gr4j = lumped.run_gr4j


def weather(days, seed=7):
    """Deterministic daily P (mm/day, two dry days in three) and a seasonal E (mm/day)."""
    state = seed
    p, e = [], []
    for i in range(days):
        state = (state * 6364136223846793005 + 1442695040888963407) % 2**64
        u = (state >> 11) / 2**53
        p.append(0.0 if i % 3 else -12.0 * math.log(1.0 - u))
        e.append(2.5 + 2.0 * math.sin(2.0 * math.pi * (i - 100) / 365.0))
    return p, e


# ---------------------------------------------------------------------------------------------
# GR4J


def gr4j_reference(p, e, x1, x2, x3, x4, s0=0.3, r0=0.5):
    """Perrin et al. (2003) transcribed in the order of their equations (3) to (23)."""
    def sh1(t):
        return 0.0 if t <= 0 else (t / x4) ** 2.5 if t < x4 else 1.0

    def sh2(t):
        if t <= 0:
            return 0.0
        if t <= x4:
            return 0.5 * (t / x4) ** 2.5
        return 1.0 - 0.5 * (2.0 - t / x4) ** 2.5 if t < 2 * x4 else 1.0

    uh1 = [sh1(j) - sh1(j - 1.0) for j in range(1, math.ceil(x4) + 1)]
    uh2 = [sh2(j) - sh2(j - 1.0) for j in range(1, math.ceil(2 * x4) + 1)]
    w1, w2 = [0.0] * len(uh1), [0.0] * len(uh2)
    s, r = s0 * x1, r0 * x3
    rows = []
    for pi, ei in zip(p, e):
        pn, en, met = (pi - ei, 0.0, ei) if pi >= ei else (0.0, ei - pi, pi)
        ps = es = 0.0
        if pn > 0:
            t = math.tanh(pn / x1)
            ps = (x1 * (1.0 - (s / x1) * (s / x1)) * t) / (1.0 + (s / x1) * t)
        if en > 0:
            t = math.tanh(en / x1)
            es = (s * (2.0 - s / x1) * t) / (1.0 + (1.0 - s / x1) * t)
        s = s - es + ps
        perc = s * (1.0 - (1.0 + ((4.0 / 9.0) * (s / x1)) ** 4.0) ** -0.25)
        s = s - perc
        pr = perc + (pn - ps)
        held = 0.0
        outs = []
        for w, uh, share in ((w1, uh1, 0.9 * pr), (w2, uh2, 0.1 * pr)):
            outs.append(w[0] + uh[0] * share)
            for k in range(len(w) - 1):
                w[k] = w[k + 1] + uh[k + 1] * share
                held += w[k]
            w[-1] = 0.0
        q9, q1 = outs
        f = x2 * (r / x3) ** 3.5
        gained = f if r + q9 + f >= 0 else -(r + q9)
        r = max(0.0, r + q9 + f)
        qr = r * (1.0 - (1.0 + (r / x3) ** 4.0) ** -0.25)
        r = r - qr
        exchanged = f if q1 + f >= 0 else -q1
        qd = max(0.0, q1 + f)
        rows.append((qr + qd, s, r, held, es + met, gained + exchanged))
    return [list(column) for column in zip(*rows)]


GR4J_FIELDS = ["flow", "production_store", "routing_store", "unit_hydrograph_store",
               "actual_evapotranspiration", "exchange"]


def columns(result, fields):
    return [getattr(result, name) for name in fields]


def test_gr4j_first_day_by_hand():
    # X1 = 350 mm, X2 = -1 mm/day, X3 = 90 mm, X4 = 1 day; S = 0.3 X1 = 105, R = 0.5 X3 = 45.
    # P = 10, E = 2: Pn = 8, En = 0.
    t = math.tanh(8 / 350)                                   # 0.0228532
    ps = 350 * (1 - 0.3**2) * t / (1 + 0.3 * t)              # 7.229170
    s = 105 + ps                                             # 112.229170
    perc = s * (1 - (1 + (4 / 9 * s / 350) ** 4) ** -0.25)   # (0.142513)^4 = 4.1e-4: 0.011571
    s -= perc                                                # 112.217599
    pr = perc + (8 - ps)                                     # 0.782401
    # X4 = 1: UH1 = [1], UH2 = [SH2(1), SH2(2) - SH2(1)] = [0.5, 0.5].
    q9, q1, held = 0.9 * pr, 0.5 * 0.1 * pr, 0.5 * 0.1 * pr  # 0.704161, 0.039120, 0.039120
    f = -1 * (45 / 90) ** 3.5                                # -0.088388
    r = 45 + q9 + f                                          # 45.615772
    qr = r * (1 - (1 + (r / 90) ** 4) ** -0.25)              # 0.722986
    q = qr + max(0.0, q1 + f)       # Q1 + F < 0: the direct branch gives 0 and takes only Q1
    day = run_gr4j([10.0], [2.0], 350.0, -1.0, 90.0, 1.0)
    expected = [q, s, r - qr, held, 2.0, f - q1]
    assert [v for c in columns(day, GR4J_FIELDS) for v in c] == pytest.approx(expected, rel=1e-14)
    assert q == pytest.approx(0.722986, abs=1e-6)


GR4J_CASES = [  # x1, x2, x3, x4: typical, strong loss (both max(0, .) clip), gain, long UHs
    (350.0, 0.0, 90.0, 1.7),
    (120.0, -6.0, 20.0, 0.6),
    (800.0, 3.5, 250.0, 2.3),
    (60.0, -0.5, 300.0, 9.25),
]


@pytest.mark.parametrize("x", GR4J_CASES)
def test_gr4j_matches_transcription_and_balance_closes(x):
    p, e = weather(3 * 365)
    got = columns(run_gr4j(p, e, *x), GR4J_FIELDS)
    assert got == gr4j_reference(p, e, *x)
    q, s, r, held, ae, exchange = got
    before = 0.3 * x[0] + 0.5 * x[2]
    for i in range(len(p)):
        after = s[i] + r[i] + held[i]
        closing = (after - before) + q[i] + ae[i] - exchange[i]
        scale = max(abs(p[i]), after, before, abs(exchange[i]), 1.0)
        assert abs(closing - p[i]) <= 1e-9 * scale, i
        before = after


def test_gr4j_warmup_and_initial_fractions():
    p, e = weather(400)
    full = run_gr4j(p, e, 350.0, 0.5, 90.0, 1.7, 0.1, 0.9)
    tail = run_gr4j(p, e, 350.0, 0.5, 90.0, 1.7, initial_production=0.1, initial_routing=0.9,
                    warmup=365)
    assert columns(tail, GR4J_FIELDS) == [c[365:] for c in columns(full, GR4J_FIELDS)]
    assert full.production_store[:1] != run_gr4j(p[:1], e[:1], 350.0, 0.5, 90.0, 1.7).production_store


@pytest.mark.parametrize("change, message", [
    ({"x1": 0.0}, "x1 must be > 0"),
    ({"x1": math.nan}, "x1 must be > 0"),
    ({"x2": math.inf}, "x2 must be finite"),
    ({"x3": -1.0}, "x3 must be > 0"),
    ({"x4": 0.0}, "x4 must be > 0 and at most 10000"),
    ({"x4": 1e5}, "x4 must be > 0 and at most 10000"),
    ({"evapotranspiration": [1.0]},
     "precipitation and evapotranspiration must have the same length"),
    ({"initial_production": 1.5}, "initial_production must be between 0 and 1"),
    ({"initial_routing": -0.1}, "initial_routing must be between 0 and 1"),
    ({"warmup": 3}, "warmup (3) is longer than the series (2)"),
])
def test_gr4j_refuses(change, message):
    arguments = {"precipitation": [1.0, 2.0], "evapotranspiration": [1.0, 1.0], "x1": 300.0,
                 "x2": 0.0, "x3": 80.0, "x4": 2.0, **change}
    with pytest.raises(ValueError) as error:
        run_gr4j(**arguments)
    assert str(error.value) == message


# ---------------------------------------------------------------------------------------------
# HBV

run_hbv = lumped.run_hbv
HBV_FIELDS = ["flow", "snowpack", "snow_water", "soil_moisture", "upper_zone", "lower_zone",
              "routing_store", "actual_evapotranspiration", "recharge", "snowfall"]
HBV_NAMES = ["tt", "cfmax", "sfcf", "cfr", "cwh", "fc", "lp", "beta", "perc", "uzl", "k0", "k1",
             "k2", "maxbas"]
HAND = dict(tt=0.0, cfmax=3.0, sfcf=1.1, cfr=0.05, cwh=0.1, fc=200.0, lp=0.7, beta=2.0,
            perc=1.5, uzl=20.0, k0=0.2, k1=0.1, k2=0.05, maxbas=2.0)


def hbv_reference(p, t, e, k, sm0=0.5, suz=0.0, slz=0.0):
    """Seibert and Vis (2012) transcribed: snow, soil, response, MAXBAS weights."""
    m = k["maxbas"]

    def share(x):
        if x <= 0:
            return 0.0
        if x <= m / 2.0:
            return 2.0 * x * x / (m * m)
        return 1.0 - 2.0 * (m - x) * (m - x) / (m * m) if x < m else 1.0

    c = [share(float(i)) - share(i - 1.0) for i in range(1, math.ceil(m) + 1)]
    pending = [0.0] * len(c)
    sp = wc = 0.0
    sm = sm0 * k["fc"]
    rows = []
    for pi, ti, ei in zip(p, t, e):
        snowfall, rain = (k["sfcf"] * pi, 0.0) if ti < k["tt"] else (0.0, pi)
        sp = sp + snowfall
        if ti > k["tt"]:
            melt = min(k["cfmax"] * (ti - k["tt"]), sp)
            sp, wc = sp - melt, wc + melt
        elif ti < k["tt"]:
            refreeze = min(k["cfr"] * k["cfmax"] * (k["tt"] - ti), wc)
            sp, wc = sp + refreeze, wc - refreeze
        wc = wc + rain
        release = max(wc - k["cwh"] * sp, 0.0)
        wc = wc - release
        recharge = release * (sm / k["fc"]) ** k["beta"]
        sm = sm + (release - recharge)
        if sm > k["fc"]:
            recharge, sm = recharge + (sm - k["fc"]), k["fc"]
        ea = min(ei * min(sm / (k["fc"] * k["lp"]), 1.0), sm)
        sm = sm - ea
        suz = suz + recharge
        perc = min(k["perc"], suz)
        suz, slz = suz - perc, slz + perc
        q0, q1 = k["k0"] * max(suz - k["uzl"], 0.0), k["k1"] * suz
        suz = suz - q0 - q1
        q2 = k["k2"] * slz
        slz = slz - q2
        qgw = (q2 + q1) + q0
        q = pending[0] + c[0] * qgw
        held = 0.0
        for j in range(len(c) - 1):
            pending[j] = pending[j + 1] + c[j + 1] * qgw
            held += pending[j]
        pending[-1] = 0.0
        rows.append((q, sp, wc, sm, suz, slz, held, ea, recharge, snowfall))
    return [list(column) for column in zip(*rows)]


def test_hbv_two_days_by_hand():
    # SM = 0.5 FC = 100, SUZ = 25, SLZ = 10; MAXBAS = 2 gives the weights [0.5, 0.5].
    # Day 1, P = 10, T = -2, E = 0.5: snowfall 1.1 x 10 = 11 into SP; nothing to refreeze or
    # release. Ea = 0.5 x 100 / (200 x 0.7) = 0.357143, SM = 99.642857. SUZ = 25 - PERC 1.5 = 23.5,
    # SLZ = 11.5; Q0 = 0.2 (23.5 - 20) = 0.7, Q1 = 2.35, Q2 = 0.575: QGW = 3.625, Q = 1.8125.
    # Day 2, P = 4, T = 3, E = 1: melt min(3 x 3, 11) = 9, SP = 2; WC = 9 + 4 rain = 13, holds
    # 0.1 x 2 = 0.2 and releases 12.8. Recharge 12.8 (99.642857 / 200)^2 = 3.177184; SM =
    # 109.265673; Ea = 109.265673 / 140 = 0.780469. SUZ = 20.45 + 3.177184 - 1.5 = 22.127184;
    # Q0 = 0.425437, Q1 = 2.212718, Q2 = 0.05 x 12.425 = 0.62125; QGW = 3.259405,
    # Q = 1.8125 + 0.5 x 3.259405 = 3.442203.
    run = run_hbv([10.0, 4.0], [-2.0, 3.0], [0.5, 1.0], **HAND, initial_upper_zone=25.0,
                  initial_lower_zone=10.0)
    assert run.flow == pytest.approx([1.8125, 3.442203], abs=1e-6)
    assert run.snowpack == pytest.approx([11.0, 2.0])
    assert run.snow_water == pytest.approx([0.0, 0.2])
    assert run.soil_moisture == pytest.approx([99.642857, 108.485204], abs=1e-6)
    assert run.recharge == pytest.approx([0.0, 3.177184], abs=1e-6)
    assert run.upper_zone == pytest.approx([20.45, 19.489029], abs=1e-6)
    assert run.lower_zone == pytest.approx([10.925, 11.80375])
    assert run.routing_store == pytest.approx([1.8125, 1.6297026], abs=1e-6)


def cold_weather(days):
    p, e = weather(days, seed=3)
    t = [6.0 + 12.0 * math.sin(2.0 * math.pi * (i - 110) / 365.0) + (i % 7 - 3) for i in
         range(days)]
    return p, t, e


HBV_CASES = [  # typical; saturated soil, fast zones, long routing; no snow retention, MAXBAS 1
    HAND,
    {**HAND, "fc": 40.0, "beta": 4.5, "k0": 0.6, "k1": 0.4, "maxbas": 6.3, "cwh": 0.3},
    {**HAND, "tt": 1.5, "cwh": 0.0, "cfr": 0.0, "lp": 1.0, "maxbas": 1.0, "perc": 0.0},
]


@pytest.mark.parametrize("k", HBV_CASES)
def test_hbv_matches_transcription_and_balance_closes(k):
    p, t, e = cold_weather(3 * 365)
    got = columns(run_hbv(p, t, e, **k), HBV_FIELDS)
    assert got == hbv_reference(p, t, e, k)
    q, sp, wc, sm, suz, slz, held, ea, _, snowfall = got
    before = 0.5 * k["fc"]
    for i in range(len(p)):
        after = sp[i] + wc[i] + sm[i] + suz[i] + slz[i] + held[i]
        given = snowfall[i] if t[i] < k["tt"] else p[i]
        closing = (after - before) + q[i] + ea[i]
        assert abs(closing - given) <= 1e-9 * max(given, after, before, 1.0), i
        before = after


def test_hbv_warmup():
    p, t, e = cold_weather(400)
    full = run_hbv(p, t, e, **HAND, initial_soil_moisture=0.8, initial_lower_zone=30.0)
    tail = run_hbv(p, t, e, **HAND, initial_soil_moisture=0.8, initial_lower_zone=30.0,
                   warmup=365)
    assert columns(tail, HBV_FIELDS) == [c[365:] for c in columns(full, HBV_FIELDS)]


@pytest.mark.parametrize("change, message", [
    ({"tt": math.inf}, "tt must be finite"),
    ({"cfmax": -1.0}, "cfmax must be >= 0"),
    ({"fc": 0.0}, "fc must be > 0"),
    ({"lp": 1.5}, "lp must be > 0 and at most 1"),
    ({"beta": math.nan}, "beta must be > 0"),
    ({"k2": 1.5}, "k2 must be between 0 and 1"),
    ({"k0": 0.7, "k1": 0.4}, "k0 + k1 must be at most 1"),
    ({"maxbas": 0.5}, "maxbas must be >= 1 and at most 10000"),
    ({"temperature": [1.0]},
     "precipitation, temperature and evapotranspiration must have the same length"),
    ({"initial_soil_moisture": 2.0}, "initial_soil_moisture must be between 0 and 1"),
    ({"initial_lower_zone": -1.0}, "initial_lower_zone must be >= 0"),
    ({"warmup": 5}, "warmup (5) is longer than the series (2)"),
])
def test_hbv_refuses(change, message):
    arguments = {"precipitation": [1.0, 2.0], "temperature": [1.0, -1.0],
                 "evapotranspiration": [1.0, 1.0], **HAND, **change}
    with pytest.raises(ValueError) as error:
        run_hbv(**arguments)
    assert str(error.value) == message


# ---------------------------------------------------------------------------------------------
# Long runs of the daily models let go of the lock and answer Ctrl-C well before they end.

def test_long_daily_runs_can_be_interrupted(interrupted_after):
    import numpy as np

    from vesparil import evapotranspiration, snow

    days = 3_000_000
    p = np.tile([8.0, 0.0, 0.0], days // 3)
    t = np.tile([-4.0, 1.0, 6.0], days // 3)
    e = np.full(days, 2.0)
    runs = [
        lambda: run_gr4j(p, e, 350.0, 0.0, 90.0, 1.7),
        lambda: run_hbv(p, t, e, **HAND),
        lambda: snow.run_cemaneige(p, t, 3.0, 0.3, 200.0, list(np.linspace(200, 2200, 40)), 1200.0),
        lambda: evapotranspiration.calculate_pet_hamon(t, 45.0, np.tile([1.0, 180.0, 365.0],
                                                                        days // 3)),
    ]
    for run in runs:
        start = time.perf_counter()
        run()
        whole = time.perf_counter() - start
        start = time.perf_counter()
        with interrupted_after(0.01):
            run()
        # The handler would also run once a finished call hands back the lock: only the time
        # shows that the core itself asked.
        assert time.perf_counter() - start < whole / 2
