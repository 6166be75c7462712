"""The degree-day snow store and CemaNeige: days worked by hand, transcriptions run bit for bit,
the water balance closed every day, the warm-up and the argument checks."""

import math

import pytest

from vesparil import snow

run_degree_day_snow = snow.run_degree_day_snow
run_cemaneige = snow.run_cemaneige


def winter(days, seed=5):
    """Daily P (mm/day, one day in two) and T (deg C) with a seasonal swing through zero."""
    state = seed
    p, t = [], []
    for i in range(days):
        state = (state * 6364136223846793005 + 1442695040888963407) % 2**64
        u = (state >> 11) / 2**53
        p.append(0.0 if i % 2 else -7.0 * math.log(1.0 - u))
        t.append(2.0 + 10.0 * math.sin(2.0 * math.pi * (i - 110) / 365.0) + 6.0 * (u - 0.5))
    return p, t


DEGREE_DAY_FIELDS = ["outflow", "snowpack", "snow_water", "snowfall", "melt"]
CEMANEIGE_FIELDS = ["liquid_water", "snowpack", "melt", "snowfall", "thermal_state"]


def columns(result, fields):
    return [getattr(result, name) for name in fields]


def degree_day_reference(p, t, tt, cfmax, cfr, cwh, sp=0.0):
    wc = 0.0
    rows = []
    for pi, ti in zip(p, t):
        snowfall, rain = (pi, 0.0) if ti < tt else (0.0, pi)
        sp = sp + snowfall
        melt = 0.0
        if ti > tt:
            melt = min(cfmax * (ti - tt), sp)
            sp, wc = sp - melt, wc + melt
        elif ti < tt:
            refreeze = min(cfr * cfmax * (tt - ti), wc)
            sp, wc = sp + refreeze, wc - refreeze
        wc = wc + rain
        out = max(wc - cwh * sp, 0.0)
        wc = wc - out
        rows.append((out, sp, wc, snowfall, melt))
    return [list(column) for column in zip(*rows)]


def test_degree_day_three_days_by_hand():
    # TT = 0, CFMAX = 4, CFR = 0.05, CWH = 0.1, 20 mm of snow to start.
    # Day 1, 5 mm at +2: melt 8, SP = 12, WC = 8 + 5 = 13 holds 1.2 and lets 11.8 go.
    # Day 2, dry at -3: refreeze min(0.05 x 4 x 3, 1.2) = 0.6: SP = 12.6, WC = 0.6, nothing out.
    # Day 3, 10 mm at -1: snow, SP = 22.6; refreeze 0.2: SP = 22.8, WC = 0.4.
    run = run_degree_day_snow([5.0, 0.0, 10.0], [2.0, -3.0, -1.0], 0.0, 4.0, 0.05, 0.1,
                              initial_snowpack=20.0)
    assert run.outflow == pytest.approx([11.8, 0.0, 0.0])
    assert run.snowpack == pytest.approx([12.0, 12.6, 22.8])
    assert run.snow_water == pytest.approx([1.2, 0.6, 0.4])
    assert run.melt == [8.0, 0.0, 0.0]
    assert run.snowfall == [0.0, 0.0, 10.0]


@pytest.mark.parametrize("k", [(0.0, 3.5, 0.05, 0.1), (1.2, 6.0, 0.0, 0.0), (-0.8, 1.5, 0.2, 0.3)])
def test_degree_day_matches_transcription_and_balance_closes(k):
    p, t = winter(3 * 365)
    got = columns(run_degree_day_snow(p, t, *k), DEGREE_DAY_FIELDS)
    assert got == degree_day_reference(p, t, *k)
    out, sp, wc = got[:3]
    before = 0.0
    for i in range(len(p)):
        after = sp[i] + wc[i]
        assert abs((after - before) + out[i] - p[i]) <= 1e-9 * max(after, before, p[i], 1.0)
        before = after


def cemaneige_reference(p, t, kf, ctg, qnbv, zs, zmed, grad_t=-0.65, beta=0.0004):
    weights = [math.exp(beta * (z - zmed)) for z in zs]
    total = 0.0
    for w in weights:
        total += w
    shares = [w / (total / len(zs)) for w in weights]
    g, etg = [0.0] * len(zs), [0.0] * len(zs)
    rows = []
    for pi, ti in zip(p, t):
        sums = [0.0] * 5
        for b, z in enumerate(zs):
            pz = shares[b] * pi
            tz = ti + grad_t * (z - zmed) / 100.0
            solid = 1.0 if tz <= -1.0 else 0.0 if tz >= 3.0 else 1.0 - (tz - -1.0) / (3.0 - -1.0)
            psol = solid * pz
            g[b] = g[b] + psol
            etg[b] = min(ctg * etg[b] + (1.0 - ctg) * tz, 0.0)
            potential = min(kf * (tz - 0.0), g[b]) if etg[b] == 0.0 and tz > 0.0 else 0.0
            melt = ((1.0 - 0.1) * min(g[b] / (0.9 * qnbv), 1.0) + 0.1) * potential
            g[b] = g[b] - melt
            for j, v in enumerate(((pz - psol) + melt, g[b], melt, psol, etg[b])):
                sums[j] += v
        rows.append([s / len(zs) for s in sums])
    return [list(column) for column in zip(*rows)]


