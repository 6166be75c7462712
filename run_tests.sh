#!/usr/bin/env bash
# Builds vesparil and runs the test suite in several legs:
#
#   stock     the first python3 on PATH, in a virtual environment of this runner
#             (.venv-tests in the checkout, VESPARIL_TEST_VENV overrides) holding the test
#             dependencies of tests/requirements.txt (and pandas 2 beside them, for the test of
#             its timedeltas)
#   sanitize  the whole suite on an AddressSanitizer + UndefinedBehaviorSanitizer build, on the
#             stock interpreter (scripts/sanitize.sh)
#   cp314     CPython 3.14 in a Debian sid root (debootstrap and chroot)
#   cp315     CPython 3.15 in the same root
#   refleak   tests/test_leaks.py under CPython 3.14's debug interpreter (python3.14d), whose
#             total reference count shows a reference that a call leaks
#
# and checks that the stock, 3.14 and 3.15 builds give bit-identical results (tests/digest.py).
#
# By default only stock and sanitize run: they touch nothing outside the checkout and the
# temporary directory. cp314, cp315 and refleak change the machine (they install debootstrap,
# build a Debian root under /opt and mount file systems inside it) and need root: they run only
# when asked for, with `./run_tests.sh --all` or VESPARIL_ROOT_LEGS=1 (CI does), or by name in
# VESPARIL_LEGS, e.g. VESPARIL_LEGS="stock cp314". The runner says what it is about to do to the
# machine before it does it.
#
# The Debian root is /opt/vesparil-sid (VESPARIL_SID_ROOT overrides). The runner makes it when
# that directory is absent or empty and marks it as its own; it reuses a root it made, or an
# existing sid root holding python3.14, installing the packages it lacks. It never deletes a
# directory it did not make. Each run works in a directory of its own inside the root, with its
# mounts in a private mount namespace, so runs from different checkouts do not collide; runs of
# one checkout wait for each other.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
all_legs="stock cp314 cp315 refleak sanitize"
safe_legs="stock sanitize"
root_legs=" cp314 cp315 refleak "
for argument in "$@"; do
    case "$argument" in
        --all) VESPARIL_ROOT_LEGS=1 ;;
        -h | --help) sed -n '2,/^$/s/^# \{0,1\}//p' "$0"; exit 0 ;;
        *) echo "unknown argument '$argument' (--all runs every leg)" >&2; exit 2 ;;
    esac
done
if [ -n "${VESPARIL_LEGS:-}" ]; then
    legs="$VESPARIL_LEGS"
elif [ "${VESPARIL_ROOT_LEGS:-0}" = 1 ]; then
    legs="$all_legs"
else
    legs="$safe_legs"
fi
sid_root="${VESPARIL_SID_ROOT:-/opt/vesparil-sid}"
venv="${VESPARIL_TEST_VENV:-$here/.venv-tests}"
# The packages of the root: interpreters and headers, the debug interpreter, the build tools and
# the test dependencies that Debian packages for both 3.14 and 3.15.
sid_packages=(
    python3.14-dev python3.15-dev python3.14-dbg python3-pip python3-scikit-build-core
    g++ cmake ninja-build binutils
    python3-pytest python3-hypothesis python3-numpy python3-scipy python3-matplotlib
    python3-dask python3-distributed python3-mypy python3-pandas
)
# Pure-Python test dependencies that Debian does not package (their import names), installed
# by the stock interpreter's pip into the root, on the root legs' PYTHONPATH.
root_pip_packages=(spotpy hydroeval HydroErr)
root_extras=/opt/vesparil-tests/site-packages
root_marker=.vesparil-root
root_partial=.vesparil-root-incomplete
pip_quiet=(--quiet --disable-pip-version-check --no-input)

for leg in $legs; do
    case " $all_legs " in
        *" $leg "*) ;;
        *) echo "unknown leg '$leg' in VESPARIL_LEGS (legs: $all_legs)" >&2; exit 2 ;;
    esac
done

is_root=0
[ "$(id -u)" -eq 0 ] && is_root=1

