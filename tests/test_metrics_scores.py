"""The scores beside calculate_kge: formulas, the missing-value rule, and peers."""

import math
import sys
import warnings
from pathlib import Path

import numpy as np
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from metrics_scores_helpers import NAN, SCORES, bits

from vesparil import metrics


def total(values):
    """Index-order sum from 0.0, as the module adds."""
    result = 0.0
    for x in values:
        result += x
    return result


def reference(name, s, o):
    """Sequential transcription of each score, operation for operation."""
    n = float(len(o))
    if name == "log_nse":
        eps = (total(o) / n) / 100.0
        return reference("nse", [math.log(x + eps) for x in s], [math.log(x + eps) for x in o])
    if name == "nse":
        m = total(o) / n
        return [1.0 - total((a - b) * (a - b) for a, b in zip(s, o)) /
                total((b - m) * (b - m) for b in o)]
    if name == "pbias":
        return [100.0 * total(a - b for a, b in zip(s, o)) / total(o)]
    if name == "rmse":
        return [math.sqrt(total((a - b) * (a - b) for a, b in zip(s, o)) / n)]
    if name == "mae":
        return [total(abs(a - b) for a, b in zip(s, o)) / n]
    ms, mo = total(s) / n, total(o) / n
    cross = total((a - ms) * (b - mo) for a, b in zip(s, o))
    ss, oo = total((a - ms) * (a - ms) for a in s), total((b - mo) * (b - mo) for b in o)
    r = cross / math.sqrt(ss * oo)
    if name == "pearson_r":
        return [r]
    sd_s, sd_o, beta = math.sqrt(ss / n), math.sqrt(oo / n), ms / mo
    if name == "kge_2009":
        alpha = sd_s / sd_o
        return [1.0 - math.sqrt((r - 1) * (r - 1) + (alpha - 1) * (alpha - 1) +
                                (beta - 1) * (beta - 1)), r, alpha, beta]
    gamma = (sd_s / ms) / (sd_o / mo)
    return [1.0 - math.sqrt((r - 1) * (r - 1) + (beta - 1) * (beta - 1) +
                            (gamma - 1) * (gamma - 1)), r, gamma, beta]


# sim [2, 4, 6] against obs [1, 2, 3]: every error is the observation itself (1, 2, 3), the means
# are 4 and 2, the standard deviations sqrt(8/3) and sqrt(2/3), and r = 1.
@pytest.mark.parametrize("name, expected", [
    ("nse", [1.0 - 14.0 / 2.0]),                      # 1 - (1 + 4 + 9) / (1 + 0 + 1)
    ("pbias", [100.0]),                               # 100 * 6 / 6
    ("rmse", [math.sqrt(14.0 / 3.0)]),
    ("mae", [2.0]),
    ("pearson_r", [1.0]),
    ("kge_2009", [1.0 - math.sqrt(2.0), 1.0, 2.0, 2.0]),  # alpha = beta = 2
    ("kge_2012", [0.0, 1.0, 1.0, 2.0]),                   # gamma = (2 / 4) / (1 / 2) = 1
])
def test_worked_cases(name, expected):
    assert SCORES[name]([2.0, 4.0, 6.0], [1.0, 2.0, 3.0]) == expected


def test_log_nse_offset():
    # eps = mean_obs / 100 = 0.02: a zero flow is scored as ln(0.02), not as -inf.
    sim, obs = [0.0, 1.0, 5.0], [0.0, 1.0, 5.0]
    assert metrics.calculate_nse(sim, obs, True) == 1.0
    lifted = [math.log(x + 0.5) for x in obs]
    expected = metrics.calculate_nse([math.log(x + 0.5) for x in [0.5, 1.0, 4.0]], lifted)
    assert metrics.calculate_nse([0.5, 1.0, 4.0], obs, True, epsilon=0.5) == expected


def test_degenerate_series_are_not_floored():
    flat = [3.0, 3.0, 3.0]
    kge = metrics.calculate_kge_components([1.0, 2.0, 4.0], flat)
    assert math.isnan(kge.r) and kge.variability == math.inf and math.isnan(kge.kge)
    assert metrics.calculate_nse([1.0, 2.0, 4.0], flat) == -math.inf
    assert metrics.calculate_pbias([1.0, -1.0], [1.0, -1.0]) != metrics.calculate_pbias(
        [1.0, -1.0], [1.0, -1.0])  # 0 / 0


pairs = st.integers(2, 40).flatmap(lambda n: st.tuples(
    st.lists(st.floats(0.01, 1e3), min_size=n, max_size=n),
    st.lists(st.floats(0.01, 1e3), min_size=n, max_size=n)))


@settings(max_examples=150, deadline=None)
@given(pairs)
def test_matches_transcription_bit_for_bit(pair):
    sim, obs = pair
    if max(obs) - min(obs) < 1e-3 or max(sim) - min(sim) < 1e-3:
        return  # a flat series divides by zero in the transcription
    for name, score in SCORES.items():
        assert bits(score(sim, obs)) == bits(reference(name, sim, obs)), name


# --- missing values ------------------------------------------------------------------------

GAPPY_SIM = [1.0, NAN, 3.0, 2.5, 4.0, 1.5]
GAPPY_OBS = [1.5, 2.0, NAN, 2.0, 5.0, 1.0]
KEPT = [0, 3, 4, 5]


