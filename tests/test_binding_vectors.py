"""Value conversion, exercised through the time-series entries: float vectors from lists,
tuples, sequences that change or fail while read, NumPy arrays, and what is refused."""

import numpy as np
import pytest
from binding_helpers import (HOUR, ContinuousTimeSeries, HasIndex, TextSubclass,
                             float_conversion_error, raised)


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
