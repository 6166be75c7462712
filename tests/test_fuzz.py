"""One table-driven fuzzer over every entry: functions, constructors, methods, getters, setters.

Every argument is drawn from a mix of values the entry accepts and values of every other kind a
caller can pass: NaN, infinities, signed zeros, huge integers, bools, text with NUL and lone
surrogates, None, nested and mixed lists, NumPy arrays of several dtypes, strides and shapes (0-d
included), timedeltas from the most negative to the largest, instances of the wrong class, Python
subclasses, and objects whose __float__, __index__, __len__, __iter__ or __getitem__ raise or lie.
Calls are also made with broken bindings (an extra positional argument, an unknown or repeated
keyword, a missing one).

A call may only raise the exceptions the module's conventions name (TypeError, ValueError,
OverflowError, RuntimeError), the internal-error exception where an entry documents internal
errors, or the argument's own exception; a binding fault is always a TypeError; a success returns
the documented type; and no argument is changed.

VESPARIL_FUZZ_EXAMPLES sets the examples per entry (a few seconds in all by default);
VESPARIL_FUZZ_REPORT names a file that receives the examples run per entry (scripts/fuzz.sh).
"""

import array
import collections
import itertools
import math
import os
import struct
import warnings
from dataclasses import dataclass, field
from datetime import datetime, timedelta
from typing import Any, Callable

import numpy as np
import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st
from hypothesis.extra import numpy as hnp

import vesparil

EXAMPLES = int(os.environ.get("VESPARIL_FUZZ_EXAMPLES", "10"))
REPORT = os.environ.get("VESPARIL_FUZZ_REPORT")

C = vesparil.utils.ContinuousTimeSeries
I = vesparil.utils.IncrementalTimeSeries  # noqa: E741
ru = vesparil.reservoir.reservoir_utils
ES = ru.ElevationStorage
ED = ru.ElevationDischarge
Constant = ru.ConstantDischargeInfo
Specified = ru.SpecifiedDischargeInfo
Controlled = ru.ControlledDischargeInfo
Uncontrolled = ru.UnControlledDischargeInfo
LR = vesparil.baseflow.LinearReservoir
LevelPoolResult = vesparil.reservoir.LevelPoolResult
DeficitConstantResult = vesparil.rainfall_loss.DeficitConstantResult
CurveNumberResult = vesparil.rainfall_loss.CurveNumberResult
GreenAmptResult = vesparil.rainfall_loss.GreenAmptResult

KINDS = ["discharge", "rainfall", "elevation", "volume"]
PANIC = "PanicException"


# Examples run and calls that returned (rather than raised), per entry.
CALLED = collections.Counter()
RETURNED = collections.Counter()


class HostileError(Exception):
    """Raised by the hostile argument objects; it must reach the caller unchanged."""


# ---------------------------------------------------------------------------------------------
# Hostile objects. A behaviour is a value to return, an exception instance to raise, or a
# zero-argument callable whose result is returned (a lie that changes from call to call).


def act(behaviour):
    if isinstance(behaviour, BaseException):
        # A fresh exception each time: raising one instance again would grow its traceback.
        raise type(behaviour)(*behaviour.args)
    if callable(behaviour):
        return behaviour()
    return behaviour


class FloatLike:
    def __init__(self, behaviour):
        self.behaviour = behaviour

    def __float__(self):
        return act(self.behaviour)


class IndexLike:
    def __init__(self, behaviour):
        self.behaviour = behaviour

    def __index__(self):
        return act(self.behaviour)


class IndexedSequence:
    """A sequence by __len__ and __getitem__ alone, either of which may lie or raise."""

    def __init__(self, items, length, item):
        self.items = items
        self.length = length
        self.item = item

    def __len__(self):
        return act(self.length)

    def __getitem__(self, i):
        value = self.items[i]  # IndexError past the end: the sequence is never endless
        return value if self.item is None else act(self.item)


class IteratedSequence(IndexedSequence):
    """The same with its own __iter__, which may raise, return a non-iterator, or yield other
    items than __getitem__ and __len__ say."""

    def __init__(self, items, length, item, iteration):
        super().__init__(items, length, item)
        self.iteration = iteration

    def __iter__(self):
        if self.iteration == "items":
            return iter(self.items)
        if self.iteration == "fewer":
            return iter(self.items[:-1])
        if self.iteration == "more":
            return iter(self.items + self.items)
        if self.iteration == "fails midway":
            return self.failing()
        if self.iteration == "not an iterator":
            return 5
        raise HostileError("no iteration")

    def failing(self):
        yield from self.items[:1]
        raise HostileError("iteration broke")


class FloatSub(float):
    pass


class IntSub(int):
    pass


class StrSub(str):
    pass


class ListSub(list):
    pass


class DictSub(dict):
    pass


class DeltaSub(timedelta):
    pass


# Python subclasses of every class that allows them.
SUBCLASSES = {
    cls: type("Sub" + cls.__name__, (cls,), {})
    for cls in (C, I, ES, ED, Constant, Specified, Controlled, Uncontrolled)
}


def either_class(cls):
    return st.sampled_from([cls, SUBCLASSES[cls]])


# ---------------------------------------------------------------------------------------------
# Values of every kind


def seconds(count):
    return timedelta(seconds=count)


SPECIAL_FLOATS = [math.nan, -math.nan, math.inf, -math.inf, 0.0, -0.0, 5e-324, -5e-324,
                  2.2250738585072014e-308, 1.7976931348623157e308, -1.7976931348623157e308,
                  2.0**53, 2.0**63, 1e-7]
floats = st.one_of(st.floats(), st.sampled_from(SPECIAL_FLOATS))
# Integers within 64 bits but far beyond a sensible count are kept out of `anything`: passed as a
# number of sub-reaches, reservoirs or seconds they would make a valid call run for hours or ask
# for gigabytes. Beyond 64 bits they only overflow, so those are drawn.
small_ints = st.integers(-1000, 1000)
beyond_64_bits = st.sampled_from([2**64, 2**64 + 1, -(2**63) - 1, 10**30, -(10**30), 10**400,
                                  -(10**400)])
huge_ints = st.one_of(beyond_64_bits, st.sampled_from([2**31, -(2**31) - 1, 2**32, 2**63 - 1,
                                                       -(2**63), 2**63]))
texts = st.one_of(
    st.text(st.characters(exclude_categories=()), max_size=8),  # lone surrogates included
    st.sampled_from(KINDS + ["", "\0", "discharge\0", "\ud800", "volume\udfff", "Discharge",
                             " rainfall", "flow"]),
    st.builds(StrSub, st.sampled_from(KINDS)),
)
timedeltas = st.one_of(
    st.timedeltas(),
    st.sampled_from([timedelta.max, timedelta.min, timedelta(0), timedelta(microseconds=1),
                     timedelta(microseconds=-1), timedelta(seconds=0.5), timedelta(seconds=1.9),
                     timedelta(seconds=2**31), timedelta(seconds=2**31 - 1)]),
    st.builds(DeltaSub, seconds=st.integers(-(10**6), 10**6)),
)
numpy_scalars = st.one_of(
    floats.map(np.float64),
    st.floats(width=32).map(np.float32),
    small_ints.map(np.int64),
    st.integers(-128, 127).map(np.int8),
    st.booleans().map(np.bool_),
    small_ints.map(lambda s: np.timedelta64(s, "s")),
    st.just(np.complex128(1 + 2j)),
)
DTYPES = [np.float64, np.float32, np.int64, np.int8, np.bool_, np.complex128, np.dtype(">f8"),
          np.dtype("<U3")]


