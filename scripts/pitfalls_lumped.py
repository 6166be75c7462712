"""The numbers quoted in the Pitfalls of the continuous-simulation pages (GR4J, HBV, snow,
evapotranspiration); scripts/pitfalls.py adds them to its own."""

import math

import vesparil


def weather(days, seed=11):
    """Deterministic daily P (mm/day, rain one day in three) and a seasonal E (mm/day)."""
    state = seed
    p, e = [], []
    for i in range(days):
        state = (state * 6364136223846793005 + 1442695040888963407) % 2**64
        u = (state >> 11) / 2**53
        p.append(0.0 if i % 3 else -9.0 * math.log(1.0 - u))
        e.append(2.5 + 2.0 * math.sin(2.0 * math.pi * (i - 100) / 365.0))
    return p, e


def gr4j():
    run = vesparil.lumped.run_gr4j
    p, e = weather(2 * 365)
    x = (350.0, 0.0, 90.0, 1.7)
    empty = run(p, e, *x, initial_production=0.0, initial_routing=0.0)
    full = run(p, e, *x, initial_production=1.0, initial_routing=1.0)
    first = [sum(r.flow[:365]) for r in (empty, full)]
    second = [sum(r.flow[365:]) for r in (empty, full)]
    small = [run(p, e, 350.0, 0.0, 90.0, x4).flow for x4 in (0.1, 0.5)]
    lossy = run(p, e, 350.0, -5.0, 40.0, 1.7)
    return {
        "gr4j.first_year_empty_mm": first[0],
        "gr4j.first_year_full_mm": first[1],
        "gr4j.second_year_ratio": second[1] / second[0],
        "gr4j.x4_below_half_same": small[0] == small[1],
        "gr4j.rain_mm": sum(p),
        "gr4j.lossy_exchange_mm": -sum(lossy.exchange),
        "gr4j.lossy_flow_mm": sum(lossy.flow),
    }


HBV = dict(tt=0.0, cfmax=3.0, sfcf=1.3, cfr=0.05, cwh=0.1, fc=250.0, lp=0.7, beta=2.0,
           perc=1.5, uzl=20.0, k0=0.2, k1=0.1, k2=0.02, maxbas=2.5)


def cold(days):
    p, e = weather(days)
    t = [4.0 + 12.0 * math.sin(2.0 * math.pi * (i - 110) / 365.0) for i in range(days)]
    return p, t, e


def hbv():
    run = vesparil.lumped.run_hbv
    p, t, e = cold(2 * 365)
    base = run(p, t, e, **HBV)
    snow_p = sum(pi for pi, ti in zip(p, t) if ti < HBV["tt"])
    dry = run(p, t, e, **HBV, initial_soil_moisture=0.0)
    wet = run(p, t, e, **HBV, initial_soil_moisture=1.0, initial_lower_zone=100.0)
    return {
        "hbv.rain_mm": sum(p),
        "hbv.snow_days_p_mm": snow_p,
        "hbv.snowfall_mm": sum(base.snowfall),
        "hbv.first_year_dry_mm": sum(dry.flow[:365]),
        "hbv.first_year_wet_mm": sum(wet.flow[:365]),
        "hbv.second_year_ratio": sum(wet.flow[365:]) / sum(dry.flow[365:]),
    }


def evapotranspiration():
    et = vesparil.evapotranspiration
    days = list(range(1, 366))
    mean = [9.0 + 10.0 * math.sin(2.0 * math.pi * (j - 110) / 365.0) for j in days]
    low, high = [t - 5.0 for t in mean], [t + 5.0 for t in mean]
    polar = et.calculate_pet_oudin([2.0] * 365, 75.0, days)
    return {
        "pet.oudin_year_mm": sum(et.calculate_pet_oudin(mean, 48.0, days)),
        "pet.hargreaves_year_mm": sum(et.calculate_pet_hargreaves(low, high, 48.0, days)),
        "pet.hamon_year_mm": sum(et.calculate_pet_hamon(mean, 48.0, days)),
        "pet.polar_zero_days": sum(1 for v in polar if v == 0.0),
    }


def snow():
    p, t, _ = cold(2 * 365)
    one = vesparil.snow.run_cemaneige(p, t, 3.5, 0.25, 300.0, [500.0], 500.0)
    five = vesparil.snow.run_cemaneige(p, t, 3.5, 0.25, 300.0,
                                       [100.0, 300.0, 500.0, 700.0, 900.0], 500.0)
    frozen_below_zero = vesparil.snow.run_cemaneige(p, [-0.5] * len(p), 3.5, 0.25, 300.0,
                                                    [500.0], 500.0)
    return {
        "snow.one_band_peak_mm": max(one.snowpack),
        "snow.five_band_peak_mm": max(five.snowpack),
        "snow.minus_half_snowfall_share": sum(frozen_below_zero.snowfall) / sum(p),
    }


def front():
    """An event sub-basin's daily front (docs/basin.md): one 10 mm shower and 3 mm of potential
    evapotranspiration in a day, given as one daily step or as 24 hourly ones (the shower in
    the first hour, the evapotranspiration spread evenly); the net rain its loss receives, mm."""
    from datetime import timedelta

    b = vesparil.basin
    net = {}
    for name, steps in (("daily", 1), ("hourly", 24)):
        model = b.Basin(timedelta(days=1) / steps)
        model.add_subbasin("sub", 100.0, None, b.Clark(timedelta(hours=1), timedelta(hours=1)))
        rain = [10.0] + [0.0] * (steps - 1)
        pet = [3.0 / steps] * steps
        run = model.run({"sub": {"precipitation": rain, "evapotranspiration": pet}})
        net[name] = sum(run["sub"].series["excess"].data) * 25.4
    return {"front.daily_net_mm": net["daily"], "front.hourly_net_mm": net["hourly"]}


def numbers():
    found = {}
    for part in (gr4j, hbv, evapotranspiration, snow, front):
        found.update(part())
    return found