@pytest.mark.parametrize("name", SCORES)
def test_missing_rules(name):
    score = SCORES[name]
    assert all(math.isnan(x) for x in score(GAPPY_SIM, GAPPY_OBS))
    assert all(math.isnan(x) for x in score(GAPPY_SIM, GAPPY_OBS, missing="propagate"))
    kept = score([GAPPY_SIM[i] for i in KEPT], [GAPPY_OBS[i] for i in KEPT])
    assert bits(score(GAPPY_SIM, GAPPY_OBS, missing="omit")) == bits(kept)
    # Nothing left once the pairs with a gap are dropped.
    assert all(math.isnan(x) for x in score([NAN, 1.0], [2.0, NAN], missing="omit"))
    assert all(math.isnan(x) for x in score([NAN, NAN], [NAN, NAN], missing="omit"))
    with pytest.raises(ValueError, match=r"^`sim` has a missing value \(NaN\) at index 1$"):
        score(GAPPY_SIM, GAPPY_OBS, missing="raise")
    with pytest.raises(ValueError, match=r"^`obs` has a missing value \(NaN\) at index 0$"):
        score([NAN, 1.0], [NAN, 1.0], missing="raise")
    assert score([1.0, 2.0], [2.0, 1.0], missing="raise") == score([1.0, 2.0], [2.0, 1.0])
    with pytest.raises(ValueError) as info:
        score([1.0], [1.0], missing="drop")
    assert str(info.value) == "missing must be one of [\"propagate\", \"omit\", \"raise\"]; got 'drop'"


# --- peers ---------------------------------------------------------------------------------

def peer(module):
    return pytest.importorskip(module, reason=f"agreement with {module} needs it installed "
                                              f"(pip install {module})")


def random_record(seed=11, steps=3653):
    rng = np.random.default_rng(seed)
    obs = rng.gamma(2.0, 10.0, steps)
    return obs * 0.8 + rng.gamma(2.0, 5.0, steps), obs


def fulda_record():
    pytest.importorskip("spotpy", reason="the Fulda record ships inside spotpy (pip install spotpy)")
    sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "examples"))
    import fulda_chain

    record = fulda_chain.load_fulda()
    chain = fulda_chain.FuldaChain(record.rain_in, record.tmean_c, min(record.observed_m3s))
    middle = [(low + high) / 2.0 for low, high in fulda_chain.bounds()]
    return np.array(chain.discharge(middle)), np.array(record.observed_m3s)


# Where the definitions agree: (score, peer module, the peer's value from (sim, obs)). hydroeval
# returns [kge, r, alpha or gamma, beta]; HydroErr's return_all gives (r, alpha or gamma, beta,
# kge).
AGREEING = [
    ("nse", "hydroeval", lambda he, s, o: [he.evaluator(he.nse, s, o)[0]]),
    ("log_nse", "hydroeval", lambda he, s, o: [he.evaluator(he.nse, s, o, transform="log")[0]]),
    ("kge_2009", "hydroeval", lambda he, s, o: list(he.evaluator(he.kge, s, o)[:, 0])),
    ("kge_2012", "hydroeval", lambda he, s, o: list(he.evaluator(he.kgeprime, s, o)[:, 0])),
    ("rmse", "hydroeval", lambda he, s, o: [he.evaluator(he.rmse, s, o)[0]]),
    ("nse", "HydroErr", lambda he, s, o: [he.nse(s, o)]),
    ("kge_2009", "HydroErr", lambda he, s, o: list(np.roll(he.kge_2009(s, o, return_all=True), 1))),
    ("kge_2012", "HydroErr", lambda he, s, o: list(np.roll(he.kge_2012(s, o, return_all=True), 1))),
    ("rmse", "HydroErr", lambda he, s, o: [he.rmse(s, o)]),
    ("mae", "HydroErr", lambda he, s, o: [he.mae(s, o)]),
    ("pearson_r", "HydroErr", lambda he, s, o: [he.pearson_r(s, o)]),
]


@pytest.mark.parametrize("record", ["random", "random with gaps", "fulda"])
@pytest.mark.parametrize("name, module, theirs", AGREEING, ids=[f"{r[0]}-{r[1]}" for r in AGREEING])
def test_agrees_with_peers(name, module, theirs, record):
    he = peer(module)
    sim, obs = fulda_record() if record == "fulda" else random_record()
    if record == "random with gaps":
        obs[::7] = NAN  # both peers drop pairs with a NaN, as missing="omit" does
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # HydroErr warns of every NaN row it drops
        expected = theirs(he, sim, obs)
    # The bounds docs/metrics.md states: relative away from 0, absolute near it.
    assert SCORES[name](sim, obs, missing="omit") == pytest.approx(expected, rel=1e-13, abs=2e-14)


def test_where_peers_differ():
    he, hr = peer("hydroeval"), peer("HydroErr")
    sim, obs = random_record()
    # hydroeval's percent bias is 100 * sum(obs - sim) / sum(obs): the opposite sign.
    assert metrics.calculate_pbias(sim, obs) == pytest.approx(
        -he.evaluator(he.pbias, sim, obs)[0], rel=1e-12)
    # HydroErr drops infinite values as well as NaN by default; here they are values.
    sim[3] = math.inf
    assert metrics.calculate_rmse(sim, obs) == math.inf
    with pytest.warns(UserWarning):
        assert math.isfinite(hr.rmse(sim, obs))
    # Flat observations: alpha is infinite here, NaN in HydroErr.
    flat = np.full(10, 3.0)
    assert metrics.calculate_kge_components(obs[:10], flat).variability == math.inf
    with pytest.warns(UserWarning), np.errstate(all="ignore"):
        assert math.isnan(hr.kge_2009(obs[:10], flat, return_all=True)[1])
