"""Time-series classes: construction, attributes, total_duration, and subclasses as arguments
of other entries."""

import math
from datetime import timedelta

import pytest
from time_series_helpers import (HOUR, KIND_LIST, KINDS, ContinuousTimeSeries,
                                 IncrementalTimeSeries, raised, same_values)

SERIES_CLASSES = [ContinuousTimeSeries, IncrementalTimeSeries]
I32_MAX = 2**31 - 1


# ---------------------------------------------------------------------------------------------
# Constructor


@pytest.mark.parametrize("cls", SERIES_CLASSES)
@pytest.mark.parametrize("kind", KINDS)
def test_every_kind_word_accepted(cls, kind):
    made = cls([1.0, 2.0], HOUR, kind)
    assert type(made) is cls
    assert made.kind == kind
    assert made.data == [1.0, 2.0]
    assert made.time_step == HOUR


@pytest.mark.parametrize("kind", ["Discharge", "flow", "", " volume", "volume ", "VOLUME", "rain fall"])
@pytest.mark.parametrize("cls", SERIES_CLASSES)
def test_unknown_kind_word(cls, kind):
    error = raised(lambda: cls([1.0], HOUR, kind))
    assert type(error) is ValueError
    assert str(error) == f"kind must be one of {KIND_LIST}; got '{kind}'"


def test_unknown_kind_message_literally():
    error = raised(lambda: ContinuousTimeSeries([1.0], HOUR, "flow"))
    assert str(error) == 'kind must be one of ["discharge", "rainfall", "elevation", "volume"]; got \'flow\''


# Each row fails two or more checks; only the first in the constructor's order is reported.
ORDER_CASES = [
    ((5, 5, 5), TypeError, "argument 'data': 'int' object is not an instance of 'Sequence'"),
    (([1.0], 5, 5), TypeError, "argument 'time_step': 'int' object is not an instance of 'timedelta'"),
    (([1.0], timedelta(seconds=0), 5), TypeError, "argument 'kind': 'int' object is not an instance of 'str'"),
    (([1.0], timedelta(hours=-1), "flow"), ValueError, f"kind must be one of {KIND_LIST}; got 'flow'"),
    (([1.0], timedelta(seconds=0.5), "flow"), ValueError, f"kind must be one of {KIND_LIST}; got 'flow'"),
    (([1.0], timedelta(0), "volume"), ValueError, "time_step must be > 0"),
]


@pytest.mark.parametrize("cls", SERIES_CLASSES)
@pytest.mark.parametrize("args, kind, message", ORDER_CASES)
def test_constructor_check_order(cls, args, kind, message):
    error = raised(lambda: cls(*args))
    assert type(error) is kind
    assert str(error) == message


def test_negative_step_fails_in_duration_conversion():
    error = raised(lambda: ContinuousTimeSeries([1.0], timedelta(seconds=-5), "volume"))
    assert type(error) is ValueError
    assert str(error) != "time_step must be > 0"


@pytest.mark.parametrize(
    "step",
    [timedelta(0), timedelta(microseconds=1), timedelta(seconds=0.5), timedelta(microseconds=999999)],
)
def test_step_below_one_second_refused(step):
    error = raised(lambda: ContinuousTimeSeries([1.0], step, "discharge"))
    assert type(error) is ValueError
    assert str(error) == "time_step must be > 0"


@pytest.mark.parametrize(
    "step, seconds",
    [
        (timedelta(seconds=1), 1),
        (timedelta(seconds=1.9), 1),  # 1 + 900000000 / 1e9 = 1.9, truncated
        (timedelta(seconds=3599, microseconds=999999), 3599),
        (timedelta(days=2), 172800),
        (timedelta(seconds=90000), 90000),
        (timedelta(seconds=I32_MAX - 1, microseconds=500000), I32_MAX - 1),
        (timedelta(seconds=I32_MAX), I32_MAX),
        (timedelta(seconds=I32_MAX + 1), I32_MAX),  # saturates
        (timedelta(days=30000), I32_MAX),  # 2592000000 s saturates
        (timedelta.max, I32_MAX),
    ],
)
def test_time_step_truncation_and_saturation(step, seconds):
    for cls in SERIES_CLASSES:
        made = cls([1.0], step, "discharge")
        assert made.time_step == timedelta(seconds=seconds)
        assert made.time_step.microseconds == 0
        assert type(made.time_step) is timedelta


