#!/usr/bin/env bash
# Runs the fuzzer of tests/test_fuzz.py with a long profile against the installed module and
# prints the examples run per entry (and how many of them returned rather than raised).
#
#   scripts/fuzz.sh [examples per entry, default 3000]
#
# PYTHON selects the interpreter (default python3); it needs pytest, hypothesis and numpy.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
python="${PYTHON:-python3}"
examples="${1:-3000}"
report="$(mktemp)"
trap 'rm -f "$report"' EXIT

status=0
(cd "$here/tests" && VESPARIL_FUZZ_EXAMPLES="$examples" VESPARIL_FUZZ_REPORT="$report" \
    "$python" -m pytest -q -p no:cacheprovider test_fuzz.py) || status=$?

printf '%9s %9s  %s\n' examples returned entry
awk -F '\t' '{ printf "%9d %9d  %s\n", $1, $2, $3; called += $1; returned += $2 }
    END { printf "%9d %9d  all %d entries\n", called, returned, NR }' "$report"
exit "$status"
