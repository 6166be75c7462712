"""Edges of the scores and the daily models that a changed rule would pass unseen: a gap only in
the observations, GR4J's whole-series warm-up and emptied routing store, HBV's evaporation
capped by the soil and its day at TT, the degree-day store at its threshold, the bounds of
MAXBAS and of CemaNeige's bands, Hargreaves with Tmax = Tmin, the poles, and infinite
capacities and factors."""

import math

import pytest

import vesparil
from test_evapotranspiration import hamon, hargreaves, oudin, solar
from test_gr4j import GR4J_FIELDS, columns, gr4j_reference
from test_hbv import HAND, HBV_FIELDS, hbv_reference
from test_snow import DEGREE_DAY_FIELDS, degree_day_reference

np = pytest.importorskip("numpy", reason="an ensemble's simulations are a NumPy array")

metrics = vesparil.metrics
lumped = vesparil.lumped
snow = vesparil.snow
et = vesparil.evapotranspiration
basin = vesparil.basin
ABOVE = math.nextafter
NAN = math.nan


# --- a gap only in the observations -------------------------------------------------------

SIM = [1.0, 2.0, 3.0, 4.0, 5.0]
OBS = [1.5, 2.0, NAN, 4.0, NAN]


@pytest.mark.parametrize("score", [
    metrics.calculate_nse, metrics.calculate_kge_components, metrics.calculate_pbias,
    metrics.calculate_rmse, metrics.calculate_mae, metrics.calculate_pearson_r])
@pytest.mark.parametrize("sim", [SIM, [SIM, SIM[::-1]], np.array([SIM, SIM])],
                         ids=["series", "rows", "array"])
def test_raise_names_obs_when_only_obs_has_a_gap(score, sim):
    with pytest.raises(ValueError) as error:
        score(sim, OBS, missing="raise")
    assert str(error.value) == "`obs` has a missing value (NaN) at index 2"


# --- GR4J ---------------------------------------------------------------------------------

def test_gr4j_warmup_of_the_whole_series_keeps_nothing():
    p, e = [1.0, 12.0, 0.0], [0.5, 0.5, 3.0]
    run = lumped.run_gr4j(p, e, 300.0, -0.5, 80.0, 2.0, warmup=len(p))
    assert columns(run, GR4J_FIELDS) == [[]] * len(GR4J_FIELDS)


# R = 10 mm of X3 = 20: F = X2 (1/2)^3.5, -17.68 mm for X2 = -200, empties the store on day 1,
# and again after later rain.
@pytest.mark.parametrize("x2, x4", [(-200.0, 1.0), (-120.0, 1.0), (-150.0, 2.4)])
def test_gr4j_exchange_that_empties_the_routing_store(x2, x4):
    p = [0.0, 0.0, 5.0, 20.0, 0.0, 35.0, 0.0, 0.0, 2.0, 60.0] + [0.0] * 6
    e = [0.0, 1.0, 0.5, 0.5, 2.0, 0.3, 3.0, 3.0, 1.0, 0.2] + [2.0] * 6
    run = lumped.run_gr4j(p, e, 100.0, x2, 20.0, x4)
    assert columns(run, GR4J_FIELDS) == gr4j_reference(p, e, 100.0, x2, 20.0, x4)
    assert min(run.routing_store) >= 0.0 and run.routing_store[0] == 0.0
    assert run.routing_store.count(0.0) >= 2
    if x4 == 1.0:
        # Day 1 by hand, P = E = 0: S = 30, Pr = Perc; UH1 = [1], UH2 = [1/2, 1/2].
        s = 30.0
        perc = s * (1.0 - (1.0 + ((4.0 / 9.0) * (s / 100.0)) ** 4.0) ** -0.25)
        q9, q1 = 0.9 * perc, 0.5 * (0.1 * perc)
        f = x2 * (10.0 / 20.0) ** 3.5
        assert 10.0 + q9 + f < 0.0 and q1 + f < 0.0
        # Nothing flows; what the exchange took is the store and both releases, no more.
        assert run.flow[0] == 0.0
        assert run.exchange[0] == -(10.0 + q9) + -q1


# --- HBV ----------------------------------------------------------------------------------

