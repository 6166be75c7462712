"""The type stubs in stubs/vesparil-stubs against the runtime module, and mypy over examples/.

The stubs describe each submodule in a private stub module (`_reach.pyi` for `reach`) that the
parent re-exports under the public name, so the walk below follows those re-exports.
"""

import ast
import importlib.util
import inspect
import subprocess
import sys
import types
from pathlib import Path

import pytest

import vesparil

REPO = Path(__file__).resolve().parent.parent
STUBS = REPO / "stubs" / "vesparil-stubs"
# Py_TPFLAGS_BASETYPE: the class can be subclassed.
BASETYPE = 1 << 10


def stub_module(name):
    """The parsed stub of `vesparil.<name>` ("" for the top module)."""
    path = STUBS / ("__init__.pyi" if not name else f"{name}.pyi")
    return ast.parse(path.read_text(), filename=str(path))


def stub_names(tree):
    """`__all__`, then the re-exported submodules, classes and functions of a stub module."""
    exported, submodules, classes, functions = None, {}, {}, {}
    for node in tree.body:
        if isinstance(node, ast.Assign) and node.targets[0].id == "__all__":
            exported = ast.literal_eval(node.value)
        elif isinstance(node, ast.ImportFrom) and node.module == "vesparil":
            for alias in node.names:
                if alias.asname and not alias.asname.startswith("_"):
                    submodules[alias.asname] = alias.name
        elif isinstance(node, ast.ImportFrom) and node.module.startswith("vesparil._"):
            # `from vesparil._x import Name as Name`: a class written in another stub module
            # and re-exported here.
            defined = {n.name: n for n in stub_module(node.module[len("vesparil."):]).body
                       if isinstance(n, ast.ClassDef)}
            for alias in node.names:
                if alias.asname == alias.name and alias.name in defined:
                    classes[alias.name] = defined[alias.name]
        elif isinstance(node, ast.ClassDef):
            classes[node.name] = node
        elif isinstance(node, ast.FunctionDef):
            # Of overloads, the last; they all take the same parameters.
            functions[node.name] = node
    return exported, submodules, classes, functions


def stub_parameters(function):
    """(name, has default, keyword-only) for every parameter after self or cls."""
    args = function.args
    plain = args.posonlyargs + args.args
    first_default = len(plain) - len(args.defaults)
    pairs = [(a.arg, i >= first_default, False) for i, a in enumerate(plain)]
    pairs += [(a.arg, d is not None, True) for a, d in zip(args.kwonlyargs, args.kw_defaults)]
    if pairs and pairs[0][0] in ("self", "cls"):
        pairs = pairs[1:]
    assert not args.vararg and not args.kwarg
    return pairs


def runtime_parameters(callable_object):
    parameters = inspect.signature(callable_object).parameters.values()
    return [(p.name, p.default is not inspect.Parameter.empty,
             p.kind is inspect.Parameter.KEYWORD_ONLY) for p in parameters if p.name != "self"]


def decorators(node):
    return {d.id if isinstance(d, ast.Name) else ast.unparse(d) for d in node.decorator_list}


def class_members(node):
    """Stub members of a class: name -> "property" or "method" (setters fold into properties)."""
    members = {}
    for item in node.body:
        # Dunder methods other than __new__ (a result's __getitem__) are left out, as at run time.
        if isinstance(item, ast.FunctionDef) and item.name.startswith("__") and item.name != "__new__":
            continue
        if isinstance(item, ast.FunctionDef):
            kind = "property" if decorators(item) & {"property", f"{item.name}.setter"} else "method"
            members[item.name] = (kind, item)
    return members


def runtime_members(cls):
    members = {}
    for name, value in vars(cls).items():
        if name.startswith("_") and name != "__new__":
            continue
        if name == "__new__":
            members[name] = "method"
        else:
            members[name] = "property" if type(value).__name__ == "getset_descriptor" else "method"
    return members


def walk(module, stub_name, path):
    """Yields (path, problem) for every difference between a runtime module and its stub."""
    exported, submodules, classes, functions = stub_names(stub_module(stub_name))
    if exported != module.__all__:
        yield path, f"__all__ {exported} != {module.__all__}"
    for name in module.__all__:
        value, where = getattr(module, name), f"{path}.{name}"
        if isinstance(value, types.ModuleType):
            if name not in submodules:
                yield where, "submodule missing from the stub"
            else:
                yield from walk(value, submodules[name], where)
        elif isinstance(value, type):
            if name not in classes:
                yield where, "class missing from the stub"
                continue
            node = classes[name]
            stub_members = class_members(node)
            kinds = {member: kind for member, (kind, _) in stub_members.items()}
            if kinds != runtime_members(value):
                yield where, f"members {kinds} != {runtime_members(value)}"
            if "__new__" in stub_members and "__new__" in vars(value):
                if stub_parameters(stub_members["__new__"][1]) != runtime_parameters(value):
                    yield where, "constructor parameters differ"
            for member, (kind, item) in stub_members.items():
                if kind == "method" and member != "__new__" and hasattr(value, member):
                    if stub_parameters(item) != runtime_parameters(getattr(value, member)):
                        yield f"{where}.{member}", "parameters differ"
            if ("final" in decorators(node)) != (not value.__flags__ & BASETYPE):
                yield where, "@final does not match whether the class can be subclassed"
        else:
            if name not in functions:
                yield where, "function missing from the stub"
            elif stub_parameters(functions[name]) != runtime_parameters(value):
                yield where, "parameters differ"


def test_stubs_match_the_runtime_module():
    assert list(walk(vesparil, "", "vesparil")) == []


def test_stub_package_is_installed_next_to_the_module():
    installed = Path(vesparil.__file__).parent / "vesparil-stubs"
    assert installed.is_dir(), f"no stubs next to {vesparil.__file__}: reinstall the module"
    expected = sorted(p.name for p in STUBS.iterdir())
    assert sorted(p.name for p in installed.iterdir() if p.is_file()) == expected
    assert "py.typed" in expected


MISUSE = """\
from datetime import timedelta
import vesparil
import vesparil.reach
vesparil.utils.ContinuousTimeSeries([1.0], 3600, "discharge")
vesparil.utils.ContinuousTimeSeries([1.0], timedelta(hours=1), "flow")
vesparil.metrics.calculate_kge([1.0], [1.0], use_log=1)
vesparil.metrics.calculate_rmse([1.0], [1.0], missing="drop")
class Layer(vesparil.baseflow.LinearReservoir): ...
"""


def test_mypy_strict_passes_on_the_examples_and_rejects_misuse(tmp_path):
    if importlib.util.find_spec("mypy") is None:
        pytest.skip("mypy is not installed (pip install '.[test]' brings it)")
    misuse = tmp_path / "misuse.py"
    misuse.write_text(MISUSE)
    run = subprocess.run(
        [sys.executable, "-m", "mypy", "--strict", "--cache-dir", str(tmp_path / "cache"),
         "examples/", str(misuse)],
        cwd=REPO, capture_output=True, text=True,
    )
    errors = [line for line in run.stdout.splitlines() if ": error:" in line]
    assert [e for e in errors if not e.startswith(str(misuse))] == [], run.stdout
    # One error per misuse line: the stubs are seen (no Any), so each mistake is caught.
    assert sorted({int(e.split(":")[1]) for e in errors}) == [3, 4, 5, 6, 7, 8], run.stdout
