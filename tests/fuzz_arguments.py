"""The fuzzer's values for each kind of parameter, and argument sets drawn together."""

import array
import itertools
from datetime import timedelta

import numpy as np
from hypothesis import strategies as st
from hypothesis.extra import numpy as hnp

from fuzz_instances import (INSTANCES, bounded_steps, increasing, layers, mostly, outlets,
                            short_floats)
from fuzz_values import (C, ES, KINDS, DeltaSub, FloatLike, FloatSub, IndexLike, IndexedSequence,
                         IteratedSequence, ListSub, StrSub, floats, hostile_numbers, huge_ints,
                         restride, seconds, small_ints, texts)

float_values = st.one_of(floats, small_ints, st.booleans(), floats.map(np.float64),
                         floats.map(FloatSub), floats.map(FloatLike), small_ints.map(IndexLike))
vectors = st.one_of(
    st.lists(st.one_of(floats, small_ints, st.booleans(), floats.map(np.float64)), max_size=12),
    st.tuples(floats, floats),
    hnp.arrays(np.float64, st.integers(0, 12)),
    st.builds(restride, hnp.arrays(np.float64, st.integers(0, 12)),
              st.sampled_from(["reversed", "every other"])),
    hnp.arrays(st.sampled_from([np.float32, np.int64, np.bool_, np.dtype(">f8")]),
               st.integers(0, 6)),
    st.integers(0, 12).map(range),
    short_floats.map(ListSub),
    short_floats.map(lambda items: IndexedSequence(items, len(items), None)),
    short_floats.map(lambda items: IteratedSequence(items, len(items), None, "items")),
)
kind_words = st.one_of(st.sampled_from(KINDS), st.sampled_from(KINDS).map(StrSub))
steps = st.one_of(bounded_steps, st.timedeltas(min_value=timedelta(seconds=1)),
                  st.integers(1, 10**6).map(lambda s: DeltaSub(seconds=s)))
durations = st.one_of(st.timedeltas(min_value=timedelta(0)),
                      st.integers(0, 10**6).map(lambda s: DeltaSub(seconds=s)))
# Durations for tc stay below twelve days: at a one-second step they already make 10^6
# ordinates, and the generic timedeltas (up to 10^9 days) are kept out of its junk too.
bounded_tc = st.one_of(st.integers(0, 10**6).map(seconds),
                       st.sampled_from([timedelta(0), timedelta(microseconds=1),
                                        timedelta(seconds=-1)]))
bools = st.one_of(st.booleans(), st.booleans().map(np.bool_))
target_steps = st.one_of(st.sampled_from([30, 60, 90, 120, 300, 900, 1800, 3600]),
                         st.sampled_from([30, 900]).map(IndexLike),
                         st.sampled_from([60, 600]).map(np.int64))
# Sub-reaches: a handful (each one is a pass over the inflow); in-range huge integers are kept
# out of its junk, which still has those beyond 64 bits (an overflow).
sub_reaches = st.one_of(st.integers(-5, 30), st.integers(0, 30).map(IndexLike),
                        st.integers(0, 30).map(np.int64))
counts = st.one_of(st.integers(1, 30), st.integers(0, 30).map(IndexLike), huge_ints)
# Keys of the named-component dicts: text (NUL and lone surrogates included), or some other
# hashable value.
names = st.integers(0, 5).flatmap(lambda k: texts if k else st.one_of(
    floats, small_ints, st.none(), st.binary(max_size=2), st.sampled_from(INSTANCES),
    hostile_numbers, st.tuples(texts)))
outlet_dicts = st.dictionaries(names, mostly(outlets), max_size=3)
layer_dicts = st.dictionaries(names, mostly(layers), max_size=3)


# Argument sets drawn together, so that calls which check their arguments against each other
# also succeed now and then.
def as_vector(values):
    return st.sampled_from([list, tuple, np.array, ListSub]).map(lambda kind: kind(values))


@st.composite
def curve_tables(draw, strict, min_size=0):
    x = draw(increasing(min_size=min_size))
    y = draw(increasing(min_size=len(x), strict=strict))[: len(x)]
    return [draw(as_vector(x)), draw(as_vector(y))]


