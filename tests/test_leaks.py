"""Repeated calls leave the process's memory and the arguments' reference counts unchanged.

Each entry is called CALLS times after a warm-up. A leak of one small object per call shows as
about CALLS allocated blocks; a leaked copy of the data vector or of a result shows in the
resident set size well beyond the slack. Entries of submodules that are not registered yet are
skipped; model functions are added to ENTRIES as (name, path, build).
"""

import gc
import os
import sys
from datetime import timedelta

import pytest

CALLS = 100_000
WARM_UP = 2_000
RSS_SLACK_BYTES = 4 * 1024 * 1024
BLOCK_SLACK = CALLS // 20

HOUR = timedelta(hours=1)
DATA = [float(i) * 0.5 for i in range(16)]


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def swallow(call, expected):
    def failing():
        try:
            call()
        except expected:
            return
        raise AssertionError("the call was expected to fail")

    return failing


class BadElement:
    def __float__(self):
        raise TypeError("no float here") from KeyError("inner")


BAD_DATA = [1.0, BadElement()]


# Each build takes the resolved object and returns (call, objects whose reference counts must
# not change).
def build_constructor(cls):
    return lambda: cls(DATA, HOUR, "discharge"), [cls, DATA, HOUR]


def build_read(attribute):
    def build(cls):
        series = cls(DATA, HOUR, "discharge")
        return lambda: getattr(series, attribute), [cls, series]

    return build


def build_method(method, *args, fails_with=None):
    def build(cls):
        series = cls(DATA, HOUR, "rainfall")
        bound = getattr(series, method)
        call = lambda: bound(*args)  # noqa: E731
        if fails_with is not None:
            call = swallow(call, fails_with)
        return call, [cls, series]

    return build


ENTRIES = [
    ("ContinuousTimeSeries()", "utils.ContinuousTimeSeries", build_constructor),
    ("IncrementalTimeSeries()", "utils.IncrementalTimeSeries", build_constructor),
    ("ContinuousTimeSeries.data", "utils.ContinuousTimeSeries", build_read("data")),
    ("ContinuousTimeSeries.kind", "utils.ContinuousTimeSeries", build_read("kind")),
    ("IncrementalTimeSeries.time_step", "utils.IncrementalTimeSeries", build_read("time_step")),
    ("ContinuousTimeSeries.total_duration", "utils.ContinuousTimeSeries", build_method("total_duration")),
    ("IncrementalTimeSeries.total_duration", "utils.IncrementalTimeSeries", build_method("total_duration")),
    ("IncrementalTimeSeries.disaggregate", "utils.IncrementalTimeSeries", build_method("disaggregate", 900)),
    (
        "unknown kind word (ValueError)",
        "utils.ContinuousTimeSeries",
        lambda cls: (swallow(lambda: cls(DATA, HOUR, "flow"), ValueError), [cls, DATA, HOUR]),
    ),
    (
        "wrapped element error (TypeError with cause)",
        "utils.ContinuousTimeSeries",
        lambda cls: (swallow(lambda: cls(BAD_DATA, HOUR, "discharge"), TypeError), [cls, BAD_DATA, HOUR]),
    ),
    (
        "missing argument (binding TypeError)",
        "utils.IncrementalTimeSeries",
        lambda cls: (swallow(lambda: cls(DATA, HOUR), TypeError), [cls, DATA, HOUR]),
    ),
    (
        "disaggregate refused (ValueError)",
        "utils.IncrementalTimeSeries",
        build_method("disaggregate", 7000, fails_with=ValueError),
    ),
]



# The model functions, each with arguments built once; `fn` is the registered function.
def build_model(make_args, fails_with=None):
    def build(fn):
        args = make_args()
        call = lambda: fn(*args)  # noqa: E731
        if fails_with is not None:
            call = swallow(call, fails_with)
        return call, [fn, *args]

    return build


def _vesparil():
    import vesparil

    return vesparil


