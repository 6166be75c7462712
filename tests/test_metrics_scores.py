"""The scores beside calculate_kge: formulas, the missing-value rule, ensembles, and peers."""

import math
import sys
import warnings
from pathlib import Path

import numpy as np
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from vesparil import metrics

NAN = math.nan


def bits(values):
    return np.asarray(values, dtype=np.float64).view(np.uint64).tolist()


def components(result):
    return [result.kge, result.r, result.variability, result.bias]


# name -> call returning a list of floats (the four components for the KGE).
SCORES = {
    "nse": lambda s, o, **kw: [metrics.calculate_nse(s, o, **kw)],
    "log_nse": lambda s, o, **kw: [metrics.calculate_nse(s, o, True, **kw)],
    "kge_2009": lambda s, o, **kw: components(metrics.calculate_kge_components(s, o, **kw)),
    "kge_2012": lambda s, o, **kw: components(
        metrics.calculate_kge_components(s, o, variant="2012", **kw)),
    "pbias": lambda s, o, **kw: [metrics.calculate_pbias(s, o, **kw)],
    "rmse": lambda s, o, **kw: [metrics.calculate_rmse(s, o, **kw)],
    "mae": lambda s, o, **kw: [metrics.calculate_mae(s, o, **kw)],
    "pearson_r": lambda s, o, **kw: [metrics.calculate_pearson_r(s, o, **kw)],
}
# The ones that take `out=`, as (function, extra positional arguments).
WITH_OUT = {"nse": (metrics.calculate_nse, ()), "log_nse": (metrics.calculate_nse, (True,)),
            "pbias": (metrics.calculate_pbias, ()), "rmse": (metrics.calculate_rmse, ()),
            "mae": (metrics.calculate_mae, ()), "pearson_r": (metrics.calculate_pearson_r, ())}


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


# --- ensembles -----------------------------------------------------------------------------

def ensemble(members=11, steps=51, seed=3):  # a group of eight side by side, three alone
    rng = np.random.default_rng(seed)
    obs = rng.gamma(2.0, 10.0, steps)
    sim = obs * rng.uniform(0.5, 1.5, (members, 1)) + rng.gamma(2.0, 3.0, (members, steps))
    obs[[4, 17]] = NAN
    sim[2, 9] = NAN
    sim[5, :] = NAN
    return sim, obs


@pytest.mark.parametrize("missing", ["propagate", "omit"])
@pytest.mark.parametrize("name", SCORES)
def test_each_member_has_the_bits_of_scoring_it_alone(name, missing):
    sim, obs = ensemble()
    score = SCORES[name]
    alone = [score(row, obs, missing=missing) for row in sim]
    flat = lambda result: [x for r in result for x in r]  # noqa: E731
    if name.startswith("kge"):
        variant = {"variant": "2012"} if name == "kge_2012" else {}
        batches = [metrics.calculate_kge_components(given, obs, missing=missing, **variant)
                   for given in (sim, sim.tolist(), list(sim))]
        for batch in batches:
            assert bits(flat(components(c) for c in batch)) == bits(flat(alone))
        out = np.full(4 * len(sim), -1.0)
        assert metrics.calculate_kge_components(sim, obs, missing=missing, out=out,
                                                **variant) is out
        assert bits(out) == bits(flat(alone))
        return
    function, extra = WITH_OUT[name]
    out = np.full(len(sim), -1.0)
    assert function(sim, obs, *extra, missing=missing, out=out) is out
    for batch in (function(sim, obs, *extra, missing=missing),
                  function(sim.tolist(), obs.tolist(), *extra, missing=missing),
                  function(tuple(sim), obs, *extra, missing=missing), out):
        assert bits(batch) == bits(flat(alone))


@pytest.mark.parametrize("name", ["nse", "kge_2012", "mae"])
def test_a_large_ensemble_scored_on_several_threads_has_the_bits_of_single_runs(name):
    # 600 x 3653 values: past the size from which helper threads take blocks of members.
    rng = np.random.default_rng(5)
    obs = rng.gamma(2.0, 10.0, 3653)
    sim = obs * rng.uniform(0.5, 1.5, (600, 1)) + rng.gamma(2.0, 3.0, (600, 3653))
    score = SCORES[name]
    alone = [x for row in sim for x in score(row, obs)]
    if name.startswith("kge"):
        batch = [x for c in metrics.calculate_kge_components(sim, obs, variant="2012")
                 for x in components(c)]
    else:
        batch = WITH_OUT[name][0](sim, obs)
    assert bits(batch) == bits(alone)


