"""Muskingum reach routing: vesparil.reach.run_muskingum_routing."""

import math
import warnings
from datetime import timedelta

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vesparil

ContinuousTimeSeries = vesparil.utils.ContinuousTimeSeries
IncrementalTimeSeries = vesparil.utils.IncrementalTimeSeries

route = vesparil.reach.run_muskingum_routing
HOUR = timedelta(hours=1)
X_WARNING = "`x` is outside the recommended range [0.0, 0.5]."


def flow(values, step=HOUR, kind="discharge"):
    return ContinuousTimeSeries(values, step, kind)


def ieee_div(a, b):
    try:
        return a / b
    except ZeroDivisionError:
        if math.isnan(a) or a == 0.0:
            return math.nan
        return math.copysign(math.inf, a) * math.copysign(1.0, b)


def muskingum_reference(inflow, dt, k, x, initial_outflow):
    """O[i] = C2 O[i-1] + (C0 I[i] + C1 I[i-1]), coefficients in the core's operation order."""
    out = [inflow[0] if initial_outflow is None else initial_outflow]
    two_k = k + k
    a = (1.0 - x) * two_k
    b = two_k * x
    e = dt + a
    c0, c1, c2 = ieee_div(dt - b, e), ieee_div(b + dt, e), ieee_div(a - dt, e)
    for i in range(1, len(inflow)):
        out.append(c2 * out[i - 1] + (c0 * inflow[i] + c1 * inflow[i - 1]))
    return out


def route_reference(inflow, dt, k_seconds, x, sub_reaches, initial_outflow):
    k_segment = ieee_div(k_seconds, float(sub_reaches))
    out = muskingum_reference(inflow, dt, k_segment, x, initial_outflow)
    for _ in range(1, sub_reaches):
        out = muskingum_reference(out, dt, k_segment, x, None)
    return out


def same(actual, expected):
    return len(actual) == len(expected) and all(
        a == e or (math.isnan(a) and math.isnan(e)) for a, e in zip(actual, expected)
    )


def test_hand_computed_coefficients():
    # dt = K = 3600 s, x = 0.25: 2K = 7200, a = 5400, b = 1800, E = 9000,
    # C0 = 1800/9000 = 0.2, C1 = 5400/9000 = 0.6, C2 = 1800/9000 = 0.2.
    result = route(flow([10.0, 20.0, 30.0]), HOUR, 0.25, 1, 10.0)
    o1 = 0.2 * 10.0 + (0.2 * 20.0 + 0.6 * 10.0)
    o2 = 0.2 * o1 + (0.2 * 30.0 + 0.6 * 20.0)
    assert result.data == [10.0, o1, o2]
    assert result.kind == "discharge" and result.time_step == HOUR


def test_zero_k_gives_unit_coefficients():
    # C0 = C1 = 1, C2 = -1: O[i] = I[i] + I[i-1] - O[i-1].
    assert route(flow([1.0, 3.0, 6.0, 2.0]), timedelta(0), 0.2, 1, 0.0).data == [0.0, 4.0, 5.0, 3.0]


@pytest.mark.parametrize("sub_reaches", [1, 3, 0, -2])
def test_single_value_is_initial_outflow(sub_reaches):
    assert route(flow([42.0]), HOUR, 0.2, sub_reaches, 7.5).data == [7.5]


def test_constant_inflow_stays_constant():
    result = route(flow([5.0] * 50), timedelta(hours=7), 0.3, 4, 5.0)
    assert result.data == pytest.approx([5.0] * 50, rel=1e-12)


def test_sub_reaches_equal_chained_single_reaches():
    inflow = [10.0, 40.0, 90.0, 60.0, 30.0, 15.0, 10.0]
    whole = route(flow(inflow), timedelta(hours=3), 0.2, 3, 12.0).data
    chained = route(flow(inflow), HOUR, 0.2, 1, 12.0).data
    for _ in range(2):
        chained = route(flow(chained), HOUR, 0.2, 1, chained[0]).data
    assert whole == chained
    assert whole[0] == 12.0


@pytest.mark.parametrize("k", [HOUR, timedelta(0)])
def test_zero_sub_reaches_gives_nan_after_first(k):
    result = route(flow([1.0, 2.0, 3.0]), k, 0.2, 0, 4.0).data
    assert result[0] == 4.0 and all(math.isnan(v) for v in result[1:])


def test_negative_sub_reaches_routes_one_negative_segment():
    inflow = [1.0, 5.0, 2.0, 0.5]
    result = route(flow(inflow), timedelta(hours=2), 0.1, -2, 1.0).data
    assert same(result, muskingum_reference(inflow, 3600.0, -3600.0, 0.1, 1.0))


def test_negative_outflow_passes_through():
    # dt = 60 s < 2Kx = 2880 s makes C0 negative: a sharp rise routes to a negative outflow.
    result = route(flow([0.0, 100.0], step=timedelta(minutes=1)), HOUR, 0.4, 1, 0.0).data
    assert result[1] < 0.0
    assert same(result, muskingum_reference([0.0, 100.0], 60.0, 3600.0, 0.4, 0.0))


