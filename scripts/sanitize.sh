#!/usr/bin/env bash
# Builds vesparil with AddressSanitizer and UndefinedBehaviorSanitizer and runs the whole test
# suite against that build.
#
#   scripts/sanitize.sh [pytest arguments]
#
# PYTHON names the interpreter (default python3); it must have pip and the test dependencies
# (python3 -m pip install -r tests/requirements.txt, in a virtual environment). CXX names the
# compiler (default c++). The build is installed into a temporary directory that is put first on
# PYTHONPATH, never into the interpreter's environment.
#
# The interpreter itself is not instrumented, so the sanitizer runtime is preloaded. Settings:
# - allocator_may_return_null=1: the suite's deliberately huge allocations must fail as
#   MemoryError, as they do without the sanitizer, instead of ending in an out-of-memory report;
# - detect_leaks=0: the interpreter does not free everything at exit; reference and memory leaks
#   are what tests/test_leaks.py looks for;
# - UBSan halts on the first report.
# VESPARIL_SANITIZED=1 is set for the run: the tests that measure the resident set size skip,
# since the sanitizer's allocator keeps freed memory in quarantine.
#
# The reports are written to files and printed at the end, including those of worker processes
# whose exit the tests do not see. Exits non-zero on a failing test or on any report.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
python="${PYTHON:-python3}"
cxx="${CXX:-c++}"
sanitizers="address,undefined"

runtime="$("$cxx" -print-file-name=libasan.so 2>/dev/null || true)"
if [ "${runtime#/}" = "$runtime" ] || [ ! -e "$runtime" ]; then
    echo "sanitize: $cxx has no AddressSanitizer runtime (libasan); install the compiler's" \
        "sanitizer libraries (on Debian they come with g++)" >&2
    exit 3
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/vesparil-sanitize.XXXXXX")"
trap 'rm -rf "$work"' EXIT

echo "== sanitizer build ($sanitizers) with $("$cxx" --version | head -1), $("$python" --version)"
if ! CXX="$cxx" \
    CXXFLAGS="-fsanitize=$sanitizers -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g" \
    LDFLAGS="-fsanitize=$sanitizers" \
    "$python" -m pip install --disable-pip-version-check --no-cache-dir --no-deps \
        --target "$work/site" "$here" > "$work/build.log" 2>&1; then
    tail -40 "$work/build.log"
    echo "sanitize: the build failed" >&2
    exit 1
fi
module="$(ls "$work"/site/vesparil*.so)"
# A build that silently dropped the flags would pass everything and prove nothing.
symbols="$(nm -D --undefined-only "$module")"
if ! grep -q __asan_report <<< "$symbols" || ! grep -q __ubsan_handle <<< "$symbols"; then
    echo "sanitize: $module is not instrumented (the compiler flags did not reach the build)" >&2
    exit 1
fi

mkdir "$work/reports"
status=0
(
    cd "$here/tests"
    export VESPARIL_SANITIZED=1
    export ASAN_OPTIONS="allocator_may_return_null=1:detect_leaks=0:log_path=$work/reports/asan"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$work/reports/ubsan"
    export PYTHONPATH="$work/site${PYTHONPATH:+:$PYTHONPATH}"
    export LD_PRELOAD="$runtime${LD_PRELOAD:+ $LD_PRELOAD}"
    exec "$python" -m pytest -q -p no:cacheprovider "$@"
) || status=$?

findings=0
notes=0
for report in "$work"/reports/*; do
    [ -e "$report" ] || continue
    if grep -qE 'ERROR: (Address|Leak)Sanitizer|runtime error:|ERROR: UndefinedBehaviorSanitizer' "$report"; then
        findings=$((findings + 1))
        echo "---- ${report##*/}"
        cat "$report"
    else
        notes=$((notes + 1))
    fi
done
echo "sanitizer reports: $findings with findings, $notes with warnings only"
if [ "$status" -ne 0 ]; then
    echo "sanitize: pytest failed (exit $status)" >&2
    exit 1
fi
[ "$findings" -eq 0 ]
