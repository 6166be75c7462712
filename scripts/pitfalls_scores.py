"""The numbers quoted in the Pitfalls of the KGE and score pages; scripts/pitfalls.py adds them
to its own."""

import functools
import math
import operator

import vesparil


def random_series(count, seed):
    """Deterministic pseudo-random flows and a noisy simulation of them (no NumPy needed)."""
    state, observed, simulated = seed, [], []
    for _ in range(count):
        values = []
        for _ in range(2):
            state = (state * 6364136223846793005 + 1442695040888963407) % 2**64
            values.append((state >> 11) / 2**53)
        observed.append(5.0 + 200.0 * values[0] ** 3)
        simulated.append(observed[-1] * (0.7 + 0.6 * values[1]))
    return simulated, observed


def plain_sum(values):
    """Left-to-right sum: the built-in sum() compensates its rounding from Python 3.12 on."""
    return functools.reduce(operator.add, values, 0.0)


def kge_reference(sim, obs):
    """Two-pass textbook Kling-Gupta efficiency (population standard deviations)."""
    n = len(obs)
    mean_s, mean_o = plain_sum(sim) / n, plain_sum(obs) / n
    cov = plain_sum((s - mean_s) * (o - mean_o) for s, o in zip(sim, obs)) / n
    std_s = math.sqrt(plain_sum((s - mean_s) ** 2 for s in sim) / n)
    std_o = math.sqrt(plain_sum((o - mean_o) ** 2 for o in obs) / n)
    r = cov / (std_s * std_o)
    return 1.0 - math.sqrt((r - 1.0) ** 2 + (mean_s / mean_o - 1.0) ** 2
                           + (std_s / std_o - 1.0) ** 2)


KGE_CASES = 200


def kge():
    kge_of = vesparil.metrics.calculate_kge
    cases = [random_series(10 + 7 * i, seed=i + 1) for i in range(KGE_CASES)]
    low = [0.001, 0.0011, 0.0012]
    low_mean = plain_sum(low) / len(low)
    low_spread = plain_sum((v - low_mean) ** 2 for v in low)  # sqrt(S_oo S_ss) for sim = obs
    numbers = {
        "kge.nan": kge_of([1.0, math.nan, 3.0], [1.0, 2.0, 3.0]),
        "kge.constant_obs": kge_of([1.0, 2.0, 3.0], [1.0, 1.0, 1.0]),
        "kge.log_of_zero": math.log(0.0 + 1e-6),
        "kge.log_one_zero": kge_of([0.001, 1.0, 2.0, 3.0], [0.0, 1.0, 2.0, 3.0], use_log=True),
        "kge.plain_one_zero": kge_of([0.001, 1.0, 2.0, 3.0], [0.0, 1.0, 2.0, 3.0]),
        "kge.log_shifted": kge_of([1.001, 2.0, 3.0, 4.0], [1.0, 2.0, 3.0, 4.0], use_log=True),
        "kge.low_variance_self": kge_of(low, low),
        "kge.low_variance_d": low_spread,
        "kge.low_variance_self_x10": kge_of([10.0 * v for v in low], [10.0 * v for v in low]),
        "kge.cases": KGE_CASES,
        "kge.max_difference_textbook": max(
            abs(kge_of(sim, obs) - kge_reference(sim, obs)) for sim, obs in cases
        ),
    }
    try:
        import numpy
        import spotpy.objectivefunctions as objectives
    except ImportError:
        return numbers
    numbers["kge.max_difference_spotpy"] = max(
        abs(kge_of(sim, obs) - float(objectives.kge(numpy.array(obs), numpy.array(sim))))
        for sim, obs in cases
    )
    return numbers


# An intermittent stream: the observations dry up; the model keeps a trickle of 0.05.
DRYING_OBS = [0.0, 0.0, 0.4, 3.0, 12.0, 6.0, 2.0, 0.8, 0.1, 0.0, 0.0, 0.0]
DRYING_SIM = [0.05, 0.05, 0.5, 2.6, 11.0, 6.5, 2.2, 0.7, 0.15, 0.05, 0.05, 0.05]


def seasonal_year():
    """A year of daily flows with one wet season, and a simulation 15 % low plus 20 cfs."""
    _, noise = random_series(365, seed=3)
    obs = [15.0 + 300.0 * max(0.0, math.sin(2.0 * math.pi * (d - 40) / 365)) ** 4
           + 0.2 * noise[d] for d in range(365)]
    sim = [0.85 * q + 20.0 + 10.0 * math.sin(d * 0.9) for d, q in enumerate(obs)]
    return sim, obs


def metrics():
    m = vesparil.metrics
    _, obs = random_series(365, seed=7)
    biased = [1.3 * q for q in obs]
    sim, year = seasonal_year()
    wettest = set(sorted(range(365), key=lambda d: -year[d])[:110])  # 30 %: gauge out in floods
    scattered = {d for d in range(365) if (d * 37) % 10 < 3}         # 30 %: spread over the year

    def gappy(days):
        return [math.nan if d in days else q for d, q in enumerate(year)]

    return {
        "metrics.log_eps": plain_sum(DRYING_OBS) / len(DRYING_OBS) / 100.0,
        "metrics.nse_drying": m.calculate_nse(DRYING_SIM, DRYING_OBS),
        "metrics.log_nse_drying": m.calculate_nse(DRYING_SIM, DRYING_OBS, True),
        "metrics.log_nse_drying_1e6": m.calculate_nse(DRYING_SIM, DRYING_OBS, True, epsilon=1e-6),
        "metrics.log_nse_drying_01": m.calculate_nse(DRYING_SIM, DRYING_OBS, True, epsilon=0.1),
        "metrics.kge2009_biased": m.calculate_kge_components(biased, obs).kge,
        "metrics.kge2012_biased": m.calculate_kge_components(biased, obs, variant="2012").kge,
        "metrics.gaps": len(wettest),
        "metrics.nse_year": m.calculate_nse(sim, year),
        "metrics.nse_scattered_gaps": m.calculate_nse(sim, gappy(scattered), missing="omit"),
        "metrics.nse_wet_gaps": m.calculate_nse(sim, gappy(wettest), missing="omit"),
        "metrics.pbias_year": m.calculate_pbias(sim, year),
        "metrics.pbias_wet_gaps": m.calculate_pbias(sim, gappy(wettest), missing="omit"),
    }


def numbers():
    return {**kge(), **metrics()}
