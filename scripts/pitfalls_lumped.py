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


def numbers():
    found = {}
    for part in (gr4j,):
        found.update(part())
    return found
