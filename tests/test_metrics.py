"""Kling-Gupta efficiency."""

import math

import numpy as np
import pytest
from hypothesis import assume, given, settings
from hypothesis import strategies as st

from vesparil import metrics

calculate_kge = metrics.calculate_kge


def log_shift(x):
    """ln(x + 1e-6) with the C library's answers where math.log would raise."""
    v = x + 1e-6
    if v == 0.0:
        return -math.inf
    if v < 0.0:
        return math.nan
    return math.log(v)


def reference_kge(sim, obs, use_log=False):
    """Sequential transcription: index-order sums, floors at 1e-6, terms bias + corr + var."""
    if use_log:
        sim = [log_shift(x) for x in sim]
        obs = [log_shift(x) for x in obs]
    n = float(len(obs))
    sum_sim = 0.0
    for x in sim:
        sum_sim += x
    sum_obs = 0.0
    for x in obs:
        sum_obs += x
    mean_sim = sum_sim / n
    mean_obs = sum_obs / n
    s_so = s_ss = s_oo = 0.0
    for s, o in zip(sim, obs):
        ds = s - mean_sim
        do = o - mean_obs
        s_so += ds * do
        s_ss += ds * ds
        s_oo += do * do
    d = math.sqrt(s_oo * s_ss)
    corr_term = 1.0 if d < 1e-6 else (s_so / d - 1.0) * (s_so / d - 1.0)
    beta = mean_sim / (1e-6 if abs(mean_obs) < 1e-6 else mean_obs)
    std_obs = math.sqrt(s_oo / n)
    std_sim = math.sqrt(s_ss / n)
    gamma = std_sim / (1e-6 if std_obs < 1e-6 else std_obs)
    bias_term = (beta - 1.0) * (beta - 1.0)
    variability_term = (gamma - 1.0) * (gamma - 1.0)
    return 1.0 - math.sqrt((bias_term + corr_term) + variability_term)


def same_float(a, b):
    return (math.isnan(a) and math.isnan(b)) or a == b


@pytest.mark.parametrize(
    "sim, obs, use_log, expected",
    [
        ([1, 2, 3], [1, 2, 3], False, 1.0),
        ([1, 2, 3], [1, 2, 3], True, 1.0),
        # r = 1, beta = gamma = 2: 1 - sqrt(1 + 0 + 1).
        ([2, 4, 6], [1, 2, 3], False, -0.41421356237309515),
        # Flat observations: the correlation term is 1, beta = 0 or 2 and gamma = 0 (all terms 1).
        ([0, 0, 0], [0, 0, 0], False, -0.7320508075688772),
        ([2], [1], False, -0.7320508075688772),
    ],
)
def test_worked_cases(sim, obs, use_log, expected):
    assert calculate_kge(sim, obs, use_log) == expected


def test_flat_observations_floor_the_variability_divisor():
    # sim [1, 2, 3]: mean 2, sum of squared deviations 2, std sqrt(2/3); std_obs 0 -> 1e-6.
    gamma = math.sqrt(2.0 / 3.0) / 1e-6
    expected = 1.0 - math.sqrt((1.0 + 1.0) + (gamma - 1.0) * (gamma - 1.0))
    result = calculate_kge([1.0, 2.0, 3.0], [1.0, 1.0, 1.0])
    assert result == expected
    assert result == pytest.approx(-816494.58, abs=0.01)


def test_log_transform_is_ln_of_x_plus_1e_6():
    ln_zero = -13.815510557964274  # ln(1e-6)
    sim_log = [ln_zero, ln_zero, math.log(1.0 + 1e-6)]
    obs_log = [math.log(1.0 + 1e-6), math.log(2.0 + 1e-6), math.log(3.0 + 1e-6)]
    expected = calculate_kge(sim_log, obs_log)
    assert calculate_kge([0.0, 0.0, 1.0], [1.0, 2.0, 3.0], use_log=True) == expected


@pytest.mark.parametrize("bad", [-1.0, -1e-6])
def test_log_of_non_positive_gives_nan(bad):
    assert math.isnan(calculate_kge([bad, 1.0, 2.0], [1.0, 2.0, 3.0], use_log=True))


