"""GR4J: a day worked by hand from the paper's equations, a transcription run bit for bit, the
water balance closed every day, the warm-up, and the argument checks."""

import math

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
    default = run_gr4j(p[:1], e[:1], 350.0, 0.5, 90.0, 1.7)
    assert full.production_store[:1] != default.production_store


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
