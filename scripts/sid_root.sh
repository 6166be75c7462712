# The Debian sid root of run_tests.sh's cp314, cp315 and refleak legs: making or checking the
# root, this run's directory and mounts inside it, and building and testing the module there.
# Sourced by run_tests.sh, whose settings and helpers (sid_root, work, run_in, mounted,
# pip_quiet, venv, here, ...) it uses; not run on its own.
# shellcheck shell=bash

in_root() {
    chroot "$sid_root" /usr/bin/env -i \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
        LANG=C.UTF-8 TMPDIR="${run_in:-}/tmp" "$@"
}

make_root() {
    command -v debootstrap > /dev/null || {
        apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap > /dev/null
    } || { echo "debootstrap is missing and could not be installed" >&2; return 1; }
    mkdir -p "$sid_root" || return 1
    echo "being made by vesparil's run_tests.sh" > "$sid_root/$root_partial"
    echo "making a Debian sid root at $sid_root (debootstrap, several minutes)"
    local list
    list="$(IFS=,; echo "${sid_packages[*]}")"
    if ! debootstrap --variant=minbase --include="$list" sid "$sid_root" > "$work/debootstrap.log" 2>&1; then
        tail -20 "$work/debootstrap.log"
        echo "debootstrap failed; the partial root stays marked as this runner's and is made anew next run" >&2
        return 1
    fi
    echo "made by vesparil's run_tests.sh; delete the directory to remove it" > "$sid_root/$root_marker"
    rm -f "$sid_root/$root_partial"
}

# Makes or checks the root and mounts what the legs need, under a lock that concurrent runs
# share, then makes this run's directory inside it with a copy of the checkout.
prepare_root() {
    mkdir -p "$(dirname "$sid_root")"
    exec 8< "$(dirname "$sid_root")"
    if ! flock -n 8; then
        echo "another run is preparing a root next to $sid_root; waiting for it"
        flock 8
    fi
    local status=0
    setup_root || status=$?
    flock -u 8
    exec 8<&-
    [ "$status" -eq 0 ] || return 1

    run_in="$(mktemp -d "$sid_root/tmp/vesparil-run.XXXXXX")" || return 1
    run_in="${run_in#"$sid_root"}"
    mkdir "$sid_root$run_in/tmp" "$sid_root$run_in/src" || return 1
    tar -C "$here" --exclude=./.git --exclude=./build --exclude=./.venv-tests --exclude='*.so' \
        --exclude=__pycache__ --exclude=.hypothesis -cf - . | tar -C "$sid_root$run_in/src" -xf - || return 1
}

