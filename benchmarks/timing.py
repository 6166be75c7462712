"""Timing shared by the benchmarks: medians of repeats taking turns, the printed rows, the
bit-for-bit check of a baseline, and the speedup of two threads."""

import statistics
import threading
import time

import numpy as np

def median_time(function, repeats, clock=time.thread_time):
    """Median time of `function()`; the result is dropped outside the timed interval.

    Single-threaded rows are timed on this thread's CPU clock (user and system time, page faults
    included), which a machine shared with other work disturbs far less than the wall clock.
    """
    return median_times([function], repeats, clock)[0]


def median_times(functions, repeats, clock=time.thread_time):
    """median_time of each function, the functions taking turns: a slow spell of the machine
    then falls on all of them alike, and each finds the memory allocator as the others leave it
    (whether a large block comes back from the heap or freshly mapped from the kernel, which
    decides the cost of writing it, depends on the blocks freed before)."""
    times = [[] for _ in functions]
    for _ in range(repeats):
        for function, own in zip(functions, times):
            start = clock()
            result = function()
            own.append(clock() - start)
            del result
    return [statistics.median(own) for own in times]


ROWS = []


def row(name, unit, module_ns, baselines, target=None):
    """baselines: (label, ns per unit) pairs; the first is the ratio's reference."""
    ROWS.append((name, unit, module_ns, baselines, target))
    parts = [f"{label} {ns:8.3f}" for label, ns in baselines]
    ref_label, ref_ns = baselines[0]
    ratio = module_ns / ref_ns
    goal = f"  (target <= {target:.2f} x)" if target else ""
    print(f"{name:<38} {module_ns:9.3f} ns/{unit:<9} | " + " | ".join(parts) +
          f" | {ratio:5.2f} x {ref_label}{goal}", flush=True)


def assert_same(label, actual, expected):
    a = np.asarray(actual, dtype=np.float64)
    b = np.asarray(expected, dtype=np.float64)
    if a.shape != b.shape or a.tobytes() != b.tobytes():
        raise SystemExit(f"{label}: the C baseline does not reproduce the module's result")


def pair_speedups(functions, repeats=15):
    """For each function: 2 x (one run) / (two concurrent runs), and the parallelism reached (the
    two threads' CPU time over the wall time of their pair, at most 1 while the interpreter lock
    is held).

    A pair is timed from the first thread's start to the last one's end, the two threads leaving
    a barrier together, so that creating and joining threads is left out as it is from a single
    run. The functions take turns within every repeat, alone and then as a pair, so that a slow
    spell of the shared machine falls on all of them alike. The ratio is taken of medians: a pair
    lasts as long as the slower of its two threads, so it is seldom as lucky as the luckiest
    single run, and best-of-each would understate the speedup.
    """

    def pair(function):
        barrier = threading.Barrier(2)
        spans = [(0.0, 0.0, 0.0)] * 2

        def worker(slot):
            barrier.wait()
            cpu, start = time.thread_time(), time.perf_counter()
            function()
            spans[slot] = (start, time.perf_counter(), time.thread_time() - cpu)

        threads = [threading.Thread(target=worker, args=(slot,)) for slot in range(2)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        wall = max(end for _, end, _ in spans) - min(start for start, _, _ in spans)
        return wall, sum(cpu for _, _, cpu in spans) / wall

    timings = [([], [], []) for _ in functions]
    for _ in range(repeats):
        for function, (singles, doubles, parallel) in zip(functions, timings):
            singles.append(median_time(function, 1, time.perf_counter))
            wall, used = pair(function)
            doubles.append(wall)
            parallel.append(used)
    return [(2.0 * statistics.median(singles) / statistics.median(doubles),
             statistics.median(singles), statistics.median(doubles), statistics.median(parallel))
            for singles, doubles, parallel in timings]
