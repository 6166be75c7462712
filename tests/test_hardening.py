"""Hardening: sub-interpreters, free threading and the internal-error class.

Whatever could crash or hang the interpreter runs in a child process with a time limit, so that a
fault fails one test instead of taking the suite down.
"""

import subprocess
import sys
import textwrap

import pytest
from hardening_helpers import run_child


# ---------------------------------------------------------------------------------------------
# Sub-interpreters: the classes and the datetime interface are process-wide, so the module loads
# only into the main interpreter; anywhere else the import fails cleanly.

SUBINTERPRETER_CHILD = """
    import os, sys
    from datetime import timedelta
    try:
        import _interpreters as interpreters  # 3.13 on
        create = {{"shared": lambda: interpreters.create("legacy"),
                   "isolated": lambda: interpreters.create("isolated")}}[{kind!r}]
    except ImportError:
        import _xxsubinterpreters as interpreters  # 3.11 and 3.12
        create = {{"shared": lambda: interpreters.create(isolated=False),
                   "isolated": lambda: interpreters.create(isolated=True)}}[{kind!r}]

    if {main_first}:
        import vesparil
    read_end, write_end = os.pipe()
    script = f'''
    import os
    try:
        import vesparil
    except ImportError as error:
        outcome = "ImportError: " + str(error)
    except BaseException as error:
        outcome = type(error).__name__ + ": " + str(error)
    else:
        outcome = "imported"
    os.write({{write_end}}, outcome.encode("utf-8", "replace") + b"\\\\n")
    '''
    # Two rounds: a class or capsule left behind by the first interpreter would be freed with it.
    for _ in range(2):
        interpreter = create()
        interpreters.run_string(interpreter, script)
        interpreters.destroy(interpreter)
        print(os.read(read_end, 4096).decode().strip(), flush=True)
    import vesparil
    series = vesparil.utils.ContinuousTimeSeries([1.0, 2.0], timedelta(hours=1), "discharge")
    print("main:", series.total_duration(), flush=True)
"""


def subinterpreters_available():
    for name in ("_interpreters", "_xxsubinterpreters"):
        try:
            __import__(name)
            return True
        except ImportError:
            pass
    return False


@pytest.mark.skipif(not subinterpreters_available(),
                    reason="this interpreter has no low-level sub-interpreter module")
@pytest.mark.parametrize("main_first", [False, True], ids=["sub-first", "main-first"])
@pytest.mark.parametrize("kind", ["shared", "isolated"])
def test_import_in_a_subinterpreter_is_refused(kind, main_first):
    done = run_child(SUBINTERPRETER_CHILD.format(kind=kind, main_first=main_first))
    assert done.returncode == 0, done.stderr
    first, second, main = done.stdout.splitlines()
    for outcome in (first, second):
        assert outcome.startswith("ImportError: "), outcome
        assert "interpreter" in outcome.lower(), outcome
    assert main == "main: 3600"


# ---------------------------------------------------------------------------------------------
# Free threading: list items replaced by another thread while a list is being converted.

FREE_THREADED = hasattr(sys, "_is_gil_enabled") and not sys._is_gil_enabled()

LIST_RACE_CHILD = """
    import threading, time
    from datetime import timedelta
    import vesparil
    values = [float(i) for i in range(1000)]
    stop = False

    def replace_items():
        k = 0
        while not stop:
            k += 1
            for i in range(len(values)):
                values[i] = float(i + k % 7)  # a new float each time; the old one is freed

    writers = [threading.Thread(target=replace_items) for _ in range(3)]
    for writer in writers:
        writer.start()
    end = time.monotonic() + 2.0
    made = 0
    while time.monotonic() < end:
        data = vesparil.utils.ContinuousTimeSeries(values, timedelta(hours=1), "discharge").data
        assert all(i <= x <= i + 6 for i, x in enumerate(data)), data
        made += 1
    stop = True
    for writer in writers:
        writer.join()
    print(made)
"""


@pytest.mark.skipif(not FREE_THREADED, reason="needs a free-threaded interpreter running without "
                    "the GIL: with the GIL no other thread can replace an item mid-read")
def test_list_items_replaced_during_conversion():
    done = run_child(LIST_RACE_CHILD)
    assert done.returncode == 0, done.stderr
    assert int(done.stdout) > 0


# ---------------------------------------------------------------------------------------------
# The internal-error class exists as soon as the module is imported.


def test_internal_error_class_exists_right_after_import():
    done = run_child("""
        import vesparil
        print([c.__name__ for c in BaseException.__subclasses__()].count("PanicException"))
    """)
    assert done.returncode == 0, done.stderr
    assert done.stdout.split() == ["1"]


# The first internal error is raised by the main thread; while it is inside a garbage collection
# (a point where the interpreter may switch threads) three other threads raise one too. Creating
# the class at that moment under a lock that keeps the interpreter lock deadlocks.
FIRST_PANICS_CHILD = """
    import gc, os, threading, time
    import vesparil
    curve = vesparil.reservoir.reservoir_utils.ElevationStorage([], [])
    go = False
    names = []

    def let_the_others_in(phase, info):
        global go
        # The diagnostic on stderr says an internal error is being raised right now.
        if (phase == "start" and threading.current_thread() is threading.main_thread()
                and os.fstat(2).st_size > 0):
            go = True
            time.sleep(0.05)

    def raise_internal():
        try:
            curve.get_storage(1.0)
        except BaseException as error:
            names.append(type(error).__name__)

    def wait_then_raise():
        while not go:
            pass
        raise_internal()

    others = [threading.Thread(target=wait_then_raise) for _ in range(3)]
    for thread in others:
        thread.start()
    gc.callbacks.append(let_the_others_in)
    gc.set_threshold(1)
    raise_internal()
    go = True
    for thread in others:
        thread.join()
    gc.set_threshold(700)
    print(" ".join(names))
"""


def test_first_internal_errors_in_several_threads_do_not_deadlock(tmp_path):
    # stderr goes to a file so that the child can see its size.
    with open(tmp_path / "stderr", "w+") as stderr:
        child = subprocess.Popen([sys.executable, "-c", textwrap.dedent(FIRST_PANICS_CHILD)],
                                 stdout=subprocess.PIPE, stderr=stderr, text=True)
        try:
            out, _ = child.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            child.kill()
            child.communicate()
            pytest.fail("deadlocked: four threads raising the first internal errors")
    assert child.returncode == 0
    assert out.split() == ["PanicException"] * 4