def restride(array, how):
    if how == "reversed" and array.ndim:
        return array[::-1]
    if how == "every other" and array.ndim:
        return array[::2]
    if how == "transposed":
        return array.T
    if how == "column" and array.ndim == 2 and array.shape[1]:
        return array[:, 0]
    return array


arrays = st.builds(
    restride,
    hnp.arrays(st.sampled_from(DTYPES), hnp.array_shapes(min_dims=0, max_dims=2, min_side=0,
                                                         max_side=6)),
    st.sampled_from(["as is", "reversed", "every other", "transposed", "column"]),
)


def float_behaviours():
    counter = itertools.count(0.5)
    return st.one_of(
        floats,
        st.sampled_from([HostileError("no float"), TypeError("no float"), ValueError("no float"),
                         "a string", 7, True, FloatSub(2.5), lambda: next(counter)]),
    )


def index_behaviours():
    counter = itertools.count(1)
    return st.one_of(
        small_ints,
        beyond_64_bits,
        st.sampled_from([HostileError("no index"), TypeError("no index"), 2.5, "7", True,
                         IntSub(3), lambda: next(counter)]),
    )


hostile_numbers = st.one_of(st.builds(FloatLike, float_behaviours()),
                            st.builds(IndexLike, index_behaviours()))

# A lying length stays below a million: it is only a capacity hint, and a larger one would only
# make the conversion reserve (and give back) gigabytes.
lengths = st.one_of(st.integers(0, 20), st.sampled_from([10**6, -1, 10**30, "3",
                                                          HostileError("no len")]))


def hostile_sequences(elements):
    items = st.lists(elements, max_size=6)
    item = st.one_of(st.none(), st.just(HostileError("no item")), elements)
    return st.one_of(
        st.builds(IndexedSequence, items, lengths, item),
        st.builds(IteratedSequence, items, lengths, item,
                  st.sampled_from(["items", "fewer", "more", "fails midway", "not an iterator",
                                   "raises"])),
    )


# ---------------------------------------------------------------------------------------------
# Valid instances (bounded: their steps and sizes keep every call on them short)

short_floats = st.lists(floats, max_size=12)
# Steps up to an hour: a level pool run takes one sub-step per second of its inflow, and a
# disaggregation makes step / target values per value.
bounded_steps = st.integers(1, 3600).map(seconds)


def series(cls, steps=bounded_steps):
    return st.builds(lambda c, d, s, k: c(d, s, k), either_class(cls), short_floats, steps,
                     st.sampled_from(KINDS))


# Half of them on a multiple of 30 s, so that disaggregating them can succeed.
splittable = series(I, st.one_of(bounded_steps, st.integers(1, 120).map(lambda k: seconds(30 * k))))


@st.composite
def increasing(draw, min_size=0, strict=True):
    n = draw(st.integers(min_size, 8))
    values = draw(st.lists(st.floats(-1e4, 1e4), min_size=n, max_size=n, unique=strict))
    return sorted(values)


@st.composite
def storage_curves(draw):
    elevation = draw(increasing())
    storage = draw(increasing(min_size=len(elevation)))[: len(elevation)]
    return draw(either_class(ES))(elevation, storage)


@st.composite
def discharge_curves(draw):
    elevation = draw(increasing(min_size=2))
    discharge = draw(increasing(min_size=len(elevation), strict=False))[: len(elevation)]
    return draw(either_class(ED))(elevation, discharge)


optional_floats = st.one_of(st.none(), floats)
constant_outlets = st.builds(lambda c, *a: c(*a), either_class(Constant), floats,
                             optional_floats, optional_floats)
specified_outlets = st.builds(lambda c, *a: c(*a), either_class(Specified), series(C),
                              optional_floats, optional_floats, optional_floats)
controlled_outlets = st.builds(lambda c, *a: c(*a), either_class(Controlled), discharge_curves(),
                               optional_floats, optional_floats, optional_floats)
uncontrolled_outlets = st.builds(lambda c, *a: c(*a), either_class(Uncontrolled),
                                 discharge_curves(), optional_floats)
outlets = st.one_of(constant_outlets, specified_outlets, controlled_outlets, uncontrolled_outlets)
# Fresh layers on every draw (the setters change them), with at most 20 reservoirs: the count is
# the length of a state vector and a factor of the run time.
layers = st.builds(LR, st.integers(1, 10**7).map(seconds),
                   st.floats(0.0, 1.0), floats, st.integers(1, 20))


def _made_once():
    hour = timedelta(hours=1)
    flow = C([1.0, 3.0, 2.0], hour, "discharge")
    rain = I([0.5, 0.0], hour, "rainfall")
    curve = ES([0.0, 10.0], [0.0, 1e6])
    rating = ED([0.0, 10.0], [0.0, 5.0])
    made = [flow, rain, curve, rating, Constant(1.0), Specified(flow), Controlled(rating),
            Uncontrolled(rating), LR(hour, 0.5, 0.0),
            vesparil.reservoir.run_level_pool_routing(flow, 1.0, curve, {"c": Constant(1.0)}),
            vesparil.rainfall_loss.run_deficit_and_constant(rain, 0.1, 1.0, 0.1, hour),
            SUBCLASSES[C]([1.0], hour, "volume"), SUBCLASSES[ED]([0.0, 1.0], [0.0, 1.0])]
    return made


INSTANCES = _made_once()
POOL_RESULT, LOSS_RESULT = INSTANCES[-4:-2]
CN_RESULT = vesparil.rainfall_loss.run_curve_number(I([0.5, 2.0], timedelta(hours=1), "rainfall"),
                                                    75.0)
GA_RESULT = vesparil.rainfall_loss.run_green_ampt(I([0.5, 2.0], timedelta(hours=1), "rainfall"),
                                                  0.3, 4.0, 0.3)
GR4J_RESULT = vesparil.lumped.run_gr4j([5.0, 0.0], [1.0, 2.0], 300.0, 0.5, 80.0, 1.5)
HBV_RANGES = [(-3.0, 3.0), (0.0, 10.0), (0.0, 1.5), (0.0, 0.2), (0.0, 0.3), (1.0, 800.0),
              (0.1, 1.0), (0.1, 6.0), (0.0, 6.0), (0.0, 100.0), (0.0, 0.5), (0.0, 0.5),
              (0.0, 1.0), (1.0, 12.0)]
HBV_NAMES = ["tt", "cfmax", "sfcf", "cfr", "cwh", "fc", "lp", "beta", "perc", "uzl", "k0", "k1",
             "k2", "maxbas"]
HBV_INITIAL = ["initial_soil_moisture", "initial_upper_zone", "initial_lower_zone"]
SNOW_NAMES = ["threshold_temperature", "melt_factor", "refreezing_coefficient", "water_holding",
              "initial_snowpack"]