def _rain():
    return _vesparil().utils.IncrementalTimeSeries([0.0, 0.4, 0.9, 0.1, 0.0, 0.0], HOUR, "rainfall")


def _flow():
    return _vesparil().utils.ContinuousTimeSeries(DATA, HOUR, "discharge")


def _layers(count=2):
    lr = _vesparil().baseflow.LinearReservoir
    return {f"layer{i}": lr(timedelta(hours=10 + i), 0.3, 1.0, 2) for i in range(count)}


def _pool_args():
    ru = _vesparil().reservoir.reservoir_utils
    curve = ru.ElevationStorage([100.0, 105.0, 110.0], [0.0, 5.0e5, 2.0e6])
    outlets = {
        "gate": ru.ControlledDischargeInfo(ru.ElevationDischarge([100.0, 110.0], [0.0, 50.0])),
        "weir": ru.UnControlledDischargeInfo(ru.ElevationDischarge([104.0, 110.0], [0.0, 400.0])),
        "pass": ru.ConstantDischargeInfo(1.0),
        "plan": ru.SpecifiedDischargeInfo(
            _vesparil().utils.ContinuousTimeSeries([2.0, 3.0, 2.0], timedelta(minutes=1), "discharge")),
    }
    inflow = _vesparil().utils.ContinuousTimeSeries([10.0, 30.0, 20.0], timedelta(seconds=40), "discharge")
    return [inflow, 102.0, curve, outlets]


MODEL_ENTRIES = [
    ("run_deficit_and_constant", "rainfall_loss.run_deficit_and_constant",
     build_model(lambda: [_rain(), 0.2, 1.0, 0.1, timedelta(hours=12)])),
    ("run_clark_uh", "rainfall_transform.run_clark_uh",
     build_model(lambda: [_rain(), 640.0, timedelta(hours=3), timedelta(hours=2)])),
    ("run_muskingum_routing", "reach.run_muskingum_routing",
     build_model(lambda: [_flow(), timedelta(hours=2), 0.2, 3, 0.0])),
    ("run_muskingum_routing negative k (ValueError)", "reach.run_muskingum_routing",
     build_model(lambda: [_flow(), timedelta(hours=-2), 0.2, 3, 0.0], fails_with=ValueError)),
    ("run_linear_reservoir", "baseflow.run_linear_reservoir",
     build_model(lambda: [640.0, _rain(), _layers()])),
    ("run_linear_reservoir fraction refused (ValueError)", "baseflow.run_linear_reservoir",
     build_model(lambda: [640.0, _rain(), _layers(4)], fails_with=ValueError)),
    ("calculate_kge", "metrics.calculate_kge",
     build_model(lambda: [DATA, [x * 1.1 + 0.2 for x in DATA], True])),
    ("run_level_pool_routing", "reservoir.run_level_pool_routing", build_model(_pool_args)),
    ("run_level_pool_routing bad outlet (TypeError)", "reservoir.run_level_pool_routing",
     build_model(lambda: _pool_args()[:3] + [{"x": 1.5}], fails_with=TypeError)),
]

ENTRIES += MODEL_ENTRIES


@pytest.mark.parametrize("name, path, build", ENTRIES, ids=[row[0] for row in ENTRIES])
def test_repeated_calls_keep_memory_flat(entry, name, path, build):
    call, watched = build(entry(path))
    for _ in range(WARM_UP):
        call()
    gc.collect()
    counts = [sys.getrefcount(obj) for obj in watched]
    blocks = sys.getallocatedblocks()
    rss = resident_bytes()

    for _ in range(CALLS):
        call()

    gc.collect()
    grown_rss = resident_bytes() - rss
    grown_blocks = sys.getallocatedblocks() - blocks
    assert [sys.getrefcount(obj) for obj in watched] == counts
    assert grown_blocks < BLOCK_SLACK, f"{name}: {grown_blocks} blocks more after {CALLS} calls"
    assert grown_rss < RSS_SLACK_BYTES, f"{name}: resident set grew by {grown_rss} bytes"
