"""One table-driven fuzzer over every entry: functions, constructors, methods, getters, setters.

Every argument is drawn from a mix of values the entry accepts and values of every other kind a
caller can pass: NaN, infinities, signed zeros, huge integers, bools, text with NUL and lone
surrogates, None, nested and mixed lists, NumPy arrays of several dtypes, strides and shapes (0-d
included), timedeltas from the most negative to the largest, instances of the wrong class, Python
subclasses, and objects whose __float__, __index__, __len__, __iter__ or __getitem__ raise or lie.
Calls are also made with broken bindings (an extra positional argument, an unknown or repeated
keyword, a missing one).

A call may only raise the exceptions the module's conventions name (TypeError, ValueError,
OverflowError, RuntimeError), the internal-error exception where an entry documents internal
errors, or the argument's own exception; a binding fault is always a TypeError; a success returns
the documented type; and no argument is changed.

VESPARIL_FUZZ_EXAMPLES sets the examples per entry (a few seconds in all by default);
VESPARIL_FUZZ_REPORT names a file that receives the examples run per entry (scripts/fuzz.sh).
"""

import os
import warnings

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import fuzz_rows_basin
import fuzz_rows_event
import fuzz_rows_metrics
import fuzz_rows_models
from fuzz_calls import CALLED, RETURNED

EXAMPLES = int(os.environ.get("VESPARIL_FUZZ_EXAMPLES", "10"))
REPORT = os.environ.get("VESPARIL_FUZZ_REPORT")

# The rows of every entry: the functions and constructors of the series, reaches, reservoirs and
# event methods, the first score, the continuous models, the other scores, the getters and
# setters of the first group, then the basin.
ENTRIES = [
    *fuzz_rows_event.CALLS,
    *fuzz_rows_metrics.KGE,
    *fuzz_rows_models.ROWS,
    *fuzz_rows_metrics.SCORES,
    *fuzz_rows_event.ATTRIBUTES,
    *fuzz_rows_basin.ROWS,
]


@pytest.fixture(scope="module", autouse=True)
def report_counts():
    yield
    if REPORT:
        with open(REPORT, "a") as out:
            for entry in ENTRIES:
                out.write(f"{CALLED[entry.name]}\t{RETURNED[entry.name]}\t{entry.name}\n")


@pytest.mark.parametrize("entry", ENTRIES, ids=[entry.name for entry in ENTRIES])
@settings(max_examples=EXAMPLES, deadline=None, suppress_health_check=list(HealthCheck))
@given(data=st.data())
def test_entry(entry, data):
    CALLED[entry.name] += 1
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        entry.run(data)