def test_time_step_reads_back_normalised():
    step = ContinuousTimeSeries([], timedelta(seconds=90000), "volume").time_step
    assert (step.days, step.seconds, step.microseconds) == (1, 3600, 0)
    step = ContinuousTimeSeries([], timedelta(days=30000), "volume").time_step
    # 2147483647 = 24855 * 86400 + 11647
    assert (step.days, step.seconds, step.microseconds) == (24855, 11647, 0)


@pytest.mark.parametrize("cls", SERIES_CLASSES)
def test_data_kept_bit_for_bit(cls):
    values = [0.0, -0.0, math.nan, math.inf, -math.inf, 5e-324, -1.5, 1.7976931348623157e308]
    made = cls(values, HOUR, "volume")
    assert same_values(made.data, values)
    assert cls([], HOUR, "volume").data == []


# ---------------------------------------------------------------------------------------------
# Attributes


@pytest.mark.parametrize("cls", SERIES_CLASSES)
def test_attribute_reads_are_fresh_copies(cls):
    source = [1.0, 2.0, 3.0]
    made = cls(source, HOUR, "rainfall")
    source.append(4.0)
    first = made.data
    second = made.data
    assert first == second == [1.0, 2.0, 3.0]
    assert first is not second
    first[0] = 99.0
    first.clear()
    assert made.data == [1.0, 2.0, 3.0]


@pytest.mark.parametrize("cls", SERIES_CLASSES)
@pytest.mark.parametrize("name, value", [("data", [0.0]), ("kind", "volume"), ("time_step", HOUR)])
def test_attributes_are_read_only(cls, name, value):
    made = cls([1.0], HOUR, "discharge")
    with pytest.raises(AttributeError):
        setattr(made, name, value)
    with pytest.raises(AttributeError):
        delattr(made, name)
    assert (made.data, made.kind, made.time_step) == ([1.0], "discharge", HOUR)


# ---------------------------------------------------------------------------------------------
# total_duration


@pytest.mark.parametrize(
    "cls, data, step, expected",
    [
        (ContinuousTimeSeries, [0, 10, 20], HOUR, 7200),
        (IncrementalTimeSeries, [0, 10, 20], HOUR, 10800),
        (ContinuousTimeSeries, [5.0], HOUR, 0),
        (IncrementalTimeSeries, [5.0], HOUR, 3600),
        (IncrementalTimeSeries, [], HOUR, 0),
        # products formed in 64 bits: 2 * 2147483647 and 3 * 2147483647
        (ContinuousTimeSeries, [1.0, 2.0, 3.0], timedelta(days=30000), 4294967294),
        (IncrementalTimeSeries, [1.0, 2.0, 3.0], timedelta(days=30000), 6442450941),
    ],
)
def test_total_duration(cls, data, step, expected):
    result = cls(data, step, "discharge").total_duration()
    assert type(result) is int
    assert result == expected


def test_total_duration_of_a_subclass_instance():
    class Sub(IncrementalTimeSeries):
        pass

    made = Sub([1.0, 2.0], timedelta(minutes=5), "rainfall")
    assert type(made) is Sub
    assert made.total_duration() == 600


# ---------------------------------------------------------------------------------------------
# Python subclasses as arguments of other entries


def test_subclass_instance_accepted_as_inflow(entry):
    route = entry("reach.run_muskingum_routing")

    class Sub(ContinuousTimeSeries):
        pass

    values = [10.0, 30.0, 20.0, 10.0]
    from_sub = route(Sub(values, HOUR, "discharge"), timedelta(hours=2), 0.2, 1, 10.0)
    from_base = route(ContinuousTimeSeries(values, HOUR, "discharge"), timedelta(hours=2), 0.2, 1, 10.0)
    assert type(from_sub) is ContinuousTimeSeries
    assert same_values(from_sub.data, from_base.data)


@pytest.mark.parametrize(
    "inflow, message",
    [
        (IncrementalTimeSeries([1.0], HOUR, "discharge"),
         "'IncrementalTimeSeries' object is not an instance of 'ContinuousTimeSeries'"),
        (None, "'None' is not an instance of 'ContinuousTimeSeries'"),
    ],
)
def test_other_objects_refused_as_inflow(entry, inflow, message):
    route = entry("reach.run_muskingum_routing")
    error = raised(lambda: route(inflow, HOUR, 0.2, 1, 1.0))
    assert type(error) is TypeError
    assert str(error) == f"argument 'inflow': {message}"
