"""Fixtures shared by the binding, module-tree and leak tests."""

import pytest

import vesparil


def _resolve(path):
    """The object at dotted `path` below the top module; skips the test when a part is missing.

    Submodules are filled one subsystem at a time, so tests of an entry that is not registered
    yet are skipped rather than failed.
    """
    target = vesparil
    for part in path.split("."):
        if not hasattr(target, part):
            pytest.skip(f"vesparil.{path} is not registered")
        target = getattr(target, part)
    return target


@pytest.fixture
def entry():
    return _resolve
