"""Hostile objects and values of every kind that the fuzzer of test_fuzz.py passes."""

import itertools
import math
from datetime import timedelta

import numpy as np
from hypothesis import strategies as st
from hypothesis.extra import numpy as hnp

import vesparil

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