def test_inflow_kind_ignored_and_argument_untouched():
    inflow = flow([1.0, 2.0], kind="rainfall")
    result = route(inflow, HOUR, 0.2, 2, 1.0)
    assert result.kind == "discharge"
    assert inflow.data == [1.0, 2.0] and inflow.kind == "rainfall"


@pytest.mark.parametrize("x", [0.0, -0.0, 0.25, 0.5])
def test_no_warning_inside_range(x):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        route(flow([1.0, 2.0]), HOUR, x, 1, 1.0)
    assert caught == []


@pytest.mark.parametrize("x", [0.5000001, -0.1, math.nan])
def test_warning_outside_range(x):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        result = route(flow([1.0, 2.0, 3.0]), HOUR, x, 2, 1.0).data
    assert [(w.category, str(w.message)) for w in caught] == [(UserWarning, X_WARNING)]
    assert result[0] == 1.0
    assert all(math.isnan(v) for v in result[1:]) == math.isnan(x)


def test_warning_as_error_stops_routing():
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        with pytest.raises(UserWarning) as info:
            route(flow([1.0, 2.0]), timedelta(days=-1), 0.9, 1, 1.0)
    assert type(info.value) is UserWarning and str(info.value) == X_WARNING


def test_negative_k_raises_after_warning():
    with pytest.warns(UserWarning, match=r"^`x` is outside"):
        with pytest.raises(ValueError) as info:
            route(flow([1.0, 2.0]), timedelta(seconds=-1), 0.9, 1, 1.0)
    assert not str(info.value).startswith("argument")


@pytest.mark.parametrize("sub_reaches", [1, 3])
def test_empty_inflow_is_internal_error(sub_reaches):
    with pytest.raises(BaseException) as info:
        route(flow([]), HOUR, 0.2, sub_reaches, 0.0)
    assert type(info.value).__name__ == "PanicException"
    assert not isinstance(info.value, Exception)
    assert str(info.value) == "index out of bounds: the len is 0 but the index is 0"


@pytest.mark.parametrize(
    "args, message",
    [
        ((IncrementalTimeSeries([1.0], HOUR, "discharge"), HOUR, 0.2, 1, 0.0),
         "argument 'inflow': 'IncrementalTimeSeries' object is not an instance of "
         "'ContinuousTimeSeries'"),
        ((flow([1.0]), 3600, 0.2, 1, 0.0),
         "argument 'k': 'int' object is not an instance of 'timedelta'"),
        ((flow([1.0]), None, 0.2, 1, 0.0),
         "argument 'k': 'None' is not an instance of 'timedelta'"),
        ((flow([1.0]), HOUR, "0.2", 1, 0.0), "argument 'x': "),
        # A float is refused for the integer, and is reported before a negative k.
        ((flow([1.0]), timedelta(days=-1), 0.2, 1.5, 0.0), "argument 'sub_reaches': "),
        ((flow([1.0]), HOUR, 0.2, 1, None), "argument 'initial_outflow': "),
    ],
)
def test_argument_conversion_errors(args, message):
    with pytest.raises(TypeError) as info:
        route(*args)
    assert type(info.value) is TypeError and str(info.value).startswith(message)


def test_sub_reaches_overflow_and_missing_argument():
    with pytest.raises(OverflowError):
        route(flow([1.0]), HOUR, 0.2, 2**63, 0.0)
    with pytest.raises(TypeError, match=r"^run_muskingum_routing\(\) missing 1 required "
                                        r"positional argument: 'initial_outflow'$"):
        route(flow([1.0]), HOUR, 0.2, 1)


finite = st.floats(-1e6, 1e6)


@settings(max_examples=200, deadline=None)
@given(
    inflow=st.lists(st.one_of(finite, st.just(math.nan)), min_size=1, max_size=40),
    step=st.integers(1, 86400),
    k=st.timedeltas(min_value=timedelta(0), max_value=timedelta(days=5)),
    x=st.floats(-1.0, 1.5),
    sub_reaches=st.integers(-3, 5),
    initial_outflow=finite,
)
def test_matches_reference_bit_for_bit(inflow, step, k, x, sub_reaches, initial_outflow):
    k_seconds = k.days * 86400 + k.seconds + k.microseconds * 1000 / 1e9
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        result = route(flow(inflow, timedelta(seconds=step)), k, x, sub_reaches, initial_outflow)
    expected = route_reference(inflow, float(step), k_seconds, x, sub_reaches, initial_outflow)
    assert same(result.data, expected)


def test_endless_chain_can_be_interrupted(interrupted_after):
    # 10,000 values through 10**12 sub-reaches would run for days; a pending signal stops it.
    with interrupted_after(0.2):
        route(flow([1.0] * 10_000), HOUR, 0.2, 10**12, 1.0)


def test_huge_sub_reaches_on_one_value_returns_at_once():
    assert route(flow([5.0]), HOUR, 0.2, 2**62, 3.0).data == [3.0]
