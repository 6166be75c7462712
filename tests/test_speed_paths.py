"""The fast paths: NumPy buffers read directly, and long runs that let other threads run.

A one-dimensional contiguous NumPy array is converted straight from its buffer; every value must
be the one that converting its items one by one gives (the items of `list(array)` are NumPy
scalars, which take the element-by-element path). Long model runs let go of the interpreter lock
and take it back only to look for pending signals.
"""

import math
import os
import signal
import subprocess
import sys
import textwrap
import threading
import time
from datetime import timedelta

import numpy as np
import pytest

import vesparil

HOUR = timedelta(hours=1)
ContinuousTimeSeries = vesparil.utils.ContinuousTimeSeries
rutils = vesparil.reservoir.reservoir_utils


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


def child_output(code, timeout=60):
    """Standard output of `code` run by a fresh interpreter (fails on a non-zero exit)."""
    done = subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True,
                          text=True, timeout=timeout,
                          env={**os.environ, "PYTHONPATH": os.pathsep.join(sys.path)})
    assert done.returncode == 0, done.stderr
    return done.stdout


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


# ---------------------------------------------------------------------------------------------
# Long runs without the interpreter lock


def long_pool_run(seconds_per_value):
    curve = rutils.ElevationStorage([0.0, 1e9], [0.0, 1e12])
    inflow = ContinuousTimeSeries([1.0, 2.0, 3.0], timedelta(seconds=seconds_per_value),
                                  "discharge")
    outlets = {"pump": rutils.ConstantDischargeInfo(0.5)}
    return lambda: vesparil.reservoir.run_level_pool_routing(inflow, 10.0, curve, outlets)


class Stop(Exception):
    pass


def stopped_after(seconds, call):
    """call(), stopped by a timer after `seconds` if it is still running then."""

    def stop(signum, frame):
        raise Stop

    previous = signal.signal(signal.SIGALRM, stop)
    signal.setitimer(signal.ITIMER_REAL, seconds)
    try:
        call()
    except Stop:
        pass
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0.0)
        signal.signal(signal.SIGALRM, previous)


def cascade_run(steps, reservoirs):
    rain = vesparil.utils.IncrementalTimeSeries([0.1] * steps, HOUR, "rainfall")
    layer = {"deep": vesparil.baseflow.LinearReservoir(timedelta(seconds=2**31), 0.5, 0.0, reservoirs)}
    return lambda: vesparil.baseflow.run_linear_reservoir(640.0, rain, layer)


LOCK_RELEASING_RUNS = {
    "level pool, 2e7 sub-steps": long_pool_run(10_000_000),
    # 4 values x 2^62 sub-reaches: a work estimate of 2^64, which must saturate, not wrap to 0.
    "muskingum, estimate beyond 64 bits": lambda: vesparil.reach.run_muskingum_routing(
        ContinuousTimeSeries([1.0] * 4, HOUR, "discharge"), HOUR, 0.2, 2**62, 1.0),
    # Few steps through a long cascade: the estimate must count the reservoirs.
    "linear reservoir, 256 steps x 1e6 reservoirs": cascade_run(256, 1_000_000),
    # 3,000 members of 1e5 values, each the same array read in place: 3e8 values scored.
    "metrics ensemble, 3e8 values": (lambda row: lambda: vesparil.metrics.calculate_kge_components(
        [row] * 3000, row))(np.linspace(1.0, 2.0, 100_000)),
}


@pytest.mark.skipif(not hasattr(signal, "setitimer"), reason="needs interval timers")
@pytest.mark.parametrize("name", LOCK_RELEASING_RUNS)
def test_another_thread_runs_during_a_long_call(name):
    counter = [0]
    stop = threading.Event()

    def count():
        while not stop.is_set():
            counter[0] += 1

    previous_interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-4)
    worker = threading.Thread(target=count)
    worker.start()
    try:
        time.sleep(0.05)
        # Rate of the counter alone, then its progress during the call.
        before, start = counter[0], time.perf_counter()
        time.sleep(0.1)
        rate = (counter[0] - before) / (time.perf_counter() - start)
        before, start = counter[0], time.perf_counter()
        stopped_after(0.4, LOCK_RELEASING_RUNS[name])
        elapsed = time.perf_counter() - start
        during = counter[0] - before
    finally:
        stop.set()
        worker.join()
        sys.setswitchinterval(previous_interval)
    # With the lock held throughout, the counter could only move in the few switch intervals
    # around the call (well under 1 ms here); without it, it runs for most of the call.
    assert elapsed > 0.05
    assert during > rate * 0.02, (during, rate, elapsed)


@pytest.mark.skipif(not hasattr(signal, "setitimer"), reason="needs interval timers")
def test_interruption_checks_stay_rare():
    # A long call asks for pending signals once per 2^22 units of work: 2^24 Clark ordinates
    # make about 16 questions over their four stages. A timer firing every millisecond has its
    # handler run at most once per question; a counter that stopped resetting after its first
    # interval would ask at every ordinate, and the handler would run every millisecond.
    rain = vesparil.utils.IncrementalTimeSeries([1.0], timedelta(seconds=1), "rainfall")
    runs = []
    previous = signal.signal(signal.SIGALRM, lambda signum, frame: runs.append(1))
    signal.setitimer(signal.ITIMER_REAL, 0.001, 0.001)
    try:
        vesparil.rainfall_transform.run_clark_uh(rain, 640.0, timedelta(seconds=2**24), HOUR)
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0.0)
        signal.signal(signal.SIGALRM, previous)
    assert len(runs) <= 40


