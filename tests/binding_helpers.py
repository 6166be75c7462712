"""Names, values and helpers shared by the binding's test files."""

import math
import operator
from datetime import timedelta

import pytest

import vesparil

ContinuousTimeSeries = vesparil.utils.ContinuousTimeSeries
IncrementalTimeSeries = vesparil.utils.IncrementalTimeSeries

HOUR = timedelta(hours=1)


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


class HasIndex:
    def __init__(self, value=7):
        self.value = value

    def __index__(self):
        return self.value


class TextSubclass(str):
    pass