def test_non_finite_values_flow_through():
    assert math.isnan(calculate_kge([math.nan, 1.0], [1.0, 2.0]))
    assert math.isnan(calculate_kge([1.0, 2.0], [math.inf, 2.0]))


@pytest.mark.parametrize(
    "sim, obs, message",
    [
        ([], [], "Observed series is empty."),
        ([1.0], [], "Observed series is empty."),
        ([], [1.0], "Series length mismatch."),
        ([1.0, 2.0], [1.0], "Series length mismatch."),
    ],
)
def test_value_errors(sim, obs, message):
    with pytest.raises(ValueError) as info:
        calculate_kge(sim, obs)
    assert str(info.value) == message


@pytest.mark.parametrize(
    "kwargs, message",
    [
        (dict(sim=[1.0], obs=[1.0], use_log=1),
         "argument 'use_log': 'int' object is not an instance of 'bool'"),
        (dict(sim=[1.0], obs=[1.0], use_log=None),
         "argument 'use_log': 'None' is not an instance of 'bool'"),
        (dict(sim=[1.0], obs=5, use_log=False),
         "argument 'obs': 'int' object is not an instance of 'Sequence'"),
        (dict(sim="abc", obs=[1.0], use_log=False), "argument 'sim': "),
        (dict(sim=[1.0, "x"], obs=[1.0, 2.0], use_log=False), "argument 'sim': "),
        # Conversion errors come before the emptiness check.
        (dict(sim=[1.0], obs=[], use_log=0), "argument 'use_log': "),
    ],
)
def test_argument_errors(kwargs, message):
    with pytest.raises(TypeError) as info:
        calculate_kge(**kwargs)
    assert str(info.value).startswith(message)


def test_accepts_any_float_sequence():
    expected = calculate_kge([1.0, 2.5, 4.0], [1.5, 2.0, 3.5])
    as_tuple = calculate_kge((1, 2.5, 4), np.array([1.5, 2.0, 3.5]), use_log=np.bool_(False))
    as_keywords = calculate_kge(sim=np.array([1.0, 2.5, 4.0]), obs=[1.5, 2, 3.5], use_log=False)
    assert as_tuple == expected and as_keywords == expected


def test_arguments_are_not_changed():
    sim, obs = [1.0, 2.0, 4.0], [1.0, 3.0, 2.0]
    calculate_kge(sim, obs, use_log=True)
    assert sim == [1.0, 2.0, 4.0] and obs == [1.0, 3.0, 2.0]


def equal_length_pairs(element):
    return st.integers(1, 60).flatmap(
        lambda n: st.tuples(
            st.lists(element, min_size=n, max_size=n), st.lists(element, min_size=n, max_size=n)
        )
    )


# Ordinary flows exercise the rounding of every step; the full float range exercises the
# floors and the NaN and infinity paths.
@settings(max_examples=500, deadline=None)
@given(equal_length_pairs(st.floats(0.0, 1e3)), st.booleans())
def test_matches_sequential_transcription_bit_for_bit(pair, use_log):
    sim, obs = pair
    assert calculate_kge(sim, obs, use_log) == reference_kge(sim, obs, use_log)


@settings(max_examples=300, deadline=None)
@given(equal_length_pairs(st.one_of(st.floats(-1e3, 1e4), st.floats(width=64))), st.booleans())
def test_matches_transcription_over_the_whole_float_range(pair, use_log):
    sim, obs = pair
    assert same_float(calculate_kge(sim, obs, use_log), reference_kge(sim, obs, use_log))


@settings(max_examples=100, deadline=None)
@given(st.lists(st.floats(1.0, 100.0), min_size=2, max_size=60), st.booleans())
def test_perfect_simulation_scores_exactly_one(values, use_log):
    # Away from the floors every ratio is x / x, and sqrt(fl(x * x)) == x makes r exactly 1.
    assume(max(values) - min(values) >= 1.0)
    assert calculate_kge(values, values, use_log) == 1.0
