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
# The interpreter itself is not instrumented, so the sanitizer runtime is preloaded (with the C++
# runtime, see below). Settings:
# - allocator_may_return_null=1: the suite's deliberately huge allocations must fail as
#   MemoryError, as they do without the sanitizer, not end in an out-of-memory report. The
#   runtime's own operator new reports and aborts on a failed allocation whatever the option
#   says, so the module is linked with allocation functions of its own (below) that take memory
#   from the runtime's malloc, which does return null, and throw std::bad_alloc; every check on
#   the memory stays. A block may then be taken through one and returned through the other,
#   hence alloc_dealloc_mismatch=0;
# - detect_leaks=0: the interpreter does not free everything at exit; reference and memory leaks
#   are what tests/test_leaks.py looks for;
# - UBSan halts on the first report; besides its default checks it reports a floating-point
#   value converted to an integer type that cannot hold it. The C++ library's own assertions
#   (bounds of container indexing) are on too.
# VESPARIL_SANITIZED=1 is set for the run: the tests that measure the resident set size skip,
# since the sanitizer's allocator keeps freed memory in quarantine.
#
# Reports reach either the runtime's log files (read at the end, including those of worker
# processes whose exit the tests do not see) or the standard error, which pytest leaves alone
# here. Exits non-zero on a failing test or on any report, and with 3 when the compiler has no
# sanitizer runtime.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
python="${PYTHON:-python3}"
cxx="${CXX:-c++}"
sanitizers="address,undefined"

# The runtime must come first, and the C++ runtime must be loaded before the runtime starts:
# otherwise its interceptor of C++ throws finds no real one and aborts on the first exception.
preload=""
for library in libasan.so libstdc++.so.6; do
    path="$("$cxx" -print-file-name="$library" 2>/dev/null || true)"
    if [ "${path#/}" = "$path" ] || [ ! -e "$path" ]; then
        echo "sanitize: $cxx has no $library; install the compiler's sanitizer libraries" \
            "(on Debian they come with g++)" >&2
        exit 3
    fi
    preload="${preload:+$preload }$path"
done

work="$(mktemp -d "${TMPDIR:-/tmp}/vesparil-sanitize.XXXXXX")"
trap 'rm -rf "$work"' EXIT

cat > "$work/allocation.cpp" << 'END'
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {
void* allocate(std::size_t size, std::size_t alignment) noexcept {
    if (size == 0) size = 1;
    if (alignment <= alignof(std::max_align_t)) return std::malloc(size);
    void* memory = nullptr;
    return posix_memalign(&memory, alignment, size) == 0 ? memory : nullptr;
}
void* allocate_or_throw(std::size_t size, std::size_t alignment) {
    if (void* memory = allocate(size, alignment)) return memory;
    throw std::bad_alloc();
}
}  // namespace

using A = std::align_val_t;
using N = const std::nothrow_t&;
void* operator new(std::size_t n) { return allocate_or_throw(n, 0); }
void* operator new[](std::size_t n) { return allocate_or_throw(n, 0); }
void* operator new(std::size_t n, A a) { return allocate_or_throw(n, std::size_t(a)); }
void* operator new[](std::size_t n, A a) { return allocate_or_throw(n, std::size_t(a)); }
void* operator new(std::size_t n, N) noexcept { return allocate(n, 0); }
void* operator new[](std::size_t n, N) noexcept { return allocate(n, 0); }
void* operator new(std::size_t n, A a, N) noexcept { return allocate(n, std::size_t(a)); }
void* operator new[](std::size_t n, A a, N) noexcept { return allocate(n, std::size_t(a)); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, A) noexcept { std::free(p); }
void operator delete[](void* p, A) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, A) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, A) noexcept { std::free(p); }
void operator delete(void* p, N) noexcept { std::free(p); }
void operator delete[](void* p, N) noexcept { std::free(p); }
void operator delete(void* p, A, N) noexcept { std::free(p); }
void operator delete[](void* p, A, N) noexcept { std::free(p); }
END
"$cxx" -std=c++17 -O2 -fPIC -c "$work/allocation.cpp" -o "$work/allocation.o"

echo "== sanitizer build ($sanitizers) with $("$cxx" --version | head -1), $("$python" --version)"
# -Bsymbolic-functions binds the module's calls to its own allocation functions rather than to
# the preloaded runtime's.
# Unstripped, so that the reports name functions and lines.
if ! CXX="$cxx" SKBUILD_INSTALL_STRIP=false \
    CXXFLAGS="-fsanitize=$sanitizers,float-cast-overflow -fno-sanitize-recover=all -fno-omit-frame-pointer -g -D_GLIBCXX_ASSERTIONS" \
    LDFLAGS="-fsanitize=$sanitizers $work/allocation.o -Wl,-Bsymbolic-functions" \
    "$python" -m pip install --disable-pip-version-check --no-cache-dir --no-deps \
        --target "$work/site" "$here" > "$work/build.log" 2>&1; then
    tail -40 "$work/build.log"
    echo "sanitize: the build failed" >&2
    exit 1
fi
module="$(ls "$work"/site/vesparil*.so)"
# A build that silently dropped the flags would pass everything and prove nothing.
symbols="$(nm -D "$module")"
if ! grep -q ' U __asan_report' <<< "$symbols" || ! grep -q ' U __ubsan_handle' <<< "$symbols" \
    || ! grep -q ' T _Znwm$' <<< "$symbols"; then
    echo "sanitize: $module lacks the sanitizers or its allocation functions: the flags did not" \
        "reach the build" >&2
    exit 1
fi

# pytest captures only Python's streams (--capture=sys): a report written to the process's
# standard error just before it aborts is not lost in a capture file. Reports that the runtime
# writes to its log files (AddressSanitizer's, also those of worker processes) are read after.
mkdir "$work/reports"
set +e
(
    cd "$here/tests"
    export VESPARIL_SANITIZED=1
    export ASAN_OPTIONS="allocator_may_return_null=1:detect_leaks=0:alloc_dealloc_mismatch=0:log_path=$work/reports/asan"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$work/reports/ubsan"
    export PYTHONPATH="$work/site${PYTHONPATH:+:$PYTHONPATH}"
    export LD_PRELOAD="$preload${LD_PRELOAD:+ $LD_PRELOAD}"
    exec "$python" -m pytest -q -rfEs -p no:cacheprovider --capture=sys "$@"
) 2>&1 | tee "$work/pytest.log"
status=${PIPESTATUS[0]}
set -e

# A report of an allocation refused on purpose ("failed to allocate", a warning) is no finding.
finding='^==[0-9]+==ERROR: [A-Za-z]+Sanitizer|: runtime error: |^Assertion .* failed'
findings=0
warnings=0
for report in "$work"/reports/*; do
    [ -e "$report" ] || continue
    if grep -qE "$finding" "$report"; then
        findings=$((findings + 1))
        echo "---- ${report##*/}"
        cat "$report"
    else
        warnings=$((warnings + 1))
    fi
done
if grep -qE "$finding" "$work/pytest.log"; then
    findings=$((findings + 1))
    echo "---- reports in the test run's output"
    grep -E -A12 "$finding" "$work/pytest.log"
fi
echo "sanitizer reports: $findings with findings, $warnings with warnings only"
if [ "$status" -ne 0 ]; then
    echo "sanitize: pytest failed (exit $status)" >&2
    exit 1
fi
[ "$findings" -eq 0 ]