# FC = 5 mm, LP = 0.5: the soil is "wet" from 2.5 mm on, so E = 20 mm/day would take more than
# it holds; Ea stops at SM. Day 2 fills the soil past FC (recharge 0 + 5 above FC).
@pytest.mark.parametrize("p, e, ea, sm, recharge", [
    ([0.0], [20.0], [2.5], [0.0], [0.0]),
    ([0.0, 10.0], [20.0, 20.0], [2.5, 5.0], [0.0, 0.0], [0.0, 5.0]),
    ([0.0, 10.0], [20.0, 1.0], [2.5, 1.0], [0.0, 4.0], [0.0, 5.0]),
])
def test_hbv_evaporation_is_capped_by_the_soil(p, e, ea, sm, recharge):
    k = {**HAND, "fc": 5.0, "lp": 0.5}
    run = lumped.run_hbv(p, [5.0] * len(p), e, **k)
    assert (run.actual_evapotranspiration, run.soil_moisture, run.recharge) == (ea, sm, recharge)
    assert columns(run, HBV_FIELDS) == hbv_reference(p, [5.0] * len(p), e, k)


# A day at exactly TT is rain: no snowfall correction, no melt, no refreezing.
@pytest.mark.parametrize("tt", [0.0, 1.5, -2.25])
def test_hbv_day_at_tt(tt):
    p, t, e = [10.0, 4.0, 3.0], [tt - 3.0, tt, tt], [0.5, 1.0, 1.0]
    run = lumped.run_hbv(p, t, e, **{**HAND, "tt": tt})
    assert run.snowfall == [11.0, 0.0, 0.0]                    # SFCF 1.1 on day 1 only
    assert run.snowpack == [11.0, 11.0, 11.0]
    assert run.snow_water == [0.0, 0.1 * 11.0, 0.1 * 11.0]     # CWH SP held, the rest released
    assert columns(run, HBV_FIELDS) == hbv_reference(p, t, e, {**HAND, "tt": tt})


# --- the degree-day store at its threshold ------------------------------------------------

@pytest.mark.parametrize("tt", [0.0, 1.2, -0.8])
def test_degree_day_at_the_threshold(tt):
    # 20 mm of snow; day 1 snows 4 mm, day 2 rains 5 mm at exactly TT: no melt, no refreezing,
    # and the pack holds CWH x 24 mm of the rain.
    p, t = [4.0, 5.0], [tt - 2.0, tt]
    run = snow.run_degree_day_snow(p, t, tt, 3.0, 0.05, 0.1, initial_snowpack=20.0)
    assert (run.snowfall, run.melt, run.snowpack) == ([4.0, 0.0], [0.0, 0.0], [24.0, 24.0])
    assert run.outflow == [0.0, max(5.0 - 0.1 * 24.0, 0.0)]
    assert columns(run, DEGREE_DAY_FIELDS) == degree_day_reference(p, t, tt, 3.0, 0.05, 0.1,
                                                                   sp=20.0)


# --- bounds of the daily models' values ---------------------------------------------------

HBV_ARGS = [HAND[name] for name in ("tt", "cfmax", "sfcf", "cfr", "cwh", "fc", "lp", "beta",
                                    "perc", "uzl", "k0", "k1", "k2")]
ZS = [500.0] * 1000


@pytest.mark.parametrize("call, message", [
    (lambda: lumped.run_hbv([1.0], [5.0], [1.0], **{**HAND, "maxbas": 10000.0}), None),
    (lambda: basin.HBV(*HBV_ARGS, 10000.0), None),
    (lambda: lumped.run_hbv([1.0], [5.0], [1.0], **{**HAND, "maxbas": ABOVE(10000.0, 2e4)}),
     "maxbas must be >= 1 and at most 10000"),
    (lambda: basin.HBV(*HBV_ARGS, ABOVE(10000.0, 2e4)), "maxbas must be >= 1 and at most 10000"),
    (lambda: snow.run_degree_day_snow([1.0], [0.0], 0.0, 3.0, 0.05, 0.1, NAN),
     "initial_snowpack must be >= 0"),
    (lambda: basin.DegreeDaySnow(0.0, 3.0, 0.05, 0.1, NAN), "initial_snowpack must be >= 0"),
    (lambda: snow.run_cemaneige([1.0], [0.0], 3.0, 0.5, 100.0, ZS, 500.0), None),
    (lambda: basin.CemaNeige(3.0, 0.5, 100.0, ZS, 500.0), None),
    (lambda: snow.run_cemaneige([1.0], [0.0], 3.0, 0.5, 100.0, ZS + [500.0], 500.0),
     "elevations must hold 1 to 1000 bands"),
    (lambda: basin.CemaNeige(3.0, 0.5, 100.0, ZS + [500.0], 500.0),
     "elevations must hold 1 to 1000 bands"),
])
def test_daily_model_bounds(call, message):
    if message is None:
        call()
        return
    with pytest.raises(ValueError) as error:
        call()
    assert str(error.value) == message


