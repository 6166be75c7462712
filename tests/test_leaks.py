"""Repeated calls leave the process's memory and the arguments' reference counts unchanged.

Each entry is called CALLS times after a warm-up. A leak of one small object per call shows as
about CALLS allocated blocks; a leaked copy of the data vector or of a result shows in the
resident set size well beyond the slack. Entries of submodules that are not registered yet are
skipped; model functions are added to ENTRIES as (name, path, build).

Under the debug interpreter (`sys.gettotalrefcount` exists) every entry is also called on a
success and an error path while the interpreter's total reference count is watched. Under the
sanitizer's allocator (env VESPARIL_SANITIZED set) the resident set is not a measure of leaks, so
that check is left out there. A window of calls that shows a fault is followed by another, and
only a fault shown twice in a row fails: a leak repeats on every call, a one-off move does not.
"""

import gc
import os
import sys
import warnings

import pytest

import leak_rows_basin
import leak_rows_event
import leak_rows_metrics
import leak_rows_models
from leak_arguments import PANIC, arguments
from leak_rows_memory import ENTRIES

CALLS = 100_000
WARM_UP = 2_000
RSS_SLACK_BYTES = 4 * 1024 * 1024
BLOCK_SLACK = CALLS // 20
SANITIZED = bool(os.environ.get("VESPARIL_SANITIZED"))


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def confirmed(window, faults):
    """The faults that `window` (a run of calls, then the measures) shows twice in a row.

    A call that leaks does so on every call, so it shows in any window; a one-off move (a cache
    filled, an allocator arena taken) does not repeat. The second window runs only after a
    first one showed something."""
    found = faults(window())
    return faults(window()) if found else found


@pytest.mark.parametrize("name, path, build", ENTRIES, ids=[row[0] for row in ENTRIES])
def test_repeated_calls_keep_memory_flat(entry, name, path, build):
    call, watched = build(entry(path))
    for _ in range(WARM_UP):
        call()

    def window():
        gc.collect()
        # None is shared by everything, so its count moves a little; a lost reference per call
        # moves it by CALLS (before 3.12, where None is not immortal).
        before = ([sys.getrefcount(obj) for obj in watched], sys.getrefcount(None),
                  sys.getallocatedblocks(), resident_bytes())
        for _ in range(CALLS):
            call()
        gc.collect()
        return before, ([sys.getrefcount(obj) for obj in watched], sys.getrefcount(None),
                        sys.getallocatedblocks(), resident_bytes())

    def faults(measures):
        (counts, nones, blocks, rss), (counts_after, nones_after, blocks_after, rss_after) = measures
        found = []
        if counts_after != counts:
            found.append(f"arguments' reference counts {counts} -> {counts_after}")
        if abs(nones_after - nones) >= BLOCK_SLACK:
            found.append(f"None's count moved by {nones_after - nones}")
        if blocks_after - blocks >= BLOCK_SLACK:
            found.append(f"{blocks_after - blocks} blocks more")
        if not SANITIZED and rss_after - rss >= RSS_SLACK_BYTES:
            found.append(f"resident set grew by {rss_after - rss} bytes")
        return found

    found = confirmed(window, faults)
    assert not found, f"{name}, after {CALLS} calls: " + "; ".join(found)


# ---------------------------------------------------------------------------------------------
# Every entry, on a success and an error path: the reference counts of everything it was given
# stay put (a lost buffer release pins a NumPy array, which then refuses to resize), and under
# the debug interpreter the total reference count does not grow per call.

REF_CALLS = 500

# (name, call on the arguments, what it raises: None, an exception class or PANIC)
EVERY_ENTRY = (leak_rows_event.ROWS + leak_rows_metrics.ROWS + leak_rows_basin.ROWS
               + leak_rows_models.ROWS)


def expecting(call, raises):
    """`call` checked to end as `raises` says, with that exception swallowed."""

    def run():
        try:
            call()
        except BaseException as error:  # noqa: BLE001 - the PanicException is a BaseException
            if raises == PANIC and type(error).__name__ == PANIC:
                return
            if raises not in (None, PANIC) and type(error) is raises:
                return
            raise
        assert raises is None, f"expected {raises}"

    return run


# Rows whose total count grows by what another library adds per call: pandas makes 69 more
# references per DataFrame under 3.14's debug interpreter whoever builds it. Their arguments'
# counts are still checked.
TOTAL_GROWN_ELSEWHERE = {"BasinRun.to_dataframe"}


@pytest.mark.parametrize("name, call, raises", EVERY_ENTRY, ids=[row[0] for row in EVERY_ENTRY])
def test_every_entry_keeps_reference_counts(name, call, raises):
    given = arguments()
    run = expecting(lambda: call(given), raises)
    watched = list(vars(given).values())
    debug = hasattr(sys, "gettotalrefcount")

    def window():
        if debug:
            gc.collect()
        before = ([sys.getrefcount(obj) for obj in watched], sys.getrefcount(None),
                  sys.gettotalrefcount() if debug else 0)
        for _ in range(REF_CALLS):
            run()
        if debug:
            gc.collect()
        return before, ([sys.getrefcount(obj) for obj in watched], sys.getrefcount(None),
                        sys.gettotalrefcount() if debug else 0)

    def faults(measures):
        (counts, nones, total), (counts_after, nones_after, total_after) = measures
        found = []
        if counts_after != counts:
            found.append(f"arguments' reference counts {counts} -> {counts_after}")
        # A lost reference to None (before 3.12, where it is not immortal) shows here long
        # before None's count runs out and the interpreter aborts.
        if abs(nones_after - nones) >= REF_CALLS // 10:
            found.append(f"None's count moved by {nones_after - nones}")
        # Under the debug interpreter, the total count: a reference lost per call shows in
        # every window, while the interpreter's and NumPy's own caches (free lists, dicts that
        # grow in steps) move it by up to a few hundred in one window only.
        if name not in TOTAL_GROWN_ELSEWHERE and total_after - total >= REF_CALLS // 10:
            found.append(f"{total_after - total} references more in total")
        return found

    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        run()
        found = confirmed(window, faults)
    assert not found, f"{name}, after {REF_CALLS} calls: " + "; ".join(found)
    del watched
    for field in ("array", "other_array", "short_array", "rows", "scores"):
        # Refused while anything else holds the array. Held by one local only: from 3.14 on
        # NumPy also refuses an array reached through an attribute.
        array = vars(given).pop(field)
        array.resize(array.size + 1)
