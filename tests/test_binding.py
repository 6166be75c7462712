"""Argument binding and value conversion, exercised through the time-series entries."""

import math
import operator
import os
import subprocess
import sys
from datetime import timedelta

import numpy as np
import pytest

import vesparil

ContinuousTimeSeries = vesparil.utils.ContinuousTimeSeries
IncrementalTimeSeries = vesparil.utils.IncrementalTimeSeries

HOUR = timedelta(hours=1)
NEW = "ContinuousTimeSeries.__new__()"


def series(data=(1.0, 2.0), step=HOUR, kind="discharge"):
    return ContinuousTimeSeries(list(data), step, kind)


def rain(data=(1.2, 0.6)):
    return IncrementalTimeSeries(list(data), HOUR, "rainfall")


def raised(call):
    with pytest.raises(BaseException) as info:
        call()
    return info.value


def float_conversion_error(value):
    """The interpreter's own float-conversion failure for `value` (math.isnan converts with it)."""
    return raised(lambda: math.isnan(value))


def index_conversion_error(value):
    return raised(lambda: operator.index(value))


# ---------------------------------------------------------------------------------------------
# Argument binding


BINDING_CASES = [
    # too many positional arguments, every parameter required
    (lambda: series().total_duration(1),
     "ContinuousTimeSeries.total_duration() takes 0 positional arguments but 1 was given"),
    (lambda: rain().total_duration(1, 2),
     "IncrementalTimeSeries.total_duration() takes 0 positional arguments but 2 were given"),
    (lambda: rain().disaggregate(900, 900),
     "IncrementalTimeSeries.disaggregate() takes 1 positional arguments but 2 were given"),
    (lambda: ContinuousTimeSeries([1.0], HOUR, "discharge", None),
     f"{NEW} takes 3 positional arguments but 4 were given"),
    # unknown keyword
    (lambda: ContinuousTimeSeries([1.0], HOUR, "discharge", flavour=1),
     f"{NEW} got an unexpected keyword argument 'flavour'"),
    (lambda: series().total_duration(unit="s"),
     "ContinuousTimeSeries.total_duration() got an unexpected keyword argument 'unit'"),
    # a parameter bound twice
    (lambda: ContinuousTimeSeries([1.0], HOUR, "discharge", data=[2.0]),
     f"{NEW} got multiple values for argument 'data'"),
    (lambda: rain().disaggregate(900, target_step=900),
     "IncrementalTimeSeries.disaggregate() got multiple values for argument 'target_step'"),
    # missing required parameters: one, two, three names
    (lambda: ContinuousTimeSeries([1.0], HOUR),
     f"{NEW} missing 1 required positional argument: 'kind'"),
    (lambda: ContinuousTimeSeries([1.0]),
     f"{NEW} missing 2 required positional arguments: 'time_step' and 'kind'"),
    (lambda: ContinuousTimeSeries(),
     f"{NEW} missing 3 required positional arguments: 'data', 'time_step', and 'kind'"),
    (lambda: IncrementalTimeSeries(kind="rainfall"),
     "IncrementalTimeSeries.__new__() missing 2 required positional arguments: 'data' and 'time_step'"),
    (lambda: ContinuousTimeSeries(time_step=HOUR),
     f"{NEW} missing 2 required positional arguments: 'data' and 'kind'"),
    (lambda: rain().disaggregate(),
     "IncrementalTimeSeries.disaggregate() missing 1 required positional argument: 'target_step'"),
    # check order: too many positional before keywords before missing
    (lambda: ContinuousTimeSeries(1, 2, 3, 4, bogus=1), f"{NEW} takes 3 positional arguments but 4 were given"),
    (lambda: ContinuousTimeSeries(bogus=1), f"{NEW} got an unexpected keyword argument 'bogus'"),
    (lambda: ContinuousTimeSeries([1.0], data=1, bogus=2), f"{NEW} got multiple values for argument 'data'"),
    (lambda: ContinuousTimeSeries([1.0], bogus=2, data=1), f"{NEW} got an unexpected keyword argument 'bogus'"),
    # binding comes before any conversion
    (lambda: ContinuousTimeSeries(5, 5), f"{NEW} missing 1 required positional argument: 'kind'"),
]


@pytest.mark.parametrize("call, message", BINDING_CASES)
def test_binding_messages(call, message):
    error = raised(call)
    assert type(error) is TypeError
    assert str(error) == message


