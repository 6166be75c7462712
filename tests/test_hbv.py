"""HBV: two days worked by hand from the paper's equations, a transcription run bit for bit, the
water balance closed every day, the warm-up, the argument checks; and the interruption of long
runs of every daily model."""

import math
import time

import pytest

from test_gr4j import columns, run_gr4j, weather
from vesparil import lumped

run_hbv = lumped.run_hbv
HBV_FIELDS = ["flow", "snowpack", "snow_water", "soil_moisture", "upper_zone", "lower_zone",
              "routing_store", "actual_evapotranspiration", "recharge", "snowfall"]
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
