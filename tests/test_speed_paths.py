"""The fast paths: NumPy buffers read directly.

A one-dimensional contiguous NumPy array is converted straight from its buffer; every value must
be the one that converting its items one by one gives (the items of `list(array)` are NumPy
scalars, which take the element-by-element path).
"""

import sys

import numpy as np
import pytest
from speed_paths_helpers import HOUR, ContinuousTimeSeries, child_output, rutils

import vesparil


def bits(values):
    return np.asarray(values, dtype=np.float64).view(np.uint64).tolist()


def sample(dtype, size=257, seed=11):
    """Random values of `dtype` with its extremes, and for floats the special values."""
    rng = np.random.default_rng(seed)
    dtype = np.dtype(dtype)
    if dtype.kind == "b":
        return rng.integers(0, 2, size).astype(dtype)
    if dtype.kind in "iu":
        info = np.iinfo(dtype)
        edges = [info.min, info.max, 0, 1, info.max - 1]
        if dtype.itemsize == 8:
            # Beyond 2**53 the conversion rounds: halfway and odd cases.
            edges += [2**53 + 1, 2**53 + 3, 2**62 + 2**9, info.max - 1023]
        drawn = rng.integers(info.min, info.max, size, dtype=dtype, endpoint=True)
        return np.concatenate([np.array(edges, dtype=dtype), drawn])
    info = np.finfo(dtype)
    edges = [0.0, -0.0, np.inf, -np.inf, np.nan, info.max, info.tiny, info.smallest_subnormal]
    drawn = rng.normal(0.0, 1e3, size).astype(dtype)
    return np.concatenate([np.array(edges, dtype=dtype), drawn])


FORMATS = ["f8", "f4", "i1", "u1", "i2", "u2", "i4", "u4", "i8", "u8", "?", "=i8", "<f4",
           np.intc, np.uintc, np.longlong, np.ulonglong]


@pytest.mark.parametrize("dtype", FORMATS, ids=str)
def test_buffer_gives_the_values_of_the_item_path(dtype):
    array = sample(dtype)
    direct = ContinuousTimeSeries(array, HOUR, "discharge").data
    by_item = ContinuousTimeSeries(list(array), HOUR, "discharge").data
    assert bits(direct) == bits(by_item)
    assert bits(direct) == bits([float(item) for item in array])


@pytest.mark.parametrize("dtype", FORMATS, ids=str)
def test_read_only_vectors_give_the_values_of_the_item_path(dtype):
    # calculate_kge reads float64 arrays in place and converts the other formats.
    sim = np.abs(sample(dtype, seed=3)[8:]) if np.dtype(dtype).kind == "f" else sample(dtype, seed=3)
    obs = np.roll(sim, 1)
    assert repr(vesparil.metrics.calculate_kge(sim, obs)) == repr(
        vesparil.metrics.calculate_kge(list(sim), list(obs)))


def test_curves_read_integer_arrays():
    elevation = np.arange(100, 110, dtype=np.int16)
    storage = np.arange(0, 1000, 100, dtype=np.uint32)
    curve = rutils.ElevationStorage(elevation, storage)
    assert curve.elevation == [float(e) for e in elevation]
    assert curve.storage == [float(s) for s in storage]


def test_any_nonzero_bool_byte_is_true():
    array = np.array([0, 1, 2, 255], dtype=np.uint8).view(np.bool_)
    assert ContinuousTimeSeries(array, HOUR, "discharge").data == [0.0, 1.0, 1.0, 1.0]


def test_a_fresh_process_reading_other_formats_first():
    # The float64 shortcut must remember only a float64 dtype, whatever the first array was.
    out = child_output("""
        import numpy as np, vesparil
        from datetime import timedelta
        C = vesparil.utils.ContinuousTimeSeries
        for dtype in ["i8", "u8", "i8", "f8", "i8", "f4", "u8"]:
            print(C(np.array([1, 2, 3], dtype=dtype), timedelta(hours=1), "discharge").data)
    """)
    assert out.splitlines() == ["[1.0, 2.0, 3.0]"] * 7


def unaligned(values):
    """A float64 array whose buffer starts one byte past an 8-byte boundary."""
    values = np.asarray(values, dtype=np.float64)
    array = np.frombuffer(bytearray(values.nbytes + 1), np.float64, values.size, 1)
    array[:] = values.ravel()
    assert not array.flags.aligned
    return array.reshape(values.shape)


def test_unaligned_arrays_are_read_by_value():
    # Typed reads at an odd address are undefined: such arrays take the item path (1-D), are
    # copied (a batch's table), or are refused as an output buffer.
    values = [1.5, 2.0, 7.25, 3.0, 0.5]
    other = [1.0, 2.5, 6.0, 3.5, 0.25]
    assert ContinuousTimeSeries(unaligned(values), HOUR, "discharge").data == values
    kge = vesparil.metrics.calculate_kge
    assert kge(unaligned(values), unaligned(other)) == kge(values, other)
    nse = vesparil.metrics.calculate_nse
    assert nse(unaligned([values, other]), unaligned(other)) == nse([values, other], other)
    with pytest.raises(TypeError, match="not aligned to 8 bytes"):
        nse([values, other], other, out=unaligned([0.0, 0.0]))


class Reversed(np.ndarray):
    def __iter__(self):
        return iter(np.asarray(self)[::-1].tolist())


def test_an_array_subclass_is_still_iterated():
    array = np.array([1.0, 2.0, 3.0]).view(Reversed)
    assert ContinuousTimeSeries(array, HOUR, "discharge").data == [3.0, 2.0, 1.0]


# A complex item converts with NumPy's ComplexWarning, as on the item path it takes.
@pytest.mark.filterwarnings("ignore::numpy.exceptions.ComplexWarning")
@pytest.mark.parametrize("dtype", ["f2", "c16", "O", ">i4"])
def test_other_formats_take_the_item_path(dtype):
    array = np.array([1, 2, 3], dtype=dtype)
    assert ContinuousTimeSeries(array, HOUR, "discharge").data == [1.0, 2.0, 3.0]


@pytest.mark.parametrize(
    "make, expected",
    [
        (lambda: np.arange(6.0)[::2], [0.0, 2.0, 4.0]),
        (lambda: np.arange(3.0).astype(np.dtype("f8", metadata={"unit": "cfs"})), [0.0, 1.0, 2.0]),
        (lambda: np.arange(3.0).astype(">f8"), [0.0, 1.0, 2.0]),
        (lambda: np.arange(3.0).reshape(3, 1), TypeError),
    ],
    ids=["strided", "own-dtype-object", "byte-swapped", "two-dimensional"],
)
def test_float64_arrays_after_one_was_seen(make, expected):
    # A plain float64 array first, so that later float64 arrays may take the shortest path.
    ContinuousTimeSeries(np.arange(3.0), HOUR, "discharge")
    array = make()
    if expected is TypeError:
        references = sys.getrefcount(array)
        for _ in range(3):
            with pytest.raises(TypeError):
                ContinuousTimeSeries(array, HOUR, "discharge")
            with pytest.raises(TypeError):
                vesparil.metrics.calculate_kge(array, array)
        # A refused export is released: nothing keeps the array.
        assert sys.getrefcount(array) == references
    else:
        assert ContinuousTimeSeries(array, HOUR, "discharge").data == expected
        kge = vesparil.metrics.calculate_kge
        assert repr(kge(array, array[::-1])) == repr(kge(expected, expected[::-1]))