CEMANEIGE_NAMES = ["kf", "ctg", "mean_annual_snowfall", "elevations", "median_elevation",
                   "temperature_gradient", "precipitation_gradient"]
SNOW_RESULTS = [vesparil.snow.run_degree_day_snow([5.0, 1.0], [-1.0, 4.0], 0.0, 3.0, 0.05, 0.1),
                vesparil.snow.run_cemaneige([5.0, 1.0], [-1.0, 4.0], 3.0, 0.5, 100.0,
                                            [400.0, 900.0], 650.0)]
HBV_RESULT = vesparil.lumped.run_hbv([5.0, 0.0], [-1.0, 4.0], [1.0, 2.0],
                                     *[lo for lo, _ in HBV_RANGES])


# ---------------------------------------------------------------------------------------------
# Anything at all


def object_array(items):
    array = np.empty(len(items), dtype=object)
    for i, item in enumerate(items):
        array[i] = item  # one by one, so that NumPy does not look into sequences
    return array


def anything(but=()):
    """Values of every kind; the kinds named in `but` are left out."""
    leaves = {
        "floats": floats,
        "ints": st.one_of(small_ints, beyond_64_bits),
        "huge ints": huge_ints,
        "bools": st.booleans(),
        "none": st.none(),
        "texts": texts,
        "bytes": st.binary(max_size=4),
        "arrays": arrays,
        "numpy scalars": numpy_scalars,
        "timedeltas": timedeltas,
        "instances": st.sampled_from(INSTANCES),
        "numbers": hostile_numbers,
        "objects": st.sampled_from([object(), type, len, Ellipsis, 1j, b"", set(), frozenset(),
                                    range(0)]),
        "subclasses": st.one_of(floats.map(FloatSub), small_ints.map(IntSub),
                                short_floats.map(ListSub)),
    }
    base = st.one_of([strategy for name, strategy in leaves.items() if name not in but])
    return st.recursive(
        base,
        lambda inner: st.one_of(
            st.lists(inner, max_size=4),
            st.tuples(inner, inner),
            st.dictionaries(st.one_of(texts, small_ints), inner, max_size=3),
            st.dictionaries(texts, inner, max_size=2).map(DictSub),
            hostile_sequences(inner),
            st.lists(inner, max_size=3).map(object_array),
        ),
        max_leaves=6,
    )


def mostly(valid, but=()):
    """Five draws in six from `valid`, the rest from anything else (hostile objects included)."""
    junk = anything(but)
    return st.integers(0, 5).flatmap(lambda k: junk if k == 0 else valid)


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


def scores(value, target):
    return (type(value) in (float, Written, array.array) or
            (type(value) is list and all(type(item) is float for item in value)))


def kge_components(value, target):
    kind = vesparil.metrics.KgeComponents
    return type(value) is kind or (type(value) is list and all(type(v) is kind for v in value))


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


# ---------------------------------------------------------------------------------------------
# The entries


@dataclass
class Param:
    name: str
    values: Any
    required: bool = True
    keyword_only: bool = False


def p(name, valid, required=True, but=(), keyword_only=False):
    return Param(name, mostly(valid, but), required, keyword_only)


def is_panic(error):
    return type(error).__name__ == PANIC and not isinstance(error, Exception)


ALLOWED = (TypeError, ValueError, OverflowError, RuntimeError, HostileError)


def floats_list(value):
    return type(value) is list and all(type(item) is float for item in value)


def optional_float(value):
    return value is None or type(value) is float


def series_pair(value):
    return (type(value) is tuple and len(value) == 2 and type(value[0]) is C
            and type(value[1]) is dict
            and all(type(k) is str and type(v) is C for k, v in value[1].items()))


def named_series(value):
    return type(value) is dict and all(type(k) is str and type(v) is C for k, v in value.items())


def snapshot(value):
    """What must not change in an argument: float bits, list and dict contents, array bytes and
    a layer's fields; anything else by identity."""
    kind = type(value)
    if kind is float:
        return struct.pack("<d", value)
    if kind in (list, tuple):
        return (kind, tuple(snapshot(item) for item in value))
    if kind is dict:
        return (kind, tuple((id(k), snapshot(v)) for k, v in value.items()))
    if kind is np.ndarray and value.dtype != object:
        return (value.dtype.str, value.shape, value.tobytes())
    if kind is LR:
        return (snapshot(value.gw_fraction), snapshot(value.initial_q), value.num_reservoir,
                value.k_duration)
    return id(value)


@dataclass
class Call:
    """A function, constructor or method: `target` draws the callable."""

    name: str
    target: Any
    params: list
    returns: Callable
    panics: bool = False
    joint: Any = None  # a strategy for all the values together, drawn half the time

    def run(self, data):
        target = data.draw(self.target, label="callable")
        if self.joint is not None and data.draw(st.booleans(), label="joint"):
            values = data.draw(self.joint, label="values")
        else:
            values = [data.draw(param.values, label=param.name) for param in self.params]
        args, kwargs, broken = bind(data, self.params, values)
        before = snapshot([args, kwargs, getattr(target, "__self__", None)])
        try:
            result = target(*args, **kwargs)
        except BaseException as error:
            if broken:
                assert type(error) is TypeError, f"{broken} binding raised {error!r}"
            elif is_panic(error):
                assert self.panics, f"internal error: {error}"
            else:
                assert isinstance(error, ALLOWED), f"{type(error).__name__}: {error}"
        else:
            assert not broken, f"{broken} binding returned {result!r}"
            assert self.returns(result, target), f"returned {type(result).__name__}"
            RETURNED[self.name] += 1
        assert snapshot([args, kwargs, getattr(target, "__self__", None)]) == before


BREAKS = ["extra positional", "unknown keyword", "repeated keyword", "missing"]


def bind(data, params, values):
    """Positional and keyword arguments for `values`; one binding fault in six calls."""
    count = sum(1 for param in params if not param.keyword_only)
    positional = data.draw(st.integers(0, count), label="positional")
    args = values[:positional]
    kwargs = {param.name: value for param, value in zip(params[positional:], values[positional:])
              if param.required or data.draw(st.booleans(), label="give " + param.name)}
    broken = data.draw(st.integers(0, 5).flatmap(
        lambda k: st.sampled_from(BREAKS) if k == 0 else st.none()), label="broken")
    if broken == "extra positional":
        return values + [None] * data.draw(st.integers(1, 2)), {}, broken
    if broken == "unknown keyword":
        return args, {**kwargs, "bogus": 1}, broken
    if broken == "repeated keyword" and positional > 0:
        return args, {**kwargs, params[0].name: values[0]}, broken
    required = [i for i, param in enumerate(params) if param.required]
    if broken == "missing" and required:
        gone = data.draw(st.sampled_from(required), label="missing")
        kept = min(positional, gone)
        rest = {param.name: value for param, value in zip(params[kept:], values[kept:])
                if param.name != params[gone].name}
        return values[:kept], rest, broken
    return args, kwargs, None


@dataclass
class Get:
    name: str
    instances: Any
    attribute: str
    returns: Callable

    def run(self, data):
        instance = data.draw(self.instances, label="instance")
        value = getattr(instance, self.attribute)
        assert self.returns(value), f"{self.attribute} read as {type(value).__name__}"
        RETURNED[self.name] += 1