# Mounts made by this run stay in a mount namespace of its own: they vanish when the run ends,
# however it ends, and a concurrent run's mounts are not touched.
if [ "$is_root" -eq 1 ] && [ -z "${VESPARIL_PRIVATE_MOUNTS:-}" ] \
    && unshare --mount --propagation private true 2> /dev/null; then
    VESPARIL_PRIVATE_MOUNTS=1 exec unshare --mount --propagation private "$BASH" "$0" "$@"
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/vesparil-tests.XXXXXX")"
run_in=""      # this run's directory inside the root, as seen from inside it
mounted=()     # mount points of this run, unmounted on exit (namespace or not)
cleanup() {
    local point
    for point in "${mounted[@]}"; do
        umount "$point" 2> /dev/null || umount -l "$point" 2> /dev/null || true
    done
    [ -n "$run_in" ] && rm -rf --one-file-system "${sid_root:?}$run_in"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Runs of one checkout share its virtual environment: they take turns.
exec 9< "$here"
if ! flock -n 9; then
    echo "another run of this checkout is in progress; waiting for it"
    flock 9
fi

wants() { case " $legs " in *" $1 "*) return 0 ;; esac; return 1; }

# ---- the stock interpreter's virtual environment -------------------------------------------

venv_marker="$venv/.vesparil-test-venv"

prepare_venv() {
    if [ -e "$venv" ] && [ ! -e "$venv_marker" ] && [ -n "$(ls -A "$venv" 2> /dev/null)" ]; then
        echo "$venv exists and was not made by this runner: it is left alone." >&2
        echo "Remove it yourself, or set VESPARIL_TEST_VENV to another directory." >&2
        return 1
    fi
    local want have=""
    want="$(python3 -c 'import sys; print(sys.version)')"
    [ -x "$venv/bin/python" ] && have="$("$venv/bin/python" -c 'import sys; print(sys.version)' 2> /dev/null || true)"
    if [ "$have" != "$want" ]; then
        # Ours (or empty): made anew for the current python3.
        python3 -m venv --clear "$venv" || {
            echo "python3 -m venv $venv failed (on Debian the venv module is in python3-venv)" >&2
            return 1
        }
        echo "made by vesparil's run_tests.sh; safe to delete" > "$venv_marker"
    fi
    "$venv/bin/python" -m pip install "${pip_quiet[@]}" -r "$here/tests/requirements.txt" \
        > "$work/venv.log" 2>&1 || { grep -v '^WARNING: Location' "$work/venv.log" | tail -30; return 1; }
}

# pytest exits 5 when it collected nothing; any non-zero exit fails the leg.
leg_stock() {
    prepare_venv
    echo "interpreter: $("$venv/bin/python" --version), virtual environment $venv"
    "$venv/bin/python" -m pip install "${pip_quiet[@]}" --no-deps --force-reinstall "$here" \
        > "$work/build-stock.log" 2>&1 || { tail -40 "$work/build-stock.log"; return 1; }
    # pandas 2 beside the venv's own pandas, for the test of its Timedelta; the suite runs
    # without it when it cannot be had.
    local pandas2="$work/pandas2"
    if "$venv/bin/python" -m pip install "${pip_quiet[@]}" --no-deps --target "$pandas2" \
        'pandas>=2,<3' pytz > "$work/pandas2.log" 2>&1; then
        export VESPARIL_PANDAS2="$pandas2"
    else
        echo "pandas 2 could not be installed: its test is skipped"
    fi
    local status=0
    (cd "$here/tests" && "$venv/bin/python" -m pytest -q -rfEs -p no:cacheprovider .) || status=$?
    # The digest is compared even when a test failed: it tells whether the builds differ.
    (cd "$work" && "$venv/bin/python" "$here/tests/digest.py" > "$work/digest-stock.txt")
    return "$status"
}

# Exit status 77: the leg cannot run here and is skipped (a user's machine without the compiler's
# sanitizer runtime); CI, as root, counts that as a failure.
leg_sanitize() {
    prepare_venv
    local status=0
    PYTHON="$venv/bin/python" "$here/scripts/sanitize.sh" || status=$?
    if [ "$status" -eq 3 ] && [ "$is_root" -eq 0 ]; then
        return 77
    fi
    return "$status"
}

# ---- the Debian sid root: its functions are in scripts/sid_root.sh --------------------------
. "$here/scripts/sid_root.sh"

# ---- running the legs ----------------------------------------------------------------------

results=()     # "leg|verdict|seconds|counts"
total_passed=0
total_failed=0
total_skipped=0

# The pytest counts of the last summary line in log $1, as "P F S".
pytest_counts() {
    local line passed=0 failed=0 skipped=0 n word
    line="$(grep -E '^[ =]*[0-9]+ [a-z]+.* in [0-9.]+s' "$1" | tail -1 | tr -d '=')" || true
    for word in $(echo "$line" | grep -oE '[0-9]+ [a-z]+' | tr ' ' ':'); do
        n="${word%%:*}"
        case "${word#*:}" in
            passed) passed=$n ;;
            failed | error | errors) failed=$((failed + n)) ;;
            skipped) skipped=$n ;;
        esac
    done
    echo "$passed $failed $skipped"
}