def test_ensemble_edges():
    sim, obs = ensemble()
    assert metrics.calculate_rmse(np.empty((0, len(obs))), obs) == []
    with pytest.raises(ValueError, match=r"^`sim` member 2 has a missing value \(NaN\) at index 9$"):
        metrics.calculate_rmse(sim, np.nan_to_num(obs), missing="raise")
    # A refused call writes nothing, even where earlier members could have been scored.
    out = np.zeros(len(sim))
    with pytest.raises(ValueError):
        metrics.calculate_rmse(sim, np.nan_to_num(obs), missing="raise", out=out)
    assert not out.any()
    # Observed gaps are dropped once for all members: a member scored with "omit" equals the
    # member scored on the kept steps.
    kept = ~np.isnan(obs)
    assert metrics.calculate_mae(sim[:1], obs, missing="omit") == [
        metrics.calculate_mae(sim[0][kept], obs[kept])]


OK = [1.0, 2.0, 3.0]
ROWS = np.array([OK, OK])


@pytest.mark.parametrize("call, error, message", [
    (lambda: metrics.calculate_nse([], []), ValueError, "`obs` must not be empty"),
    (lambda: metrics.calculate_rmse([1.0], []), ValueError, "`obs` must not be empty"),
    (lambda: metrics.calculate_mae(OK, OK[:2]), ValueError,
     "`sim` and `obs` must have the same length (3 and 2)"),
    (lambda: metrics.calculate_pbias([OK, OK[:2]], OK), ValueError,
     "`sim` member 1 and `obs` must have the same length (2 and 3)"),
    (lambda: metrics.calculate_kge_components(OK, OK, variant="2010"), ValueError,
     "variant must be one of [\"2009\", \"2012\"]; got '2010'"),
    (lambda: metrics.calculate_kge_components(OK, OK, variant=2012), TypeError,
     "argument 'variant': 'int' object is not an instance of 'str'"),
    (lambda: metrics.calculate_nse(OK, OK, epsilon=0.1), ValueError,
     "`epsilon` applies only with use_log=True"),
    (lambda: metrics.calculate_nse(OK, OK, False, "omit"), TypeError,
     "calculate_nse() takes from 2 to 3 positional arguments but 4 were given"),
    (lambda: metrics.calculate_rmse(OK, OK, "omit"), TypeError,
     "calculate_rmse() takes 2 positional arguments but 3 were given"),
    (lambda: metrics.calculate_mae(OK, OK, missing=None), TypeError,
     "argument 'missing': 'None' is not an instance of 'str'"),
    (lambda: metrics.calculate_mae("abc", OK), TypeError,
     "argument 'sim': can't extract `str` to a float vector"),
    (lambda: metrics.calculate_mae(OK, [[1.0]]), TypeError, "argument 'obs': "),
    (lambda: metrics.calculate_mae([OK, "abc"], OK), TypeError,
     "argument 'sim': can't extract `str` to a float vector"),
    (lambda: metrics.calculate_mae(ROWS, OK, out=[0.0, 0.0]), TypeError,
     "argument 'out': 'list' object is not a writable one-dimensional float64 buffer"),
    (lambda: metrics.calculate_mae(ROWS, OK, out=np.zeros(2, np.float32)), TypeError,
     "argument 'out': 'ndarray' object is not a writable one-dimensional float64 buffer"),
    (lambda: metrics.calculate_mae(ROWS, OK, out=np.zeros(3)), ValueError,
     "`out` must have one element per member of `sim` (2, not 3)"),
    (lambda: metrics.calculate_mae(OK, OK, out=np.zeros(1)), ValueError,
     "`out` is only for a two-dimensional `sim`"),
    (lambda: metrics.calculate_kge_components(ROWS, OK, out=np.zeros(2)), ValueError,
     "`out` must have four elements per member (kge, r, variability, bias) of `sim` "
     "(8, not 2)"),
])
def test_argument_errors(call, error, message):
    with pytest.raises(error) as info:
        call()
    assert type(info.value) is error and str(info.value).startswith(message)


def test_out_must_not_alias_what_is_read():
    block = np.ones((3, 4))
    for out in (block.reshape(-1)[:2], block.reshape(-1)[9:11]):  # sim's first row, then obs
        with pytest.raises(ValueError, match="^`out` must not share memory with `sim` or `obs`$"):
            metrics.calculate_rmse(block[:2], block[2], out=out)


def test_results_given_back_and_made_again_hold_their_own_numbers():
    # Dropped results are reused by later calls: each must hold only the numbers of its own call.
    obs = [1.0, 2.0, 4.0, 3.0]
    expected = {}
    for round_ in range(3):
        made = [metrics.calculate_kge_components([x * (1 + k / 10) for x in obs], obs)
                for k in range(12)]
        for k, result in enumerate(made):
            numbers = (result.kge, result.r, result.variability, result.bias)
            assert expected.setdefault(k, numbers) == numbers
            assert result.bias == pytest.approx(1 + k / 10) and type(result) is metrics.KgeComponents
        del made, result


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
    assert SCORES[name](sim, obs, missing="omit") == pytest.approx(expected, rel=1e-12)


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
