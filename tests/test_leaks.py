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