# Callables with optional parameters use the "from R to N" form.
SOME_OPTIONAL = [
    ("metrics.calculate_kge", "calculate_kge()", 2, 3),
    ("metrics.calculate_nse", "calculate_nse()", 2, 3),
    ("baseflow.LinearReservoir", "LinearReservoir.__new__()", 3, 4),
    ("reservoir.reservoir_utils.ConstantDischargeInfo", "ConstantDischargeInfo.__new__()", 1, 3),
    ("reservoir.reservoir_utils.UnControlledDischargeInfo", "UnControlledDischargeInfo.__new__()", 1, 2),
]


@pytest.mark.parametrize("path, name, required, total", SOME_OPTIONAL)
@pytest.mark.parametrize("extra", [1, 2])
def test_too_many_positional_with_optional_parameters(entry, path, name, required, total, extra):
    target = entry(path)
    given = total + extra
    error = raised(lambda: target(*([None] * given)))
    assert type(error) is TypeError
    assert str(error) == f"{name} takes from {required} to {total} positional arguments but {given} were given"


def test_all_keyword_call_binds():
    made = ContinuousTimeSeries(kind="elevation", time_step=HOUR, data=[3.0])
    assert (made.data, made.time_step, made.kind) == ([3.0], HOUR, "elevation")
    assert rain().disaggregate(target_step=1800).time_step == timedelta(minutes=30)


# ---------------------------------------------------------------------------------------------
# Argument-conversion errors


class FloatRaisesChainedTypeError:
    cause = KeyError("inner")

    def __float__(self):
        raise TypeError("no float here") from self.cause


class MyTypeError(TypeError):
    pass


class FloatRaisesTypeErrorSubclass:
    def __float__(self):
        raise MyTypeError("subclass of TypeError")


class FloatRaisesValueError:
    def __float__(self):
        raise ValueError("not a number at all")


def test_exact_type_error_is_wrapped_and_keeps_its_cause():
    error = raised(lambda: series([1.0, FloatRaisesChainedTypeError()]))
    assert type(error) is TypeError
    assert str(error) == "argument 'data': no float here"
    assert error.__cause__ is FloatRaisesChainedTypeError.cause


def test_wrapped_error_without_cause_has_none():
    error = raised(lambda: series(["x"]))
    assert type(error) is TypeError
    assert str(error) == f"argument 'data': {float_conversion_error('x')}"
    assert error.__cause__ is None


@pytest.mark.parametrize(
    "element, kind, message",
    [
        (FloatRaisesTypeErrorSubclass(), MyTypeError, "subclass of TypeError"),
        (FloatRaisesValueError(), ValueError, "not a number at all"),
        (10**400, OverflowError, str(float_conversion_error(10**400))),
    ],
)
def test_other_conversion_errors_are_not_wrapped(element, kind, message):
    error = raised(lambda: series([element]))
    assert type(error) is kind
    assert str(error) == message


# ---------------------------------------------------------------------------------------------
# Float vectors


class IndexOnly:
    """A sequence by __getitem__ and __len__ only: iterated by index until IndexError."""

    def __init__(self, values, length=None):
        self.values = values
        self.length = len(values) if length is None else length

    def __len__(self):
        if isinstance(self.length, Exception):
            raise self.length
        return self.length

    def __getitem__(self, i):
        return self.values[i]


class ReversedList(list):
    def __iter__(self):
        return iter(list.__getitem__(self, slice(None, None, -1)))


class HasIndex:
    def __init__(self, value=7):
        self.value = value

    def __index__(self):
        return self.value


@pytest.mark.parametrize(
    "data, expected",
    [
        ([1.5, -2.0], [1.5, -2.0]),
        ((1.5, -2.0), [1.5, -2.0]),
        ([True, False, 3, 2.5], [1.0, 0.0, 3.0, 2.5]),
        ([HasIndex(), np.float64(0.25), np.int32(4)], [7.0, 0.25, 4.0]),
        (range(3), [0.0, 1.0, 2.0]),
        (IndexOnly([1.0, 2.0, 3.0]), [1.0, 2.0, 3.0]),
        (IndexOnly([1.0, 2.0, 3.0], length=100), [1.0, 2.0, 3.0]),  # len() too large
        (IndexOnly([1.0, 2.0, 3.0], length=0), [1.0, 2.0, 3.0]),  # len() too small
        (IndexOnly([1.0, 2.0], length=RuntimeError("no len")), [1.0, 2.0]),
        (ReversedList([1.0, 2.0, 3.0]), [3.0, 2.0, 1.0]),  # iteration order decides
        (np.array([0.5, 1.5, -3.0]), [0.5, 1.5, -3.0]),
        (np.arange(4), [0.0, 1.0, 2.0, 3.0]),
        (np.array([0.1, 0.2], dtype=np.float32), [float(np.float32(0.1)), float(np.float32(0.2))]),
        (np.array([1.0, 2.0, 3.0, 4.0, 5.0])[::2], [1.0, 3.0, 5.0]),  # strided view
        (np.array([1.5, 2.5], dtype=">f8"), [1.5, 2.5]),  # byte-swapped
        (np.array([[1.0, 2.0], [3.0, 4.0]])[:, 1], [2.0, 4.0]),
        ([], []),
    ],
)
def test_float_vector_accepted(data, expected):
    made = ContinuousTimeSeries(data, HOUR, "discharge")
    assert made.data == expected
    assert all(type(value) is float for value in made.data)


