"""The module tree: submodules, registration order, and the Python facts of classes and functions."""

import importlib
import os
import pickle
import subprocess
import sys
import types
import weakref
from datetime import timedelta

import pytest

import entries
import vesparil

from entries import CLASSES, SUBMODULE_ALL, TOP_ALL

FUNCTIONS = {path: signature for path, (signature, _) in entries.FUNCTIONS.items()}


CONTINUOUS_DOC = (
    "A uniformly-spaced time series where each value represents a quantity at a\n"
    "discrete point in time (e.g. discharge, elevation, storage).\n\n"
    "Total duration spans first to last point: `time_step * (len(data) - 1)`.\n"
    "Supports linear interpolation between points."
)
INCREMENTAL_DOC = (
    "A uniformly-spaced time series where each value represents a quantity\n"
    "accumulated over one time step interval (e.g. rainfall depth, volume added).\n\n"
    "Total duration spans all intervals: `time_step * len(data)`.\n"
    "Supports disaggregation to a finer time step."
)
METHOD_DOCS = {
    ("ContinuousTimeSeries", "total_duration"): "Total duration from first to last data point (seconds).",
    ("IncrementalTimeSeries", "total_duration"): "Total duration spanning all time step intervals (seconds).",
    ("IncrementalTimeSeries", "disaggregate"): (
        "Disaggregates to a finer `target_step` (seconds) by uniformly\n"
        "distributing each bucket's value. Total depth is preserved."
    ),
}


def public_names(module):
    return {name for name in vars(module) if not name.startswith("__")}


def test_top_module():
    assert vesparil.__all__ == TOP_ALL
    assert vesparil.__doc__ == ""
    # Nothing but the eight submodules hangs from the top module.
    assert public_names(vesparil) == set(TOP_ALL)
    for name in TOP_ALL:
        assert type(getattr(vesparil, name)) is types.ModuleType


@pytest.mark.parametrize("path", list(SUBMODULE_ALL))
def test_submodule_name_and_doc(entry, path):
    module = entry(path)
    assert type(module) is types.ModuleType
    assert module.__name__ == path.rsplit(".", 1)[-1]
    assert module.__doc__ is None


@pytest.mark.parametrize("path", list(SUBMODULE_ALL))
def test_submodule_registration_order(entry, path):
    module = entry(path)
    registered = getattr(module, "__all__", [])
    if not registered:
        pytest.skip(f"{path} is not filled yet")
    assert registered == SUBMODULE_ALL[path]
    assert public_names(module) == set(SUBMODULE_ALL[path])


def test_outlet_classes_live_only_in_reservoir_utils(entry):
    entry("reservoir.reservoir_utils.ElevationStorage")
    assert not hasattr(vesparil.reservoir, "ElevationStorage")


@pytest.mark.parametrize("name", TOP_ALL)
def test_submodules_are_attributes_not_importable_modules(name):
    namespace = {}
    exec(f"from vesparil import {name}", namespace)
    assert namespace[name] is getattr(vesparil, name)
    assert f"vesparil.{name}" not in sys.modules
    with pytest.raises(ModuleNotFoundError):
        importlib.import_module(f"vesparil.{name}")
    with pytest.raises(ModuleNotFoundError):
        exec(f"import vesparil.{name}", {})


def test_panic_exception_is_not_registered():
    modules = [vesparil] + [getattr(vesparil, name) for name in TOP_ALL]
    assert not any(hasattr(module, "PanicException") for module in modules)


@pytest.mark.parametrize("path", list(FUNCTIONS))
def test_function_facts(entry, path):
    function = entry(path)
    module_path, name = path.rsplit(".", 1)
    module = entry(module_path)
    assert isinstance(function, types.BuiltinFunctionType)
    assert function.__name__ == name
    assert function.__self__ is module
    assert function.__module__ == module_path.rsplit(".", 1)[-1]
    assert function.__text_signature__ == FUNCTIONS[path]


@pytest.mark.parametrize("path", list(CLASSES))
def test_class_facts(entry, path):
    cls = entry(path)
    signature, _, methods, _, _ = CLASSES[path]
    assert isinstance(cls, type)
    assert cls.__name__ == path.rsplit(".", 1)[-1]
    module, qualname = entries.IMPORTABLE_AS.get(path, ("builtins", cls.__name__))
    assert cls.__module__ == module
    assert cls.__qualname__ == qualname
    assert cls.__bases__ == (object,)
    # No instance __dict__ and no weak-reference slot.
    assert cls.__dictoffset__ == 0
    assert cls.__weakrefoffset__ == 0
    if signature is not None:
        assert cls.__text_signature__ == signature
    for method, method_signature in methods.items():
        assert getattr(cls, method).__text_signature__ == method_signature


@pytest.mark.parametrize("path", list(CLASSES))
def test_subclassing(entry, path):
    cls = entry(path)
    if CLASSES[path][1]:
        subclass = type("Sub", (cls,), {})
        assert issubclass(subclass, cls)
    else:
        with pytest.raises(TypeError, match="acceptable base type"):
            type("Sub", (cls,), {})


@pytest.mark.parametrize("path", [p for p, facts in CLASSES.items() if facts[0] is None])
def test_result_classes_cannot_be_instantiated(entry, path):
    cls = entry(path)
    with pytest.raises(TypeError):
        cls()


def test_time_series_docstrings():
    utils = vesparil.utils
    assert utils.ContinuousTimeSeries.__doc__ == CONTINUOUS_DOC
    assert utils.IncrementalTimeSeries.__doc__ == INCREMENTAL_DOC
    for (cls, method), doc in METHOD_DOCS.items():
        assert getattr(getattr(utils, cls), method).__doc__ == doc


@pytest.mark.parametrize("cls", [vesparil.utils.ContinuousTimeSeries, vesparil.utils.IncrementalTimeSeries])
def test_time_series_instances_have_only_object_behaviour(cls):
    series = cls([1.0, 2.0], timedelta(hours=1), "discharge")
    twin = cls([1.0, 2.0], timedelta(hours=1), "discharge")
    assert not hasattr(series, "__dict__")
    with pytest.raises(AttributeError):
        series.label = "x"
    with pytest.raises(TypeError):
        weakref.ref(series)
    # Identity comparison and hashing, nothing more.
    assert series != twin
    assert series == series
    assert hash(series) == object.__hash__(series)
    with pytest.raises(TypeError):
        series < twin  # noqa: B015
    with pytest.raises(TypeError):
        len(series)
    with pytest.raises(TypeError):
        iter(series)
    with pytest.raises(TypeError):
        pickle.dumps(series)


def test_import_issues_no_warning():
    # Run in a fresh interpreter: this process imported the module before any filter was set.
    code = (
        "import warnings\n"
        "with warnings.catch_warnings(record=True) as caught:\n"
        "    warnings.simplefilter('always')\n"
        "    import vesparil\n"
        "print([str(w.message) for w in caught])\n"
    )
    location = os.path.dirname(vesparil.__file__)
    env = dict(os.environ, PYTHONPATH=location)
    done = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout.strip() == "[]"
    assert done.stderr == ""