# --- evapotranspiration -------------------------------------------------------------------

@pytest.mark.parametrize("t", [5.0, -20.0, 31.5, -17.8])
def test_hargreaves_with_tmax_equal_to_tmin_is_zero(t):
    # sqrt(Tmax - Tmin) = 0: no demand whatever Ra, and no refusal (Tmax is not below Tmin).
    assert et.calculate_pet_hargreaves([t, t], [t, t], 45.0, [180, 10]) == [0.0, 0.0]


DAYS = [1, 80, 172, 266, 355, 366]


@pytest.mark.parametrize("lat", [-90.0, 90.0])
def test_the_poles_are_accepted_and_follow_the_formulas(lat):
    t = [10.0, -3.0, 18.0, 6.0, 2.0, 9.0]
    tmin, tmax = [x - 4.0 for x in t], [x + 5.0 for x in t]
    assert et.calculate_extraterrestrial_radiation(lat, DAYS) == [solar(lat, j)[0] for j in DAYS]
    assert et.calculate_pet_oudin(t, lat, DAYS) == [oudin(x, lat, j) for x, j in zip(t, DAYS)]
    assert et.calculate_pet_hamon(t, lat, DAYS) == [hamon(x, lat, j) for x, j in zip(t, DAYS)]
    assert et.calculate_pet_hargreaves(tmin, tmax, lat, DAYS) == [
        hargreaves(a, b, lat, j) for a, b, j in zip(tmin, tmax, DAYS)]
    # Polar night on one side, midnight sun (N = 24 h) on the other.
    night, day = (172, 355) if lat < 0 else (355, 172)
    assert et.calculate_extraterrestrial_radiation(lat, [night]) == [0.0]
    assert solar(lat, day)[1] == 24.0
    for method in (basin.Oudin, basin.Hargreaves, basin.Hamon):
        assert method(lat).latitude == lat


@pytest.mark.parametrize("lat", [ABOVE(-90.0, -100.0), ABOVE(90.0, 100.0)])
def test_just_beyond_a_pole_is_refused(lat):
    for call in (lambda: et.calculate_pet_oudin([1.0], lat, [1]), lambda: basin.Hamon(lat)):
        with pytest.raises(ValueError) as error:
            call()
        assert str(error.value) == "latitude must be between -90 and 90"


# --- non-finite capacities and factors ----------------------------------------------------

P3, T3, E3 = [1.0, 10.0, 2.0], [2.0, -1.0, 1.0], [0.5, 0.5, 3.0]


def hbv(**change):
    return lambda: lumped.run_hbv(P3, T3, E3, **{**HAND, **change}).flow


# Refused, as CemaNeige refuses an infinite kf and GR4J an infinite X2, or run to numbers: never
# a NaN from values the check let through.
@pytest.mark.parametrize("call", [
    pytest.param(lambda: snow.run_cemaneige(P3, T3, math.inf, 0.5, 100.0, [500.0], 500.0)
                 .liquid_water, id="cemaneige kf"),
    pytest.param(lambda: lumped.run_gr4j(P3, E3, 300.0, math.inf, 80.0, 2.0).flow, id="gr4j x2"),
    pytest.param(lambda: snow.run_degree_day_snow(P3, T3, 0.0, 3.0, 0.05, math.inf, 10.0).outflow,
                 id="degree-day water_holding"),
    pytest.param(lambda: lumped.run_gr4j(P3, E3, math.inf, 0.5, 80.0, 2.0).flow, id="gr4j x1"),
    pytest.param(lambda: lumped.run_gr4j(P3, E3, 300.0, 0.5, math.inf, 2.0).flow, id="gr4j x3"),
    pytest.param(hbv(fc=math.inf), id="hbv fc"),
    pytest.param(hbv(cfmax=math.inf, cfr=0.0), id="hbv cfmax"),
    pytest.param(lambda: snow.run_degree_day_snow(P3, T3, 0.0, math.inf, 0.0, 0.1, 10.0).outflow,
                 id="degree-day melt_factor"),
    pytest.param(lambda: snow.run_degree_day_snow(P3, T3, 0.0, 3.0, 0.05, 0.0, math.inf).outflow,
                 id="degree-day initial_snowpack"),
])
def test_an_infinite_parameter_is_refused_or_runs_to_numbers(call):
    try:
        values = call()
    except ValueError:
        return
    assert not any(math.isnan(v) for v in values)