def test_failing_len_leaves_no_pending_error():
    made = ContinuousTimeSeries(IndexOnly([4.0], length=RuntimeError("no len")), HOUR, "volume")
    # A stale error would surface in the next call into the interpreter.
    assert made.total_duration() == 0
    assert made.data == [4.0]


class Recording:
    def __init__(self, values):
        self.values = values
        self.fetched = []

    def __len__(self):
        return len(self.values)

    def __getitem__(self, i):
        self.fetched.append(i)
        return self.values[i]


def test_first_bad_element_stops_conversion():
    data = Recording([1.0, "bad", 3.0])
    error = raised(lambda: ContinuousTimeSeries(data, HOUR, "discharge"))
    assert str(error) == f"argument 'data': {float_conversion_error('bad')}"
    assert data.fetched == [0, 1]


class IterationFault(LookupError):
    pass


class FailsByIndex:
    """Two items by __getitem__ alone; fetching the second raises `error`."""

    def __init__(self, error):
        self.error = error

    def __len__(self):
        return 2

    def __getitem__(self, i):
        if i == 1:
            raise self.error
        return 1.0


class FailsInIter(FailsByIndex):
    def __iter__(self):
        raise self.error


class FailsInNext(FailsByIndex):
    def __iter__(self):
        yield 1.0
        raise self.error


@pytest.mark.parametrize("sequence", [FailsByIndex, FailsInIter, FailsInNext])
@pytest.mark.parametrize("error", [IterationFault("no more"), RuntimeError("gone")],
                         ids=["LookupError subclass", "RuntimeError"])
def test_iteration_error_surfaces_unchanged(sequence, error):
    assert raised(lambda: ContinuousTimeSeries(sequence(error), HOUR, "discharge")) is error


class TextSubclass(str):
    pass


@pytest.mark.parametrize("data", ["abc", "", TextSubclass("12")])
def test_float_vector_refuses_text(data):
    error = raised(lambda: ContinuousTimeSeries(data, HOUR, "discharge"))
    assert type(error) is TypeError
    assert str(error) == "argument 'data': can't extract `str` to a float vector"
    assert "str" in str(error)


@pytest.mark.parametrize(
    "data, type_name",
    [(5, "int"), (2.5, "float"), ({1: 2.0}, "dict"), ({1.0}, "set"), (iter([1.0]), "list_iterator")],
)
def test_float_vector_refuses_non_sequences(data, type_name):
    error = raised(lambda: ContinuousTimeSeries(data, HOUR, "discharge"))
    assert type(error) is TypeError
    assert str(error) == f"argument 'data': '{type_name}' object is not an instance of 'Sequence'"


def test_float_vector_refuses_none():
    error = raised(lambda: ContinuousTimeSeries(None, HOUR, "discharge"))
    assert str(error) == "argument 'data': 'None' is not an instance of 'Sequence'"


def test_two_dimensional_array_fails_on_its_rows():
    rows = np.zeros((2, 2))
    error = raised(lambda: ContinuousTimeSeries(rows, HOUR, "discharge"))
    assert type(error) is TypeError
    assert str(error) == f"argument 'data': {float_conversion_error(rows[0])}"


# ---------------------------------------------------------------------------------------------
# Time deltas, text and None


class Delta(timedelta):
    pass


class Outer:
    class Inner:
        pass


def test_timedelta_subclass_accepted():
    made = ContinuousTimeSeries([1.0], Delta(hours=2), "discharge")
    assert made.time_step == timedelta(hours=2)
    assert type(made.time_step) is timedelta


