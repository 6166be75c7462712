"""Names and helpers shared by the time-series test files."""

import math
from datetime import timedelta

import pytest

import vesparil

ContinuousTimeSeries = vesparil.utils.ContinuousTimeSeries
IncrementalTimeSeries = vesparil.utils.IncrementalTimeSeries
KINDS = ["discharge", "rainfall", "elevation", "volume"]
KIND_LIST = '["discharge", "rainfall", "elevation", "volume"]'

HOUR = timedelta(hours=1)


def same_float(a, b):
    """Bit-level agreement up to NaN payloads: equal with equal sign, or both NaN."""
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    return a == b and math.copysign(1.0, a) == math.copysign(1.0, b)


def same_values(xs, ys):
    return len(xs) == len(ys) and all(same_float(x, y) for x, y in zip(xs, ys))


def raised(call):
    with pytest.raises(BaseException) as info:
        call()
    return info.value