DELETE = object()


@dataclass
class Set:
    """Assigning (or deleting) an attribute; read-only ones always refuse with AttributeError."""

    name: str
    instances: Any
    attributes: list
    values: Any = field(default_factory=anything)
    returns: Callable = None

    def run(self, data):
        instance = data.draw(self.instances, label="instance")
        own = [name for name in self.attributes if hasattr(type(instance), name)]
        attribute = data.draw(st.sampled_from(own), label="attribute")
        value = data.draw(st.one_of(self.values, st.just(DELETE)), label="value")
        try:
            if value is DELETE:
                delattr(instance, attribute)
            else:
                setattr(instance, attribute, value)
        except BaseException as error:
            if self.returns is None or value is DELETE:
                assert type(error) is AttributeError, repr(error)
            else:
                assert isinstance(error, ALLOWED), repr(error)
        else:
            assert self.returns is not None and value is not DELETE, f"{attribute} was changed"
            assert self.returns(getattr(instance, attribute))
            RETURNED[self.name] += 1


def is_instance_of(cls):
    return lambda result, target: type(result) is cls


def constructs(result, target):
    return type(result) is target


def getters(cls_name, instances, spec):
    return [Get(f"{cls_name}.{attribute}", instances, attribute, check)
            for attribute, check in spec.items()]


SERIES_GETTERS = {"data": floats_list, "kind": lambda v: type(v) is str,
                  "time_step": lambda v: type(v) is timedelta}
is_float = lambda v: type(v) is float  # noqa: E731
as_series = lambda v: type(v) is C  # noqa: E731
as_incremental = lambda v: type(v) is I  # noqa: E731