CTRL_C_CHILD = textwrap.dedent(
    """
    import signal, sys, time
    # As a child of a background job it may start with SIGINT ignored: Ctrl-C must reach it.
    signal.signal(signal.SIGINT, signal.default_int_handler)
    from datetime import timedelta
    import vesparil
    rutils = vesparil.reservoir.reservoir_utils
    curve = rutils.ElevationStorage([0.0, 1e9], [0.0, 1e12])
    inflow = vesparil.utils.ContinuousTimeSeries(
        [1.0, 2.0, 3.0], timedelta(seconds=1_000_000_000), "discharge")
    outlets = {"pump": rutils.ConstantDischargeInfo(0.5)}
    print("ready", flush=True)
    start = time.perf_counter()
    try:
        vesparil.reservoir.run_level_pool_routing(inflow, 10.0, curve, outlets)
    except KeyboardInterrupt:
        print(f"interrupted {time.perf_counter() - start:.3f}", flush=True)
        sys.exit(0)
    print("finished", flush=True)
    """
)


@pytest.mark.skipif(os.name != "posix", reason="sends SIGINT to a child process")
def test_ctrl_c_stops_a_long_call_running_without_the_lock():
    # 2e9 sub-steps take minutes: only the interrupt can end the call in time.
    child = subprocess.Popen([sys.executable, "-c", CTRL_C_CHILD], stdout=subprocess.PIPE,
                             text=True, env={**os.environ, "PYTHONPATH": os.pathsep.join(sys.path)})
    try:
        assert child.stdout.readline().strip() == "ready"
        time.sleep(0.3)
        sent = time.perf_counter()
        child.send_signal(signal.SIGINT)
        out, _ = child.communicate(timeout=30)
        latency = time.perf_counter() - sent
    finally:
        child.kill()
        child.wait()
    assert out.startswith("interrupted"), out
    assert latency < 5.0


@pytest.mark.skipif(not hasattr(signal, "setitimer"), reason="needs interval timers")
def test_a_signal_handler_may_call_the_module_during_a_long_call():
    # The handler runs inside the long call's pending-signal check, with the lock taken back;
    # it routes a shorter run of its own (long enough to let go of the lock too) and then stops
    # the outer call.
    outer, inner = long_pool_run(1_000_000_000), long_pool_run(1_000_000)
    results = []

    class Stop(Exception):
        pass

    def handler(signum, frame):
        results.append(inner())
        raise Stop

    previous = signal.signal(signal.SIGALRM, handler)
    signal.setitimer(signal.ITIMER_REAL, 0.05)
    try:
        with pytest.raises(Stop):
            outer()
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0.0)
        signal.signal(signal.SIGALRM, previous)
    assert len(results[0].reservoir_storage.data) == 2


# A pending-signal check made with the lock held must know it: a handler, or the next call on a
# thread that has run without the lock, would otherwise hand back a lock it holds, and hang.
# disaggregate runs with the lock held and checks once per 2^22 values.
HELD_LOCK_CHILDREN = {
    "after an unlocked run": """
        run_level_pool()
        print(len(long_held_call().data))
    """,
    "in a handler during an unlocked run": """
        import signal
        done = []
        def handler(signum, frame):
            done.append(len(long_held_call().data))
            raise KeyboardInterrupt
        signal.signal(signal.SIGALRM, handler)
        signal.setitimer(signal.ITIMER_REAL, 0.05)
        try:
            run_level_pool(10**9)
        except KeyboardInterrupt:
            print(done[0])
    """,
}
HELD_LOCK_PRELUDE = """
    from datetime import timedelta
    import vesparil
    ru = vesparil.reservoir.reservoir_utils
    def run_level_pool(seconds=10**7):
        vesparil.reservoir.run_level_pool_routing(
            vesparil.utils.ContinuousTimeSeries([1.0, 2.0, 3.0], timedelta(seconds=seconds),
                                                "discharge"),
            10.0, ru.ElevationStorage([0.0, 1e9], [0.0, 1e12]), {"pump": ru.ConstantDischargeInfo(0.5)})
    def long_held_call():
        rain = vesparil.utils.IncrementalTimeSeries([1.0] * 5, timedelta(seconds=30 * 10**6),
                                                    "rainfall")
        return rain.disaggregate(30)
"""


@pytest.mark.skipif(not hasattr(signal, "setitimer"), reason="needs interval timers")
@pytest.mark.parametrize("name", HELD_LOCK_CHILDREN)
def test_checks_with_the_lock_held_do_not_hang(name):
    code = textwrap.dedent(HELD_LOCK_PRELUDE) + textwrap.dedent(HELD_LOCK_CHILDREN[name])
    assert child_output(code, timeout=30) == "5000000\n"