run_leg() {
    local leg="$1" start=$SECONDS status counts passed failed skipped verdict
    echo
    echo "== leg $leg"
    set +e
    (set -e; "leg_$leg") 2>&1 | tee "$work/leg-$leg.log"
    status=${PIPESTATUS[0]}
    set -e
    read -r passed failed skipped <<< "$(pytest_counts "$work/leg-$leg.log")"
    verdict=passed
    if [ "$status" -eq 77 ]; then
        verdict="skipped"
    elif [ "$status" -ne 0 ]; then
        verdict="FAILED (exit $status)"
        # A leg that failed before or after its tests still counts as one failure.
        [ "$failed" -eq 0 ] && failed=1
    fi
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
    total_skipped=$((total_skipped + skipped))
    results+=("$leg|$verdict|$((SECONDS - start))|$passed passed, $failed failed, $skipped skipped")
}

echo "vesparil test run: legs $legs"
if [ -z "${VESPARIL_LEGS:-}" ] && [ "$legs" = "$safe_legs" ]; then
    echo "(the legs that build a Debian root and mount inside it, cp314 cp315 refleak, run with" \
        "./run_tests.sh --all)"
fi
run_start=$SECONDS
wants stock && run_leg stock

root_ready=0
needs_root=""
for leg in $legs; do case "$root_legs" in *" $leg "*) needs_root="$needs_root $leg" ;; esac; done
if [ -n "$needs_root" ]; then
    if [ "$is_root" -eq 0 ]; then
        echo
        echo "NOTE: the CPython 3.14, 3.15 and debug-interpreter legs (${needs_root# }) need root" \
            "(debootstrap, chroot and mount): skipped. Run ./run_tests.sh as root, as CI does, to run them."
        for leg in $needs_root; do results+=("$leg|skipped|0|needs root"); done
    else
        echo
        echo "== Debian sid root at $sid_root"
        echo "legs ${needs_root# } change this machine: they install debootstrap when it is missing," \
            "make or update a Debian root at $sid_root (several minutes the first time) and mount" \
            "/proc and a tmpfs inside it for the length of this run."
        start=$SECONDS
        if prepare_root; then
            root_ready=1
            echo "root ready in $((SECONDS - start)) s; this run works in $sid_root$run_in"
        else
            for leg in $needs_root; do
                results+=("$leg|FAILED (sid root unusable)|0|0 passed, 1 failed, 0 skipped")
                total_failed=$((total_failed + 1))
            done
        fi
    fi
fi

if [ "$root_ready" -eq 1 ]; then
    for leg in $needs_root; do run_leg "$leg"; done
fi
wants sanitize && run_leg sanitize

# ---- the builds agree to the last bit ------------------------------------------------------

digests=()
for leg in stock cp314 cp315; do
    [ -s "$work/digest-$leg.txt" ] && digests+=("$leg")
done
echo
echo "== reproducibility across builds (tests/digest.py)"
if [ "${#digests[@]}" -ge 2 ]; then
    same=1
    for leg in "${digests[@]:1}"; do
        if ! cmp -s "$work/digest-${digests[0]}.txt" "$work/digest-$leg.txt"; then
            same=0
            diff "$work/digest-${digests[0]}.txt" "$work/digest-$leg.txt" || true
        fi
    done
    cat "$work/digest-${digests[0]}.txt"
    if [ "$same" -eq 1 ]; then
        results+=("digest|passed|0|equal: ${digests[*]}")
    else
        results+=("digest|FAILED|0|the results of ${digests[*]} differ")
        total_failed=$((total_failed + 1))
    fi
else
    echo "fewer than two builds ran their digest: nothing to compare"
    results+=("digest|skipped|0|fewer than two builds")
fi

echo
echo "== summary ($((SECONDS - run_start)) s)"
verdict=0
for row in "${results[@]}"; do
    IFS='|' read -r leg outcome seconds detail <<< "$row"
    printf '%-9s %-18s %5s s  %s\n' "$leg" "$outcome" "$seconds" "$detail"
    case "$outcome" in FAILED*) verdict=1 ;; esac
done
if [ "$total_passed" -eq 0 ]; then
    echo "no test passed in any leg"
    verdict=1
fi
echo "total: $total_passed passed, $total_failed failed, $total_skipped skipped"
exit "$verdict"