ENTRIES = [
    Call("ContinuousTimeSeries()", either_class(C),
         [p("data", vectors), p("time_step", steps), p("kind", kind_words)], constructs),
    Call("IncrementalTimeSeries()", either_class(I),
         [p("data", vectors), p("time_step", steps), p("kind", kind_words)], constructs),
    Call("ContinuousTimeSeries.total_duration", series(C).map(lambda s: s.total_duration), [],
         lambda r, t: type(r) is int),
    Call("IncrementalTimeSeries.total_duration", series(I).map(lambda s: s.total_duration), [],
         lambda r, t: type(r) is int),
    Call("IncrementalTimeSeries.disaggregate", splittable.map(lambda s: s.disaggregate),
         [p("target_step", target_steps)], is_instance_of(I)),
    Call("run_muskingum_routing", st.just(vesparil.reach.run_muskingum_routing),
         [p("inflow", series(C)), p("k", durations), p("x", float_values),
          p("sub_reaches", sub_reaches, but=("huge ints",)), p("initial_outflow", float_values)],
         is_instance_of(C), panics=True),
    Call("run_muskingum_cunge_routing", st.just(vesparil.reach.run_muskingum_cunge_routing),
         [p("inflow", series(C)), p("length", st.floats(1.0, 1e6)),
          p("slope", st.floats(1e-5, 0.1)), p("manning_n", st.floats(0.01, 0.2)),
          p("bottom_width", st.floats(0.0, 500.0)), p("side_slope", st.floats(0.0, 5.0), False),
          p("reference_flow", optional_floats, False),
          p("sub_reaches", st.one_of(st.none(), st.integers(1, 20)), False),
          p("sub_steps", st.one_of(st.none(), st.integers(1, 20)), False)], is_instance_of(C)),
    Call("run_level_pool_routing", st.just(vesparil.reservoir.run_level_pool_routing),
         [p("inflow", series(C)), p("initial_elevation", float_values),
          p("elevation_storage", storage_curves()), p("discharge_info", outlet_dicts)],
         is_instance_of(LevelPoolResult), panics=True, joint=pool_runs()),
    Call("LevelPoolResult()", st.just(LevelPoolResult), [], constructs),
    Call("run_storage_indication_routing",
         st.just(vesparil.reservoir.run_storage_indication_routing),
         [p("inflow", series(C)), p("initial_elevation", float_values),
          p("elevation_storage", storage_curves()), p("discharge_info", outlet_dicts)],
         is_instance_of(LevelPoolResult), panics=True, joint=pool_runs()),
    Call("ElevationStorage()", either_class(ES),
         [p("elevation", vectors), p("storage", vectors)], constructs,
         joint=curve_tables(strict=True)),
    Call("ElevationStorage.get_storage", storage_curves().map(lambda c: c.get_storage),
         [p("elevation", float_values)], lambda r, t: type(r) is float, panics=True),
    Call("ElevationStorage.get_elevation", storage_curves().map(lambda c: c.get_elevation),
         [p("storage", float_values)], lambda r, t: type(r) is float, panics=True),
    Call("ElevationDischarge()", either_class(ED),
         [p("elevation", vectors), p("discharge", vectors)], constructs,
         joint=curve_tables(strict=False, min_size=2)),
    Call("ConstantDischargeInfo()", either_class(Constant),
         [p("discharge", float_values), p("minimum_elevation", optional_floats, False),
          p("maximum_elevation", optional_floats, False)], constructs),
    Call("SpecifiedDischargeInfo()", either_class(Specified),
         [p("discharge", series(C)), p("minimum_elevation", optional_floats, False),
          p("maximum_elevation", optional_floats, False),
          p("maximum_release", optional_floats, False)], constructs),
    Call("ControlledDischargeInfo()", either_class(Controlled),
         [p("elevation_discharge", discharge_curves()),
          p("minimum_elevation", optional_floats, False),
          p("maximum_elevation", optional_floats, False),
          p("maximum_release", optional_floats, False)], constructs),
    Call("UnControlledDischargeInfo()", either_class(Uncontrolled),
         [p("elevation_discharge", discharge_curves()),
          p("elevation_offset", optional_floats, False)], constructs),
    Call("run_clark_uh", st.just(vesparil.rainfall_transform.run_clark_uh),
         [p("rainfall", series(I)), p("basin_area", float_values),
          p("tc", bounded_tc, but=("timedeltas",)), p("storage_r", durations)],
         is_instance_of(C), panics=True),
    Call("DeficitConstantResult()", st.just(DeficitConstantResult), [], constructs),
    Call("run_deficit_and_constant", st.just(vesparil.rainfall_loss.run_deficit_and_constant),
         [p("rainfall", series(I)), p("initial_deficit", float_values),
          p("max_deficit", float_values), p("constant_loss_per_hr", float_values),
          p("time_to_dry", durations)], is_instance_of(DeficitConstantResult)),
    Call("CurveNumberResult()", st.just(CurveNumberResult), [], constructs),
    Call("run_curve_number", st.just(vesparil.rainfall_loss.run_curve_number),
         [p("rainfall", series(I)), p("curve_number", st.floats(1.0, 100.0)),
          p("initial_abstraction_ratio", st.floats(0.0, 0.3), False),
          p("antecedent_moisture", st.integers(1, 3), False)], is_instance_of(CurveNumberResult)),
    Call("GreenAmptResult()", st.just(GreenAmptResult), [], constructs),
    Call("run_green_ampt", st.just(vesparil.rainfall_loss.run_green_ampt),
         [p("rainfall", series(I)), p("hydraulic_conductivity", st.floats(0.001, 10.0)),
          p("suction_head", st.floats(0.0, 20.0)), p("moisture_deficit", st.floats(0.0, 1.0)),
          p("initial_infiltration", st.floats(0.0, 5.0), False)],
         is_instance_of(GreenAmptResult)),
    Call("run_scs_uh", st.just(vesparil.rainfall_transform.run_scs_uh),
         [p("rainfall", series(I)), p("basin_area", float_values),
          p("lag", bounded_tc, but=("timedeltas",)),
          p("peak_rate_factor", st.floats(100.0, 700.0), False)], is_instance_of(C)),
    Call("run_snyder_uh", st.just(vesparil.rainfall_transform.run_snyder_uh),
         [p("rainfall", series(I)), p("basin_area", float_values),
          p("ct", st.floats(0.1, 8.0)), p("cp", st.floats(0.1, 1.0)),
          p("stream_length", st.floats(0.1, 100.0)), p("centroid_length", st.floats(0.1, 50.0))],
         is_instance_of(C)),
    Call("run_linear_reservoir", st.just(vesparil.baseflow.run_linear_reservoir),
         [p("basin_area", float_values), p("rainfall", series(I)),
          p("reservoirs", layer_dicts)], lambda r, t: series_pair(r)),
    Call("LinearReservoir()", st.just(LR),
         [p("k_duration", steps), p("gw_fraction", st.one_of(st.floats(0.0, 1.0), float_values)),
          p("initial_q", float_values), p("num_reservoir", counts, False)], constructs),
    Call("calculate_kge", st.just(vesparil.metrics.calculate_kge),
         [p("sim", vectors), p("obs", vectors), p("use_log", bools, False)],
         lambda r, t: type(r) is float, joint=paired_series()),
    Call("run_gr4j", st.just(vesparil.lumped.run_gr4j),
         [p("precipitation", vectors), p("evapotranspiration", vectors), p("x1", float_values),
          p("x2", float_values), p("x3", float_values), p("x4", float_values),
          p("initial_production", float_values, False), p("initial_routing", float_values, False),
          p("warmup", counts, False)], is_instance_of(vesparil.lumped.GR4JResult),
         joint=daily_runs([(1.0, 2000.0), (-20.0, 20.0), (1.0, 1000.0), (0.5, 30.0)])),
    Call("GR4JResult()", st.just(vesparil.lumped.GR4JResult), [], constructs),
    Call("run_hbv", st.just(vesparil.lumped.run_hbv),
         [p("precipitation", vectors), p("temperature", vectors), p("evapotranspiration", vectors),
          *[p(name, float_values) for name in HBV_NAMES],
          p("initial_soil_moisture", float_values, False),
          p("initial_upper_zone", float_values, False),
          p("initial_lower_zone", float_values, False), p("warmup", counts, False)],
         is_instance_of(vesparil.lumped.HBVResult),
         joint=daily_runs(HBV_RANGES, series=(MM, CELSIUS, MM))),
    Call("HBVResult()", st.just(vesparil.lumped.HBVResult), [], constructs),
    Call("run_degree_day_snow", st.just(vesparil.snow.run_degree_day_snow),
         [p("precipitation", vectors), p("temperature", vectors),
          p("threshold_temperature", float_values), p("melt_factor", float_values),
          p("refreezing_coefficient", float_values), p("water_holding", float_values),
          p("initial_snowpack", float_values, False), p("warmup", counts, False)],
         is_instance_of(vesparil.snow.DegreeDaySnowResult),
         joint=daily_runs([(-3.0, 3.0), (0.0, 10.0), (0.0, 0.2), (0.0, 0.3), (0.0, 500.0)],
                          series=(MM, CELSIUS))),
    Call("DegreeDaySnowResult()", st.just(vesparil.snow.DegreeDaySnowResult), [], constructs),
    Call("run_cemaneige", st.just(vesparil.snow.run_cemaneige),
         [p("precipitation", vectors), p("temperature", vectors), p("kf", float_values),
          p("ctg", float_values), p("mean_annual_snowfall", float_values),
          p("elevations", vectors), p("median_elevation", float_values),
          p("temperature_gradient", float_values, False),
          p("precipitation_gradient", float_values, False), p("warmup", counts, False)],
         is_instance_of(vesparil.snow.CemaNeigeResult), joint=cemaneige_runs()),
    Call("CemaNeigeResult()", st.just(vesparil.snow.CemaNeigeResult), [], constructs),
    *[Get(f"{type(result).__name__}.{name}", st.just(result), name, floats_list)
      for result in SNOW_RESULTS for name in type(result).__dict__ if not name.startswith("_")],
    Call("calculate_extraterrestrial_radiation",
         st.just(vesparil.evapotranspiration.calculate_extraterrestrial_radiation),
         [p("latitude", float_values), p("day_of_year", vectors)], lambda r, t: floats_list(r),
         joint=solar_days(0)),
    Call("calculate_pet_oudin", st.just(vesparil.evapotranspiration.calculate_pet_oudin),
         [p("temperature", vectors), p("latitude", float_values), p("day_of_year", vectors)],
         lambda r, t: floats_list(r), joint=solar_days(1)),
    Call("calculate_pet_hamon", st.just(vesparil.evapotranspiration.calculate_pet_hamon),
         [p("temperature", vectors), p("latitude", float_values), p("day_of_year", vectors)],
         lambda r, t: floats_list(r), joint=solar_days(1)),
    Call("calculate_pet_hargreaves",
         st.just(vesparil.evapotranspiration.calculate_pet_hargreaves),
         [p("temperature_min", vectors), p("temperature_max", vectors),
          p("latitude", float_values), p("day_of_year", vectors)],
         lambda r, t: floats_list(r), joint=solar_days(2)),
    *getters("HBVResult", st.just(HBV_RESULT),
             {name: floats_list for name in vesparil.lumped.HBVResult.__dict__
              if not name.startswith("_")}),
    *getters("GR4JResult", st.just(GR4J_RESULT),
             {name: floats_list for name in ["flow", "production_store", "routing_store",
                                             "unit_hydrograph_store", "actual_evapotranspiration",
                                             "exchange"]}),
    Call("calculate_nse", st.just(vesparil.metrics.calculate_nse),
         [p("sim", st.one_of(vectors, ensembles)), p("obs", vectors),
          p("use_log", bools, False), p("epsilon", optional_floats, False, keyword_only=True),
          p("missing", missing_words, False, keyword_only=True),
          p("out", out_arguments, False, keyword_only=True)], scores,
         joint=scored_ensembles([bools, st.none(), missing_words, out_buffers(2)])),
    Call("calculate_kge_components", st.just(vesparil.metrics.calculate_kge_components),
         [p("sim", st.one_of(vectors, ensembles)), p("obs", vectors),
          p("variant", st.one_of(st.sampled_from(["2009", "2012"]), texts), False,
            keyword_only=True),
          p("missing", missing_words, False, keyword_only=True)], kge_components,
         joint=scored_ensembles([st.sampled_from(["2009", "2012"]), missing_words])),
    *(Call(name, st.just(getattr(vesparil.metrics, name)),
           [p("sim", st.one_of(vectors, ensembles)), p("obs", vectors),
            p("missing", missing_words, False, keyword_only=True),
            p("out", out_arguments, False, keyword_only=True)], scores,
           joint=scored_ensembles([missing_words, out_buffers(2)]))
      for name in ("calculate_pbias", "calculate_rmse", "calculate_mae", "calculate_pearson_r")),
    Call("KgeComponents()", st.just(vesparil.metrics.KgeComponents), [], constructs),
    *getters("KgeComponents", st.just(vesparil.metrics.calculate_kge_components([1.0, 2.0],
                                                                                [2.0, 1.5])),
             {"kge": is_float, "r": is_float, "variability": is_float, "bias": is_float}),
    Set("KgeComponents read-only =", st.just(vesparil.metrics.calculate_kge_components(
        [1.0, 2.0], [2.0, 1.5])), ["kge", "r", "variability", "bias"]),
    *getters("ContinuousTimeSeries", series(C), SERIES_GETTERS),
    *getters("IncrementalTimeSeries", series(I), SERIES_GETTERS),
    *getters("LevelPoolResult", st.just(POOL_RESULT),
             {"reservoir_storage": as_series, "reservoir_elevation": as_series,
              "reservoir_total_outflow": as_series,
              "reservoir_individual_outflows": named_series}),
    *getters("ElevationStorage", storage_curves(),
             {"elevation": floats_list, "storage": floats_list}),
    *getters("ElevationDischarge", discharge_curves(),
             {"elevation": floats_list, "discharge": floats_list}),
    *getters("ConstantDischargeInfo", constant_outlets,
             {"discharge": is_float, "minimum_elevation": optional_float,
              "maximum_elevation": optional_float}),
    *getters("SpecifiedDischargeInfo", specified_outlets,
             {"discharge": as_series, "minimum_elevation": optional_float,
              "maximum_elevation": optional_float, "maximum_release": optional_float}),
    *getters("ControlledDischargeInfo", controlled_outlets,
             {"elevation_discharge": lambda v: type(v) is ED, "minimum_elevation": is_float,
              "maximum_elevation": optional_float, "maximum_release": optional_float}),
    *getters("UnControlledDischargeInfo", uncontrolled_outlets,
             {"elevation_discharge": lambda v: type(v) is ED,
              "elevation_offset": optional_float}),
    *getters("DeficitConstantResult", st.just(LOSS_RESULT),
             {"excess": as_incremental, "loss": as_incremental, "deficit": as_incremental}),
    *getters("CurveNumberResult", st.just(CN_RESULT),
             {"excess": as_incremental, "loss": as_incremental}),
    *getters("GreenAmptResult", st.just(GA_RESULT),
             {"excess": as_incremental, "loss": as_incremental}),
    *getters("LinearReservoir", layers,
             {"gw_fraction": is_float, "initial_q": is_float,
              "num_reservoir": lambda v: type(v) is int,
              "k_duration": lambda v: type(v) is timedelta}),
    Set("LinearReservoir.gw_fraction =", layers, ["gw_fraction"], mostly(float_values), is_float),
    Set("LinearReservoir.initial_q =", layers, ["initial_q"], mostly(float_values), is_float),
    Set("LinearReservoir.num_reservoir =", layers, ["num_reservoir"], mostly(counts),
        lambda v: type(v) is int),
    Set("LinearReservoir read-only =", layers, ["k_duration"]),
    Set("ContinuousTimeSeries read-only =", series(C), list(SERIES_GETTERS)),
    Set("IncrementalTimeSeries read-only =", series(I), list(SERIES_GETTERS)),
    Set("LevelPoolResult read-only =", st.just(POOL_RESULT),
        ["reservoir_storage", "reservoir_individual_outflows"]),
    Set("DeficitConstantResult read-only =", st.just(LOSS_RESULT), ["excess", "deficit"]),
    Set("ElevationStorage read-only =", storage_curves(), ["elevation", "storage"]),
    Set("ElevationDischarge read-only =", discharge_curves(), ["elevation", "discharge"]),
    Set("outlet read-only =", outlets,
        ["minimum_elevation", "maximum_elevation", "discharge", "elevation_discharge"]),
]

