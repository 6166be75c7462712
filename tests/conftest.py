"""Fixtures shared by the test modules."""

import contextlib
import signal

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


class Interrupted(Exception):
    """Raised by the timer's signal handler of `interrupted_after`."""


@contextlib.contextmanager
def _interrupted_after(seconds):
    """Runs the block with a timer whose signal handler raises Interrupted, and expects it."""

    def stop(signum, frame):
        raise Interrupted

    previous = signal.signal(signal.SIGALRM, stop)
    signal.setitimer(signal.ITIMER_REAL, seconds)
    try:
        with pytest.raises(Interrupted):
            yield
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0.0)
        signal.signal(signal.SIGALRM, previous)


@pytest.fixture
def interrupted_after():
    return _interrupted_after
