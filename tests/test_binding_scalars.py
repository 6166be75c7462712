"""Value conversion, exercised through the time-series entries: time deltas (subclasses and
pandas Timedeltas among them), text, None and signed 32-bit integers."""

import os
import subprocess
import sys
from datetime import timedelta

import numpy as np
import pytest
from binding_helpers import (HOUR, ContinuousTimeSeries, HasIndex, IncrementalTimeSeries,
                             TextSubclass, index_conversion_error, rain, raised, series)

import vesparil


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
    script = "import pandas, test_binding_scalars as t; assert pandas.__version__[0] == '2'; " \
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