class FieldlessDelta(timedelta):
    """A timedelta subclass whose own fields stay zero while its attributes hold the duration,
    as a pandas 2 Timedelta of a unit other than nanoseconds does."""

    def __new__(cls, real):
        made = super().__new__(cls)
        made.real = real
        return made

    days = property(lambda self: self.real.days)
    seconds = property(lambda self: self.real.seconds)
    microseconds = property(lambda self: self.real.microseconds)


def _rain(step):
    return IncrementalTimeSeries([0.4, 0.8, 0.0, 0.0], step, "rainfall")


def _flow(step):
    return ContinuousTimeSeries([1.0, 9.0, 4.0, 2.0, 1.0], step, "discharge")


# Every duration and time-step argument, called with the duration `d`.
DURATION_ARGUMENTS = {
    "ContinuousTimeSeries time_step": lambda d: _flow(d).time_step,
    "IncrementalTimeSeries time_step": lambda d: _rain(d).time_step,
    "run_clark_uh tc": lambda d: vesparil.rainfall_transform.run_clark_uh(
        _rain(HOUR), 100.0, d, HOUR).data,
    "run_clark_uh storage_r": lambda d: vesparil.rainfall_transform.run_clark_uh(
        _rain(HOUR), 100.0, 2 * HOUR, d).data,
    "run_muskingum_routing k": lambda d: vesparil.reach.run_muskingum_routing(
        _flow(HOUR), d, 0.2, 1, 1.0).data,
    "run_deficit_and_constant time_to_dry": lambda d: vesparil.rainfall_loss.
        run_deficit_and_constant(_rain(HOUR), 0.1, 1.0, 0.05, d).deficit.data,
    "LinearReservoir k_duration": lambda d: vesparil.baseflow.LinearReservoir(
        d, 0.5, 1.0).k_duration,
}


@pytest.mark.parametrize("call", DURATION_ARGUMENTS.values(), ids=DURATION_ARGUMENTS.keys())
@pytest.mark.parametrize("real", [timedelta(hours=1, microseconds=500), timedelta(days=2, hours=3)])
def test_timedelta_subclass_read_through_its_own_fields(call, real):
    assert call(FieldlessDelta(real)) == call(real)


def test_timedelta_subclass_fields_must_be_valid():
    class Broken(FieldlessDelta):
        seconds = property(lambda self: 90000)

    with pytest.raises(ValueError, match="days=0, seconds=90000, microseconds=0"):
        series(step=Broken(HOUR))


def check_pandas_timedelta_of_any_unit():
    import pandas as pd

    for step in (pd.Timedelta(1, "h").as_unit("s"), pd.Timedelta(pd.tseries.frequencies.to_offset("h"))):
        for name, call in DURATION_ARGUMENTS.items():
            assert call(step) == call(HOUR), name


def test_pandas_timedelta_of_any_unit():
    pytest.importorskip("pandas", reason="pandas is not installed")
    check_pandas_timedelta_of_any_unit()


def test_pandas_2_timedelta_of_any_unit():
    """pandas 2 is the version whose Timedelta leaves the timedelta fields at zero; run_tests.sh
    installs it apart from the suite's own pandas and names it in VESPARIL_PANDAS2."""
    path = os.environ.get("VESPARIL_PANDAS2")
    if not path:
        pytest.skip("VESPARIL_PANDAS2 names no pandas 2 installation (run_tests.sh makes one)")
    script = "import pandas, test_binding as t; assert pandas.__version__[0] == '2'; " \
             "t.check_pandas_timedelta_of_any_unit()"
    env = dict(os.environ, PYTHONPATH=os.pathsep.join([path, os.path.dirname(__file__)]))
    subprocess.run([sys.executable, "-c", script], env=env, check=True)


@pytest.mark.parametrize(
    "step, message",
    [
        (None, "'None' is not an instance of 'timedelta'"),
        (3600, "'int' object is not an instance of 'timedelta'"),
        (3600.0, "'float' object is not an instance of 'timedelta'"),
        (np.timedelta64(3600, "s"), "'timedelta64' object is not an instance of 'timedelta'"),
        (Outer.Inner(), "'Outer.Inner' object is not an instance of 'timedelta'"),
    ],
)
def test_time_step_type_errors(step, message):
    error = raised(lambda: ContinuousTimeSeries([1.0], step, "discharge"))
    assert type(error) is TypeError
    assert str(error) == f"argument 'time_step': {message}"