setup_root() {
    if [ -e "$sid_root/$root_partial" ]; then
        if findmnt -rn -o TARGET | grep -q "^$sid_root/"; then
            echo "$sid_root is an unfinished root of this runner but has mounts inside; unmount them first" >&2
            return 1
        fi
        echo "$sid_root is an unfinished root of this runner: making it anew"
        find "$sid_root" -mindepth 1 -maxdepth 1 ! -name "$root_partial" -exec rm -rf --one-file-system {} +
        make_root || return 1
    elif [ -e "$sid_root/$root_marker" ]; then
        :
    elif [ -x "$sid_root/usr/bin/python3.14" ] && [ -x "$sid_root/usr/bin/apt-get" ]; then
        echo "$sid_root holds a Debian root with python3.14 that this runner did not mark; using it"
    elif [ ! -e "$sid_root" ] || { [ -d "$sid_root" ] && [ -z "$(ls -A "$sid_root")" ]; }; then
        make_root || return 1
    else
        echo "$sid_root is not empty and holds no python3.14: it is not a root of this runner and is" \
            "left alone. Set VESPARIL_SID_ROOT to an absent or empty directory." >&2
        return 1
    fi

    # /proc for the interpreters, a shared-memory file system for multiprocessing's semaphores.
    if ! mountpoint -q "$sid_root/proc"; then
        mount -t proc proc "$sid_root/proc" || return 1
        mounted+=("$sid_root/proc")
    fi
    if ! mountpoint -q "$sid_root/dev/shm"; then
        mount -t tmpfs -o mode=1777 shm "$sid_root/dev/shm" || return 1
        mounted+=("$sid_root/dev/shm")
    fi

    local installed missing=() package
    installed=" $(in_root dpkg-query -W -f='${db:Status-Status}:${Package} ' "${sid_packages[@]}" 2> /dev/null || true) "
    for package in "${sid_packages[@]}"; do
        case "$installed" in *" installed:$package "*) ;; *) missing+=("$package") ;; esac
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "installing into the root: ${missing[*]}"
        in_root apt-get -o Acquire::Check-Valid-Until=false update -qq > "$work/apt.log" 2>&1 \
            && in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
                -o DPkg::Lock::Timeout=600 "${missing[@]}" >> "$work/apt.log" 2>&1 \
            || { tail -20 "$work/apt.log"; return 1; }
    fi
    local modules
    modules="$(IFS=,; echo "${root_pip_packages[*]}")"
    if ! in_root env PYTHONPATH="$root_extras" python3.14 -c "import $modules" 2> /dev/null; then
        local pip_python=python3
        [ -x "$venv/bin/python" ] && pip_python="$venv/bin/python"
        echo "installing into the root's $root_extras: ${root_pip_packages[*]}"
        "$pip_python" -m pip install "${pip_quiet[@]}" --no-deps --no-compile --upgrade \
            --target "$sid_root$root_extras" "${root_pip_packages[@]}" > "$work/extras.log" 2>&1 \
            || { grep -v '^WARNING: Location' "$work/extras.log" | tail -20; return 1; }
    fi
}

# Builds the module with interpreter $1 into this run's site directory $2 (extra environment for
# the build follows).
build_in_root() {
    local python="$1" site="$2"
    shift 2
    echo "interpreter: $(in_root "$python" --version 2>&1)"
    if ! in_root "$@" sh -c "cd $run_in/src && $python -m pip install --disable-pip-version-check \
            --root-user-action=ignore --no-build-isolation --no-deps --no-cache-dir --target $run_in/$site ." \
            > "$work/build-$site.log" 2>&1; then
        tail -40 "$work/build-$site.log"
        return 1
    fi
}

pytest_in_root() {
    local python="$1" site="$2"
    shift 2
    in_root env PYTHONPATH="$run_in/$site:$root_extras" sh -c "cd $run_in/src/tests && exec $python -m pytest -q -rfEs -p no:cacheprovider $*"
}

leg_python_in_root() {
    local python="$1" leg="$2"
    local status=0
    build_in_root "$python" "site-$leg"
    pytest_in_root "$python" "site-$leg" . || status=$?
    in_root env PYTHONPATH="$run_in/site-$leg" sh -c "cd $run_in && exec $python $run_in/src/tests/digest.py" \
        > "$work/digest-$leg.txt"
    return "$status"
}

leg_cp314() { leg_python_in_root python3.14 cp314; }
leg_cp315() { leg_python_in_root python3.15 cp315; }

# Debian's python3.14d headers are links to the release ones, and the release pyconfig.h comes
# first on the include path: without an explicit Py_DEBUG the module would be a release build,
# and every decref would look like a leaked reference to the debug interpreter's total.
leg_refleak() {
    build_in_root python3.14d site-refleak CXXFLAGS=-DPy_DEBUG
    local symbols
    symbols="$(in_root sh -c "nm -D --undefined-only $run_in/site-refleak/vesparil*.so")"
    if ! grep -q _Py_DECREF_DecRefTotal <<< "$symbols"; then
        echo "the debug build does not reference _Py_DECREF_DecRefTotal: Py_DEBUG did not reach it" >&2
        return 1
    fi
    echo "the module references _Py_DECREF_DecRefTotal (a Py_DEBUG build)"
    pytest_in_root python3.14d site-refleak test_leaks.py
}