# The basin: its constructors, and runs of one small basin with drawn forcing and parameters.
B = vesparil.basin


def small_basin():
    model = B.Basin(timedelta(hours=1))
    model.add_subbasin("north", 640.0, B.DeficitAndConstant(0.5, 2.0, 0.15, timedelta(days=5)),
                       B.Clark(timedelta(hours=3), timedelta(hours=2)),
                       {"deep": LR(timedelta(days=20), 0.5, 4.0)}, "channel")
    model.add_reach("channel", B.Muskingum(timedelta(hours=1), 0.2, 2))
    return model


def event_basin():
    model = B.Basin(timedelta(hours=1))
    model.add_subbasin("north", 640.0, B.CurveNumber(75.0), B.ScsUnitHydrograph(timedelta(hours=2)),
                       {"deep": LR(timedelta(days=20), 0.5, 4.0)}, "channel")
    model.add_subbasin("south", 320.0, B.GreenAmpt(0.4, 4.3, 0.3), B.Snyder(2.0, 0.6, 2.0, 1.0),
                       {}, "channel")
    model.add_reach("channel", B.MuskingumCunge(2e4, 1e-3, 0.04, 20.0, 2.0))
    return model


BASIN = small_basin()


def pet_basin():
    model = B.Basin(timedelta(days=1))
    model.add_subbasin("north", 640.0, None, B.GR4J(300.0, 0.5, 80.0, 1.7), {}, "out",
                       evapotranspiration=B.Oudin(45.0))
    model.add_subbasin("south", 320.0, B.CurveNumber(75.0),
                       B.Clark(timedelta(days=2), timedelta(days=3)), {}, "out",
                       evapotranspiration=B.Hargreaves(-30.0))
    model.add_junction("out")
    return model


PET_BASIN = pet_basin()


@st.composite
def pet_forcings(draw):
    """Daily forcing of PET_BASIN: days of year mostly in 1 to 366, extremes that mostly keep
    their order."""
    n = draw(st.integers(1, 30))
    series = lambda values: draw(st.lists(values, min_size=n, max_size=n))  # noqa: E731
    days = lambda: series(st.one_of(st.integers(1, 366), st.integers(-1, 368)))  # noqa: E731
    low = series(st.floats(-40.0, 40.0))
    spread = series(st.one_of(st.floats(0.0, 20.0), floats))
    return {"north": {"precipitation": series(floats), "temperature": series(floats),
                      "day_of_year": days()},
            "south": {"precipitation": series(floats), "temperature_min": low,
                      "temperature_max": [t + d for t, d in zip(low, spread)],
                      "day_of_year": [float(d) for d in days()]}}
EVENT_BASIN = event_basin()
BASIN_RUN = BASIN.run({"north": [0.0, 0.5, 0.2] + [0.0] * 9})
HOUR_ = timedelta(hours=1)
returns_none = lambda r, t: r is None  # noqa: E731


