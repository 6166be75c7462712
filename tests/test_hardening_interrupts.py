"""Hardening: long calls that must stop soon after Ctrl-C and look for signals while they run.

Whatever could crash or hang the interpreter runs in a child process with a time limit, so that a
fault fails one test instead of taking the suite down.
"""

import os
import signal
import subprocess
import sys
import textwrap
import time

import pytest
from hardening_helpers import run_child


# ---------------------------------------------------------------------------------------------
# Ctrl-C: a long call stops soon after SIGINT with KeyboardInterrupt. Each run below would go on
# for many seconds (the ones marked slow for a minute or more), far beyond the bound, so only a
# pending-signal check inside the loop can pass.

SIGNAL_AFTER = 0.3
# Under the sanitizers (env VESPARIL_SANITIZED) allocating and freeing the 5.7 GB block below
# also writes its shadow memory, some 700 MB each time: 1.4 s of the wait measured there.
BOUND = 6.0 if os.environ.get("VESPARIL_SANITIZED") else 2.0

INTERRUPT_CHILD = """
    import signal, sys, time
    from datetime import timedelta
    import numpy as np
    import vesparil
    signal.signal(signal.SIGINT, signal.default_int_handler)
    C = vesparil.utils.ContinuousTimeSeries
    I = vesparil.utils.IncrementalTimeSeries
    ru = vesparil.reservoir.reservoir_utils
    call = {call}
    print("ready", flush=True)
    try:
        call()
    except KeyboardInterrupt:
        print("interrupted", flush=True)
    else:
        print("finished", flush=True)
"""

LONG_CALLS = {
    # 10^8 ordinates at a one-second step, 10 s and 2.4 GB uninterrupted.
    "clark ordinates": """lambda: vesparil.rainfall_transform.run_clark_uh(
        I([1.0], timedelta(seconds=1), "rainfall"), 640.0, timedelta(seconds=1e8),
        timedelta(hours=1))""",
    # 50,000 rainfall steps convolved with 10^6 ordinates: 5 x 10^10 multiply-adds, 8 MB.
    "clark convolution": """lambda: vesparil.rainfall_transform.run_clark_uh(
        I([1.0] * 50_000, timedelta(seconds=1), "rainfall"), 640.0, timedelta(seconds=10**6),
        timedelta(hours=1))""",
    # Ten steps of 2147483640 s (a multiple of 30) split into 30 s: 7 x 10^8 values, 5.7 GB.
    "disaggregate": """lambda: I([1.0] * 10, timedelta(seconds=2147483640), "rainfall").disaggregate(
        30)""",
    # 20,000 steps through a chain of 10^6 reservoirs: 2 x 10^10 updates.
    "linear reservoir": """lambda: vesparil.baseflow.run_linear_reservoir(
        640.0, I([0.1] * 20_000, timedelta(hours=1), "rainfall"),
        {"deep": vesparil.baseflow.LinearReservoir(timedelta(seconds=2**31), 0.5, 0.0, 10**6)})""",
    # 10^4 values through 10^12 sub-reaches: days.
    "muskingum": """lambda: vesparil.reach.run_muskingum_routing(
        C([1.0] * 10_000, timedelta(hours=1), "discharge"), timedelta(hours=1), 0.2, 10**12,
        1.0)""",
    # 10^4 values through 10^5 sub-reaches and 1000 sub-steps: 10^12 cell updates.
    "muskingum-cunge": """lambda: vesparil.reach.run_muskingum_cunge_routing(
        C([1.0, 100.0] * 5_000, timedelta(hours=1), "discharge"), 1.0e5, 0.001, 0.035, 20.0,
        sub_reaches=100_000, sub_steps=1000)""",
    # An ensemble of 10^5 members of 10^5 steps, each member the same array read in place:
    # 10^10 values.
    "metrics ensemble": """(lambda row: lambda: vesparil.metrics.calculate_nse([row] * 10**5, row))(
        __import__("numpy").linspace(1.0, 2.0, 10**5))""",
    # 2^31 one-second sub-steps.
    "level pool": """lambda: vesparil.reservoir.run_level_pool_routing(
        C([0.0, 0.0, 0.0], timedelta(seconds=2**31 - 1), "discharge"), 0.0,
        ru.ElevationStorage([-1000.0, 1000.0], [0.0, 1.0e9]),
        {"pump": ru.ConstantDischargeInfo(0.0)})""",
    # 10^6 members of a 5,000-step sub-basin on every core: a minute or more.
    "basin batch": """lambda: vesparil.basin.Basin.from_dict({"time_step": 3600, "elements": [
        {"name": "s", "kind": "subbasin", "downstream": None, "area": 640.0, "loss": {
            "initial_deficit": 0.1, "maximum_deficit": 1.0, "constant_rate": 0.1,
            "recovery": 86400.0}, "transform": {"tc": 10800.0, "storage": 7200.0},
            "baseflow": {}}]}).run_batch(
        memoryview(bytearray(8 * 10**6)).cast("d", (10**6, 1)), ["s.loss.initial_deficit"],
        {"s": [0.1] * 5000}, [1.0] * 5000)""",
    # The Muskingum-Cunge call above as a basin's reach: the basin hands the core its check.
    "basin muskingum-cunge": """(lambda b: (b.add_source("up", "r"), b.add_reach(
        "r", vesparil.basin.MuskingumCunge(1.0e5, 0.001, 0.035, 20.0, sub_reaches=100_000,
                                           sub_steps=1000)),
        lambda: b.run({"up": [1.0, 100.0] * 5_000}))[-1])(vesparil.basin.Basin(
            timedelta(hours=1)))""",
    # 400,000 days through unit hydrographs of 10,000 and 20,000 ordinates: 10^10 multiply-adds.
    "gr4j longest x4": """(lambda days: lambda: vesparil.lumped.run_gr4j(
        days, days, 320.0, -1.2, 75.0, 10_000.0))([3.0] * 400_000)""",
    # 1.5 x 10^6 days through 10,000 MAXBAS weights.
    "hbv longest maxbas": """(lambda days: lambda: vesparil.lumped.run_hbv(
        days, days, days, 0.5, 3.2, 1.15, 0.05, 0.1, 180.0, 0.7, 2.0, 1.0, 20.0, 0.2, 0.1, 0.05,
        10_000.0))([3.0] * 1_500_000)""",
    # 2.5 x 10^6 steps, each interpolating and recording 400 outlets' releases.
    "storage indication outlets": """(lambda inflow, outlets: lambda: (
        vesparil.reservoir.run_storage_indication_routing(
            inflow, 1.0, ru.ElevationStorage([0.0, 100.0], [0.0, 1.0e9]), outlets)))(
        C([100.0, 500.0] * 1_250_000, timedelta(hours=1), "discharge"),
        {f"o{i}": ru.UnControlledDischargeInfo(ru.ElevationDischarge([0.0, 100.0], [0.0, 5e3]),
                                               elevation_offset=i * 1e-3) for i in range(400)})""",
    # 50 outlets of 5,000 points: a table of 250,000 rows (a minute to build when every lookup
    # checked its curve), then 200,000 steps too long for the outlets, each swinging the
    # reservoir from near empty to near full across the table.
    "storage indication swinging": """(lambda levels: (lambda inflow, outlets: lambda: (
        vesparil.reservoir.run_storage_indication_routing(
            inflow, 0.0, ru.ElevationStorage([0.0, 100.0], [0.0, 0.36]), outlets)))(
        C([2000.0] * 200_000, timedelta(hours=1), "discharge"),
        {f"o{i}": ru.UnControlledDischargeInfo(ru.ElevationDischarge(levels, levels),
                                               elevation_offset=-i * 1e-3) for i in range(50)}))(
        [i * 100.0 / 4999 for i in range(5000)])""",
    # A batch of four GR4J members at X4 = 10,000 on 200,000 days, on two worker threads.
    "basin batch longest x4": """(lambda b, days: (b.add_subbasin(
        "north", 640.0, None, vesparil.basin.GR4J(320.0, -1.2, 75.0, 10_000.0)),
        lambda: b.run_batch(np.array([[300.0], [320.0], [340.0], [360.0]]), ["north.gr4j.x1"],
                            {"north": {"precipitation": days, "evapotranspiration": days}},
                            days, threads=2))[-1])(
        vesparil.basin.Basin(timedelta(days=1)), np.full(200_000, 3.0))""",
}


