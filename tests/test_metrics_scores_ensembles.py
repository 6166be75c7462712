"""The scores beside calculate_kge on ensembles: each member's bits, the threaded path, `out=`,
and the argument errors."""

import numpy as np
import pytest
from metrics_scores_helpers import NAN, SCORES, bits, components

from vesparil import metrics

# The ones that take `out=`, as (function, extra positional arguments).
WITH_OUT = {"nse": (metrics.calculate_nse, ()), "log_nse": (metrics.calculate_nse, (True,)),
            "pbias": (metrics.calculate_pbias, ()), "rmse": (metrics.calculate_rmse, ()),
            "mae": (metrics.calculate_mae, ()), "pearson_r": (metrics.calculate_pearson_r, ())}


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
    # ln(0 + epsilon) would make the score -inf or NaN where a flow is 0.
    *[(lambda eps=eps: metrics.calculate_nse([0.0, 1.0], [1.0, 0.0], True, epsilon=eps),
       ValueError, f"`epsilon` must be finite and > 0; got {text}")
      for eps, text in [(0.0, "0"), (-0.5, "-0.5"), (np.nan, "NaN"), (np.inf, "inf")]],
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