def test_cemaneige_one_band_by_hand():
    # One band at the median: P and T unchanged. Kf = 4, CTG = 0.5, snowfall 200 mm a year so
    # G_threshold = 180 mm.
    # Day 1, 12 mm at -2: all snow, G = 12; eTG = 0.5 x 0 + 0.5 x -2 = -1: no melt.
    # Day 2, 6 mm at +1: solid share 1 - (1 + 1) / 4 = 0.5: 3 mm snow, 3 mm rain, G = 15;
    # eTG = 0.5 x -1 + 0.5 x 1 = 0: potential melt min(4 x 1, 15) = 4,
    # melt = (0.9 x 15 / 180 + 0.1) x 4 = 0.7; G = 14.3; liquid water 3 + 0.7 = 3.7.
    run = run_cemaneige([12.0, 6.0], [-2.0, 1.0], 4.0, 0.5, 200.0, [800.0], 800.0)
    assert run.snowpack == pytest.approx([12.0, 14.3])
    assert run.liquid_water == pytest.approx([0.0, 3.7])
    assert run.melt == pytest.approx([0.0, 0.7])
    assert run.thermal_state == [-1.0, 0.0]


# Every band starts with G = 0 and eTG = 0 (docs/snow.md): a dry first day keeps no snow, and its
# thermal state is CTG x 0 + (1 - CTG) T, at most 0; a warm first day melts nothing.
@pytest.mark.parametrize("ctg, temperature", [(0.25, -4.0), (0.9, -4.0), (0.0, -1.5), (0.5, 6.0)])
def test_cemaneige_starts_bare_at_zero_thermal_state(ctg, temperature):
    run = run_cemaneige([0.0], [temperature], 4.0, ctg, 200.0, [600.0, 1000.0], 800.0, 0.0)
    assert (run.snowpack, run.melt) == ([0.0], [0.0])
    assert run.thermal_state == [min(ctg * 0.0 + (1.0 - ctg) * temperature, 0.0)]


BANDS = [  # elevations, median, kf, ctg, snowfall, gradients
    ([450.0, 700.0, 900.0, 1250.0, 1900.0], 900.0, 3.5, 0.25, 250.0, -0.65, 0.0004),
    ([300.0], 250.0, 6.0, 0.9, 40.0, -0.65, 0.0004),
    ([1000.0, 1100.0, 2400.0], 1100.0, 2.0, 0.0, 900.0, -0.45, 0.001),
]


@pytest.mark.parametrize("zs, zmed, kf, ctg, qnbv, grad_t, beta", BANDS)
def test_cemaneige_matches_transcription_and_balance_closes(zs, zmed, kf, ctg, qnbv, grad_t,
                                                            beta):
    p, t = winter(3 * 365)
    got = columns(run_cemaneige(p, t, kf, ctg, qnbv, zs, zmed, grad_t, beta), CEMANEIGE_FIELDS)
    assert got == cemaneige_reference(p, t, kf, ctg, qnbv, zs, zmed, grad_t, beta)
    liquid, g = got[:2]
    before = 0.0
    for i in range(len(p)):
        assert abs((g[i] - before) + liquid[i] - p[i]) <= 1e-9 * max(g[i], before, p[i], 1.0)
        before = g[i]


def test_warmup_drops_the_first_days():
    p, t = winter(400)
    full = run_cemaneige(p, t, 3.0, 0.3, 200.0, [500.0, 900.0], 700.0)
    tail = run_cemaneige(p, t, 3.0, 0.3, 200.0, [500.0, 900.0], 700.0, warmup=365)
    assert columns(tail, CEMANEIGE_FIELDS) == [c[365:] for c in columns(full, CEMANEIGE_FIELDS)]
    full = run_degree_day_snow(p, t, 0.0, 3.0, 0.05, 0.1, 30.0)
    tail = run_degree_day_snow(p, t, 0.0, 3.0, 0.05, 0.1, 30.0, warmup=365)
    assert columns(tail, DEGREE_DAY_FIELDS) == [c[365:] for c in columns(full, DEGREE_DAY_FIELDS)]


@pytest.mark.parametrize("call, message", [
    (lambda: run_degree_day_snow([1.0], [0.0], math.nan, 3.0, 0.05, 0.1),
     "threshold_temperature must be finite"),
    (lambda: run_degree_day_snow([1.0], [0.0], 0.0, -3.0, 0.05, 0.1), "melt_factor must be >= 0"),
    (lambda: run_degree_day_snow([1.0], [0.0], 0.0, 3.0, -0.05, 0.1),
     "refreezing_coefficient must be >= 0"),
    (lambda: run_degree_day_snow([1.0], [0.0, 1.0], 0.0, 3.0, 0.05, 0.1),
     "precipitation and temperature must have the same length"),
    (lambda: run_degree_day_snow([1.0], [0.0], 0.0, 3.0, 0.05, 0.1, -1.0),
     "initial_snowpack must be >= 0"),
    (lambda: run_cemaneige([1.0], [0.0], 3.0, 1.5, 100.0, [500.0], 500.0),
     "ctg must be between 0 and 1"),
    (lambda: run_cemaneige([1.0], [0.0], 3.0, 0.5, 0.0, [500.0], 500.0),
     "mean_annual_snowfall must be > 0 and finite"),
    (lambda: run_cemaneige([1.0], [0.0], 3.0, 0.5, 100.0, [], 500.0),
     "elevations must hold 1 to 1000 bands"),
    (lambda: run_cemaneige([1.0], [0.0], 3.0, 0.5, 100.0, [500.0], 500.0, warmup=2),
     "warmup (2) is longer than the series (1)"),
    (lambda: run_cemaneige([1.0], [0.0], 3.0, 0.5, 100.0, [0.0, 1e7], 0.0),
     "precipitation_gradient gives bands no finite share of precipitation"),
])
def test_refuses(call, message):
    with pytest.raises(ValueError) as error:
        call()
    assert str(error.value) == message