@pytest.mark.parametrize(
    "kind, message",
    [
        (None, "'None' is not an instance of 'str'"),
        (b"discharge", "'bytes' object is not an instance of 'str'"),
        (1, "'int' object is not an instance of 'str'"),
    ],
)
def test_kind_type_errors(kind, message):
    error = raised(lambda: ContinuousTimeSeries([1.0], HOUR, kind))
    assert type(error) is TypeError
    assert str(error) == f"argument 'kind': {message}"


def test_str_subclass_accepted_as_text():
    made = ContinuousTimeSeries([1.0], HOUR, TextSubclass("rainfall"))
    assert made.kind == "rainfall"
    assert type(made.kind) is str


def test_text_that_cannot_be_utf8_raises_the_encoding_error_unwrapped():
    error = raised(lambda: ContinuousTimeSeries([1.0], HOUR, "dis\ud800charge"))
    assert type(error) is UnicodeEncodeError
    assert not str(error).startswith("argument")


@pytest.mark.parametrize("step", [timedelta(hours=-1), timedelta(microseconds=-1), Delta(days=-3)])
def test_negative_timedelta_is_an_unwrapped_value_error(step):
    error = raised(lambda: ContinuousTimeSeries([1.0], step, "discharge"))
    assert type(error) is ValueError
    assert "negative" in str(error)
    assert not str(error).startswith("argument")


def test_negative_timedelta_reported_after_conversion_errors():
    error = raised(lambda: ContinuousTimeSeries([1.0], timedelta(hours=-1), None))
    assert str(error) == "argument 'kind': 'None' is not an instance of 'str'"


# ---------------------------------------------------------------------------------------------
# Signed 32-bit integers


@pytest.mark.parametrize("target", [2**31, 2**100, -(2**31) - 1, -(2**100)])
def test_integer_out_of_32_bit_range_is_overflow(target):
    error = raised(lambda: rain().disaggregate(target))
    assert type(error) is OverflowError


@pytest.mark.parametrize(
    "target, message",
    [
        (2**31 - 1, "Original time_step (3600) must be a multiple of target_step (2147483647)."),
        (-(2**31), "target_step must be >= 30 seconds."),
        (True, "target_step must be >= 30 seconds."),
    ],
)
def test_integer_range_limits_convert(target, message):
    error = raised(lambda: rain().disaggregate(target))
    assert type(error) is ValueError
    assert str(error) == message


@pytest.mark.parametrize("target", [30.0, "900", None, timedelta(minutes=15), np.float64(900.0)])
def test_non_integer_target_step_is_wrapped_type_error(target):
    error = raised(lambda: rain().disaggregate(target))
    assert type(error) is TypeError
    assert str(error) == f"argument 'target_step': {index_conversion_error(target)}"


@pytest.mark.parametrize("target", [HasIndex(900), np.int64(900), np.int16(900)])
def test_integer_like_target_step_accepted(target):
    assert rain([2.0]).disaggregate(target).time_step == timedelta(minutes=15)


def test_dict_subclasses_of_components_keep_their_order():
    from collections import OrderedDict

    layers = [("fast", vesparil.baseflow.LinearReservoir(timedelta(hours=20), 0.4, 1.0)),
              ("slow", vesparil.baseflow.LinearReservoir(timedelta(hours=90), 0.3, 2.0, 2))]
    run = vesparil.baseflow.run_linear_reservoir
    rain = IncrementalTimeSeries([0.3, 0.0, 0.5, 0.1], HOUR, "rainfall")
    total, by_layer = run(100.0, rain, OrderedDict(layers))
    expected_total, expected = run(100.0, rain, dict(layers))
    assert (total.data, list(by_layer)) == (expected_total.data, ["fast", "slow"])

    ru = vesparil.reservoir.reservoir_utils
    outlets = [("weir", ru.UnControlledDischargeInfo(ru.ElevationDischarge([100.0, 110.0], [0.0, 50.0]))),
               ("pass", ru.ConstantDischargeInfo(1.0))]
    curve = ru.ElevationStorage([100.0, 110.0], [0.0, 1.0e6])
    inflow = ContinuousTimeSeries([5.0, 30.0, 10.0], HOUR, "discharge")
    pool = vesparil.reservoir.run_level_pool_routing
    routed = pool(inflow, 101.0, curve, OrderedDict(outlets))
    assert list(routed.reservoir_individual_outflows) == ["weir", "pass"]
    assert routed.reservoir_total_outflow.data == pool(inflow, 101.0, curve,
                                                       dict(outlets)).reservoir_total_outflow.data