def to_dataframe(start=None):
    """BasinRun.to_dataframe, or "no pandas" where pandas is not installed (an optional
    dependency, whose absence has its own test in test_basin.py)."""
    try:
        return BASIN_RUN.to_dataframe(start)
    except ImportError:
        return "no pandas"
BATCH_COLUMNS = ["north.loss.initial_deficit", "north.subbasin.area", "channel.muskingum.x"]
tables = st.lists(st.lists(st.floats(allow_nan=True), min_size=3, max_size=3), max_size=5).map(
    lambda rows: np.array(rows, dtype=np.float64).reshape(-1, 3))
forcings = st.lists(floats, min_size=1, max_size=40).map(lambda rain: {"north": rain})
event_forcings = st.lists(floats, min_size=1, max_size=40).map(
    lambda rain: {"north": rain, "south": rain[::-1]})
scores = lambda r, t: type(r) is list and all(type(v) is float for v in r)  # noqa: E731


def batch_result(r, t):
    """N scores, or with outflows=True the pair (scores, an N x 12 float64 array)."""
    if type(r) is not tuple:
        return scores(r, t)
    return (len(r) == 2 and scores(r[0], t) and type(r[1]) is np.ndarray
            and r[1].dtype == np.float64 and r[1].shape == (len(r[0]), 12))