@pytest.mark.parametrize("name", LONG_CALLS)
def test_long_call_stops_soon_after_sigint(name):
    code = textwrap.dedent(INTERRUPT_CHILD).format(call=LONG_CALLS[name])
    child = subprocess.Popen([sys.executable, "-c", code], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "ready\n", child.communicate()[1]
        time.sleep(SIGNAL_AFTER)
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        try:
            out, err = child.communicate(timeout=BOUND)
        except subprocess.TimeoutExpired:
            pytest.fail(f"{name}: still running {BOUND} s after SIGINT")
        waited = time.monotonic() - sent
    finally:
        if child.poll() is None:
            child.kill()
            child.wait()
    assert out == "interrupted\n", err
    assert waited < BOUND


@pytest.mark.skipif(not hasattr(signal, "setitimer"), reason="needs interval timers")
def test_disaggregate_checks_for_signals_between_pieces():
    # 2 values split into 1.4e8 values in all: filled in pieces of 2^22 values (32 MiB) with a
    # check between two, that is 34 checks, and a timer firing every millisecond has its handler
    # run at nearly every one; filled in one piece per input value, at 2 at most.
    done = run_child("""
        import signal
        from datetime import timedelta
        import vesparil
        seen = []
        signal.signal(signal.SIGALRM, lambda signum, frame: seen.append(1))
        rain = vesparil.utils.IncrementalTimeSeries([1.0] * 2, timedelta(seconds=2147483640),
                                                    "rainfall")
        signal.setitimer(signal.ITIMER_REAL, 0.001, 0.001)
        rain.disaggregate(30)
        signal.setitimer(signal.ITIMER_REAL, 0.0)
        print(len(seen))
    """)
    assert int(done.stdout or 0) >= 10, (done.stdout, done.stderr)