@st.composite
def paired_series(draw):
    n = draw(st.integers(1, 12))
    sim, obs = (draw(st.lists(floats, min_size=n, max_size=n)) for _ in range(2))
    return [draw(as_vector(sim)), draw(as_vector(obs)), draw(bools)]


class Written(np.ndarray):
    """An `out=` array: it is meant to change, so the unchanged-argument check skips it."""


def out_buffers(size):
    return st.one_of(st.none(), st.just(size).map(lambda k: np.zeros(k).view(Written)),
                     st.just(size).map(lambda k: array.array("d", [0.0] * k)))


# Ensembles: two-dimensional arrays (NaN included), lists of rows, and rows of other lengths.
ensembles = st.one_of(
    hnp.arrays(np.float64, st.tuples(st.integers(0, 4), st.integers(0, 6))),
    st.lists(st.lists(floats, max_size=6), max_size=4),
    st.lists(hnp.arrays(np.float64, st.integers(0, 6)), max_size=4).map(tuple),
)
missing_words = st.one_of(st.sampled_from(["propagate", "omit", "raise"]), texts)
out_arguments = st.one_of(st.integers(0, 5).flatmap(out_buffers), vectors)


@st.composite
def scored_ensembles(draw, extra):
    """sim (one series or an ensemble), obs, then `extra`'s values."""
    members, n = draw(st.integers(0, 4)), draw(st.integers(1, 8))
    rows = [draw(st.lists(floats, min_size=n, max_size=n)) for _ in range(members)]
    obs = draw(as_vector(draw(st.lists(floats, min_size=n, max_size=n))))
    sim = draw(st.sampled_from([np.array(rows).reshape(members, n), rows,
                                rows[0] if rows else obs]))
    return [sim, obs] + [draw(value) for value in extra]


@st.composite
def daily_runs(draw, ranges, series=((0.0, 200.0), (0.0, 200.0))):
    """Equal-length daily series drawn from the `series` bounds (mm/day, deg C), then parameters
    drawn from `ranges`, as positional values."""
    n = draw(st.integers(0, 40))
    values = [draw(as_vector(draw(st.lists(st.floats(lo, hi), min_size=n, max_size=n))))
              for lo, hi in series]
    return values + [draw(st.floats(lo, hi)) for lo, hi in ranges]


MM, CELSIUS = (0.0, 200.0), (-20.0, 20.0)


@st.composite
def cemaneige_runs(draw):
    """P, T, kf, ctg, the mean annual snowfall, band elevations and the median elevation."""
    p, t = draw(daily_runs([], series=(MM, CELSIUS)))
    bands = draw(st.lists(st.floats(0.0, 4000.0), min_size=1, max_size=6))
    return [p, t, draw(st.floats(0.0, 10.0)), draw(st.floats(0.0, 1.0)),
            draw(st.floats(1.0, 2000.0)), draw(as_vector(bands)), draw(st.floats(0.0, 4000.0))]


@st.composite
def solar_days(draw, temperatures):
    """`temperatures` series of deg C (ordered, for a minimum and a maximum), a latitude and
    days of year, as positional values."""
    n = draw(st.integers(0, 30))
    series = [draw(st.lists(st.floats(-60.0, 60.0), min_size=n, max_size=n))
              for _ in range(temperatures)]
    if temperatures == 2:
        series = [[min(a, b) for a, b in zip(*series)], [max(a, b) for a, b in zip(*series)]]
    days = draw(st.lists(st.integers(1, 366), min_size=n, max_size=n))
    return ([draw(as_vector(s)) for s in series] + [draw(st.floats(-90.0, 90.0))]
            + [draw(as_vector([float(d) for d in days]))])


@st.composite
def pool_runs(draw):
    x = draw(increasing(min_size=2))
    # Storage from 0, so that an emptied reservoir stays on the curve.
    rises = draw(st.lists(st.floats(1.0, 1e6), min_size=len(x) - 1, max_size=len(x) - 1))
    y = list(itertools.accumulate(rises, initial=0.0))
    where = draw(st.floats(0.0, 1.0))
    inflow = draw(st.lists(st.floats(0.0, 100.0), min_size=1, max_size=12))
    step = draw(st.integers(1, 600))
    return [C(inflow, seconds(step), "discharge"), x[0] + where * (x[-1] - x[0]), ES(x, y),
            draw(st.dictionaries(texts, outlets, max_size=3))]