ENTRIES += [
    Call("Basin()", st.just(B.Basin), [p("time_step", steps)], constructs),
    Call("DeficitAndConstant()", st.just(B.DeficitAndConstant),
         [p("initial_deficit", float_values), p("maximum_deficit", float_values),
          p("constant_rate", float_values), p("recovery", durations)], constructs),
    Call("Clark()", st.just(B.Clark), [p("tc", durations), p("storage", durations)], constructs),
    Call("Muskingum()", st.just(B.Muskingum),
         [p("k", durations), p("x", float_values), p("sub_reaches", sub_reaches, False)],
         constructs),
    Call("Basin.run", st.just(BASIN.run), [p("forcing", forcings)],
         lambda r, t: type(r) is B.BasinRun),
    Call("Basin.run event methods", st.just(EVENT_BASIN.run), [p("forcing", event_forcings)],
         lambda r, t: type(r) is B.BasinRun),
    Call("Basin.run_batch", st.just(BASIN.run_batch),
         [p("parameters", tables), p("columns", st.just(BATCH_COLUMNS)),
          p("forcing", st.just({"north": [0.0, 0.5, 0.2] + [0.0] * 9})),
          p("observed", st.lists(floats, min_size=12, max_size=12)),
          p("at", st.sampled_from([None, "north", "nowhere"]), False),
          p("metric", st.sampled_from(["kge", "nse"]), False),
          p("threads", st.integers(1, 3), False), p("outflows", st.booleans(), False),
          p("missing", st.sampled_from(["propagate", "omit", "raise", "drop"]), False),
          p("warmup", st.integers(-2, 13), False)], batch_result),
    Call("Basin.from_dict", st.just(B.Basin.from_dict),
         [p("plain", st.just(BASIN.to_dict()))], lambda r, t: type(r) is B.Basin),
    Call("Basin.add_subbasin", st.builds(small_basin).map(lambda b: b.add_subbasin),
         [p("name", names), p("area", float_values),
          p("loss", st.one_of(st.none(), st.just(B.DeficitAndConstant(0.1, 1.0, 0.1, HOUR_)),
                              st.just(B.CurveNumber(80.0)), st.just(B.GreenAmpt(0.4, 4.3, 0.3)))),
          p("transform", st.sampled_from([B.Clark(HOUR_, HOUR_), B.ScsUnitHydrograph(HOUR_),
                                          B.Snyder(2.0, 0.6, 2.0, 1.0)])), p("baseflow", layer_dicts, False),
          p("downstream", st.one_of(st.none(), names), False),
          p("snow", st.sampled_from([None, B.DegreeDaySnow(0.0, 3.0, 0.05, 0.1),
                                     B.CemaNeige(3.0, 0.25, 100.0, [400.0], 400.0)]), False),
          p("evapotranspiration", st.sampled_from([None, B.Oudin(45.0), B.Hargreaves(-10.0),
                                                   B.Hamon(60.0)]), False)],
         returns_none),
    Call("Basin.add_reach", st.builds(small_basin).map(lambda b: b.add_reach),
         [p("name", names), p("routing", st.sampled_from(
             [B.Muskingum(HOUR_, 0.2), B.MuskingumCunge(1e4, 1e-3, 0.04, 10.0)])),
          p("downstream", st.one_of(st.none(), names), False)], returns_none),
    Call("Basin.add_reservoir", st.builds(small_basin).map(lambda b: b.add_reservoir),
         [p("name", names), p("routing", storage_curves().flatmap(
             lambda curve: st.sampled_from([B.LevelPool(curve, {}, 0.0),
                                            B.StorageIndication(curve, {}, 0.0)]))),
          p("downstream", st.one_of(st.none(), names), False)], returns_none),
    Call("Basin.add_junction", st.builds(small_basin).map(lambda b: b.add_junction),
         [p("name", names), p("downstream", st.one_of(st.none(), names), False)], returns_none),
    Call("Basin.add_source", st.builds(small_basin).map(lambda b: b.add_source),
         [p("name", names), p("downstream", st.one_of(st.none(), names), False)], returns_none),
    Call("Basin.with_parameters", st.just(BASIN.with_parameters),
         [p("values", st.lists(float_values, min_size=3, max_size=3)),
          p("columns", st.just(BATCH_COLUMNS))], lambda r, t: type(r) is B.Basin),
    Call("Basin.to_dict", st.just(BASIN.to_dict), [], lambda r, t: type(r) is dict),
    Call("LevelPool()", st.just(B.LevelPool),
         [p("elevation_storage", storage_curves()), p("outlets", outlet_dicts),
          p("initial_elevation", float_values)], constructs),
    Call("BasinRun()", st.just(B.BasinRun), [], constructs),
    Call("ElementRun()", st.just(B.ElementRun), [], constructs),
    Call("BasinRun.summary", st.just(BASIN_RUN.summary), [], lambda r, t: type(r) is dict),
    Call("BasinRun.to_dataframe", st.just(to_dataframe),
         [Param("start", st.one_of(st.none(), st.datetimes(datetime(1900, 1, 1),
                                                            datetime(2200, 1, 1))), False)],
         lambda r, t: type(r).__name__ == "DataFrame" or r == "no pandas"),
    *getters("Basin", st.just(BASIN), {"time_step": lambda v: type(v) is timedelta,
                                       "names": lambda v: v == ["north", "channel"]}),
    *getters("DeficitAndConstant", st.just(B.DeficitAndConstant(0.1, 1.0, 0.1, HOUR_)),
             {"initial_deficit": is_float, "maximum_deficit": is_float, "constant_rate": is_float,
              "recovery": lambda v: v == HOUR_}),
    *getters("Clark", st.builds(B.Clark, durations, durations),
             {"tc": lambda v: type(v) is timedelta, "storage": lambda v: type(v) is timedelta}),
    *getters("Muskingum", st.builds(B.Muskingum, durations, floats, sub_reaches),
             {"k": lambda v: type(v) is timedelta, "x": is_float,
              "sub_reaches": lambda v: type(v) is int}),
    *getters("LevelPool", storage_curves().map(lambda curve: B.LevelPool(curve, {}, 1.0)),
             {"elevation_storage": lambda v: type(v) is ES, "outlets": lambda v: v == {},
              "initial_elevation": is_float}),
    Call("CurveNumber()", st.just(B.CurveNumber),
         [p("curve_number", float_values), p("initial_abstraction_ratio", float_values, False),
          p("antecedent_moisture", sub_reaches, False)], constructs),
    Call("GreenAmpt()", st.just(B.GreenAmpt),
         [p("hydraulic_conductivity", float_values), p("suction_head", float_values),
          p("moisture_deficit", float_values), p("initial_infiltration", float_values, False)],
         constructs),
    Call("ScsUnitHydrograph()", st.just(B.ScsUnitHydrograph),
         [p("lag", durations), p("peak_rate_factor", float_values, False)], constructs),
    Call("Snyder()", st.just(B.Snyder),
         [p("ct", float_values), p("cp", float_values), p("stream_length", float_values),
          p("centroid_length", float_values)], constructs),
    Call("MuskingumCunge()", st.just(B.MuskingumCunge),
         [p("length", float_values), p("slope", float_values), p("manning_n", float_values),
          p("bottom_width", float_values), p("side_slope", float_values, False),
          p("reference_flow", st.one_of(st.none(), float_values), False),
          p("sub_reaches", st.one_of(st.none(), sub_reaches), False),
          p("sub_steps", st.one_of(st.none(), sub_reaches), False)], constructs),
    Call("StorageIndication()", st.just(B.StorageIndication),
         [p("elevation_storage", storage_curves()), p("outlets", outlet_dicts),
          p("initial_elevation", float_values)], constructs),
    Call("GR4J()", st.just(B.GR4J),
         [p(n, float_values) for n in ["x1", "x2", "x3", "x4"]]
         + [p(n, float_values, False) for n in ["initial_production", "initial_routing"]]
         + [p("snow", st.one_of(st.none(), st.builds(B.DegreeDaySnow, floats, floats, floats,
                                                    floats),
                              st.builds(B.CemaNeige, floats, floats, floats,
                                        st.lists(floats, max_size=4), floats)), False)],
         constructs),
    Call("CemaNeige()", st.just(B.CemaNeige),
         [p(n, float_values) for n in CEMANEIGE_NAMES[:3]] + [p("elevations", vectors),
                                                              p("median_elevation", float_values)]
         + [p(n, float_values, False) for n in CEMANEIGE_NAMES[5:]], constructs),
    *getters("CemaNeige", st.builds(B.CemaNeige, floats, floats, floats,
                                    st.lists(floats, max_size=4), floats),
             dict.fromkeys(CEMANEIGE_NAMES, is_float) | {"elevations": floats_list}),
    Call("DegreeDaySnow()", st.just(B.DegreeDaySnow),
         [p(n, float_values) for n in SNOW_NAMES[:4]] + [p(SNOW_NAMES[4], float_values, False)],
         constructs),
    *getters("DegreeDaySnow", st.builds(B.DegreeDaySnow, *[floats] * 5),
             dict.fromkeys(SNOW_NAMES, is_float)),
    *[row for method in (B.Oudin, B.Hargreaves, B.Hamon) for row in (
        Call(f"{method.__name__}()", st.just(method), [p("latitude", float_values)], constructs),
        *getters(method.__name__, st.floats(-90.0, 90.0).map(method), {"latitude": is_float}))],
    Call("Basin.run evapotranspiration methods", st.just(PET_BASIN.run),
         [p("forcing", pet_forcings())], lambda r, t: type(r) is B.BasinRun),
    Call("HBV()", st.just(B.HBV),
         [p(n, float_values) for n in HBV_NAMES] + [p(n, float_values, False) for n in HBV_INITIAL],
         constructs),
    *getters("GR4J", st.builds(B.GR4J, floats, floats, floats, floats, floats, floats),
             dict.fromkeys(["x1", "x2", "x3", "x4", "initial_production", "initial_routing"],
                           is_float) | {"snow": lambda v: v is None}),
    *getters("HBV", st.builds(B.HBV, *[floats] * 17),
             dict.fromkeys(HBV_NAMES + HBV_INITIAL, is_float)),
    *getters("CurveNumber", st.builds(B.CurveNumber, floats, floats, st.integers(-3, 5)),
             {"curve_number": is_float, "initial_abstraction_ratio": is_float,
              "antecedent_moisture": lambda v: type(v) is int}),
    *getters("GreenAmpt", st.builds(B.GreenAmpt, floats, floats, floats, floats),
             {"hydraulic_conductivity": is_float, "suction_head": is_float,
              "moisture_deficit": is_float, "initial_infiltration": is_float}),
    *getters("ScsUnitHydrograph", st.builds(B.ScsUnitHydrograph, durations, floats),
             {"lag": lambda v: type(v) is timedelta, "peak_rate_factor": is_float}),
    *getters("Snyder", st.builds(B.Snyder, floats, floats, floats, floats),
             {"ct": is_float, "cp": is_float, "stream_length": is_float,
              "centroid_length": is_float}),
    *getters("MuskingumCunge",
             st.builds(B.MuskingumCunge, floats, floats, floats, floats, floats,
                       st.one_of(st.none(), floats), st.one_of(st.none(), st.integers(0, 9)),
                       st.one_of(st.none(), st.integers(0, 9))),
             {"length": is_float, "slope": is_float, "manning_n": is_float,
              "bottom_width": is_float, "side_slope": is_float,
              "reference_flow": lambda v: v is None or type(v) is float,
              "sub_reaches": lambda v: v is None or type(v) is int,
              "sub_steps": lambda v: v is None or type(v) is int}),
    *getters("StorageIndication",
             storage_curves().map(lambda curve: B.StorageIndication(curve, {}, 1.0)),
             {"elevation_storage": lambda v: type(v) is ES, "outlets": lambda v: v == {},
              "initial_elevation": is_float}),
    *getters("BasinRun", st.just(BASIN_RUN), {"names": lambda v: v == ["north", "channel"],
                                              "time_step": lambda v: v == HOUR_}),
    *getters("ElementRun", st.sampled_from([BASIN_RUN["channel"], BASIN_RUN["north"]]),
             {"name": lambda v: v in ("channel", "north"), "outflow": as_series,
              "series": lambda v: type(v) is dict and list(v) in ([], ["excess", "loss", "direct",
                                                                     "baseflow"])}),
]


@pytest.fixture(scope="module", autouse=True)
def report_counts():
    yield
    if REPORT:
        with open(REPORT, "a") as out:
            for entry in ENTRIES:
                out.write(f"{CALLED[entry.name]}\t{RETURNED[entry.name]}\t{entry.name}\n")


@pytest.mark.parametrize("entry", ENTRIES, ids=[entry.name for entry in ENTRIES])
@settings(max_examples=EXAMPLES, deadline=None, suppress_health_check=list(HealthCheck))
@given(data=st.data())
def test_entry(entry, data):
    CALLED[entry.name] += 1
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        entry.run(data)
