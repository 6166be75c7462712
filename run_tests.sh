#!/usr/bin/env bash
# Builds vesparil and runs the whole test suite twice: on the stock python3 and on CPython 3.14
# (inside a Debian sid root made with debootstrap and kept between runs), then checks that both
# builds give bit-identical results. Everything it needs is installed here on a fresh machine.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
sid_root="${VESPARIL_SID_ROOT:-/opt/vesparil-sid}"
sid_packages="python3.14-dev,python3-pytest,python3-numpy,python3-hypothesis,python3-pip,python3-scikit-build-core,g++,cmake,ninja-build"
work="$(mktemp -d)"
trap 'umount "$sid_root/proc" 2>/dev/null || true; rm -rf "$work"' EXIT

run_pytest() {
    # pytest exits 5 when it collected nothing: that is a failure here.
    "$@" || { status=$?; echo "pytest failed (exit $status)"; return 1; }
}

echo "== stock interpreter: $(python3 --version)"
python3 -m pip install --quiet --disable-pip-version-check --root-user-action=ignore pytest hypothesis numpy
python3 -m pip install --quiet --disable-pip-version-check --root-user-action=ignore --force-reinstall --no-deps "$here"
(cd "$here/tests" && run_pytest python3 -m pytest -q -p no:cacheprovider .)
(cd "$work" && python3 "$here/tests/digest.py" > "$work/digest-stock.txt")

echo "== CPython 3.14 (Debian sid root at $sid_root)"
if [ ! -x "$sid_root/usr/bin/python3.14" ]; then
    if ! command -v debootstrap > /dev/null; then
        apt-get update -qq
        apt-get install -y -qq debootstrap > /dev/null
    fi
    rm -rf "$sid_root"
    debootstrap --variant=minbase --include="$sid_packages" sid "$sid_root" > "$work/debootstrap.log" \
        || { tail -20 "$work/debootstrap.log"; exit 1; }
fi
mountpoint -q "$sid_root/proc" || mount -t proc proc "$sid_root/proc"
rm -rf "$sid_root/tmp/vesparil"
mkdir -p "$sid_root/tmp/vesparil"
tar -C "$here" --exclude=./build --exclude=./.git --exclude='*.so' --exclude=__pycache__ \
    --exclude=.hypothesis -cf - . | tar -C "$sid_root/tmp/vesparil" -xf -
chroot "$sid_root" /bin/sh -c '
    set -e
    cd /tmp/vesparil
    python3.14 --version
    python3.14 -m pip install --quiet --disable-pip-version-check --root-user-action=ignore --break-system-packages \
        --no-build-isolation --no-deps --force-reinstall .
    cd tests && python3.14 -m pytest -q -p no:cacheprovider .
' || { echo "CPython 3.14 leg failed"; exit 1; }
chroot "$sid_root" /bin/sh -c 'cd /tmp && python3.14 /tmp/vesparil/tests/digest.py' > "$work/digest-314.txt"

echo "== reproducibility across builds"
if ! cmp -s "$work/digest-stock.txt" "$work/digest-314.txt"; then
    diff "$work/digest-stock.txt" "$work/digest-314.txt" || true
    echo "results differ between the stock and the CPython 3.14 builds"
    exit 1
fi
cat "$work/digest-stock.txt"
echo "both legs passed; results are bit-identical"
