"""The sources' layers, read from their #include lines: each layer includes only from the layers
below it (ARCHITECTURE.md), the basin's floors likewise, and no header includes itself back
through others."""

import re
from pathlib import Path

import pytest

SRC = Path(__file__).resolve().parent.parent / "src"
if not SRC.is_dir():
    pytest.skip("the sources are not beside the tests (an installed copy)", allow_module_level=True)

INCLUDE = re.compile(r'^#include "([^"]+)"', re.MULTILINE)
# The basin's floors, lowest first: a floor includes only its own and lower ones.
FLOORS = ["model", "daily", "run", "batch", "python"]


def includes(path):
    return INCLUDE.findall(path.read_text())


def sources():
    return sorted(p for p in SRC.rglob("*") if p.suffix in (".hpp", ".cpp"))


def layer(relative):
    """The layer of a file under src/: core, binding, utils, a subsystem, basin or assembly."""
    parts = Path(relative).parts
    return parts[0] if len(parts) > 1 else "assembly"


def allowed(source, target, source_file, target_file):
    if source == target:
        return True
    registration = source_file.name.startswith("init_") or "_classes" in source_file.name
    rules = {
        "core": set(),
        "binding": {"core"},
        "utils": {"core", "binding"} if registration else {"core"},
    }
    if source in rules:
        return target in rules[source]
    if source == "assembly":
        return True
    if source == "basin":
        return target != "assembly"
    # A subsystem: core and utils; its registration also binding and other subsystems' classes;
    # its core another subsystem's core where its method is built on it.
    if target in ("core", "utils"):
        return True
    if target == "binding":
        return registration
    if target in ("basin", "assembly"):
        return False
    return registration or not ("_classes" in target_file or target_file.startswith(
        f"{target}/init_"))


@pytest.mark.parametrize("path", sources(), ids=lambda p: str(p.relative_to(SRC)))
def test_a_file_includes_only_from_its_layer_and_below(path):
    relative = path.relative_to(SRC)
    source = layer(relative)
    for included in includes(path):
        if included in ("Python.h",) or "/" not in included:
            continue
        target = layer(included)
        assert allowed(source, target, relative, included), f"{relative} includes {included}"
        if source == target == "basin":
            floor, below = relative.parts[1], Path(included).parts[1]
            assert FLOORS.index(below) <= FLOORS.index(floor), f"{relative} includes {included}"


def test_no_include_cycle():
    graph = {str(p.relative_to(SRC)): [i for i in includes(p) if (SRC / i).exists()]
             for p in sources()}
    state = {}

    def visit(node, trail):
        if state.get(node) == "done":
            return
        assert state.get(node) != "open", "include cycle: " + " -> ".join(trail + [node])
        state[node] = "open"
        for child in graph.get(node, []):
            visit(child, trail + [node])
        state[node] = "done"

    for node in graph:
        visit(node, [])
