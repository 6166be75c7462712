"""The fast paths: long runs that let other threads run.

Long model runs let go of the interpreter lock and take it back only to look for pending signals.
"""

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
from speed_paths_helpers import HOUR, ContinuousTimeSeries, child_output, rutils

import vesparil


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
