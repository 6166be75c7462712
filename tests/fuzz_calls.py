"""The fuzzer's rows (calls, getters, setters) and the checks of what they return."""

import collections
import struct
from dataclasses import dataclass, field
from typing import Any, Callable

import numpy as np
from hypothesis import strategies as st

from fuzz_instances import anything, mostly
from fuzz_values import C, I, LR, HostileError

PANIC = "PanicException"


# Examples run and calls that returned (rather than raised), per entry.
CALLED = collections.Counter()
RETURNED = collections.Counter()


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


is_float = lambda v: type(v) is float  # noqa: E731
as_series = lambda v: type(v) is C  # noqa: E731
as_incremental = lambda v: type(v) is I  # noqa: E731
