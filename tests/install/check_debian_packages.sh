#!/usr/bin/env bash
# Builds the Debian packages, runs lintian on them (no error, no warning that
# is not overridden with a reason), checks their shape, unpacks them and runs
# what they install: ZephScan (also past a stale registration), zephreg, the
# Python package, and clients built against the -dev package.
#   check_debian_packages.sh SOURCE WORK PICTURE EXPECTED
set -euo pipefail
source_dir=$1 work=$2 picture=$3 expected=$4
failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}
expect_in() {  # what text output
    if [[ "$3" != *"$2"* ]]; then fail "$1: '$2' not in: $3"; fi
}

rm -rf "$work"
mkdir -p "$work"
"$source_dir/tools/build-debian-packages" "$work/debs" >"$work/build.log" 2>&1 || {
    tail -50 "$work/build.log" >&2
    fail "the packages do not build (log: $work/build.log)"
    exit 1
}
changes=$(ls "$work"/debs/*.changes)

echo "== lintian"
lintian --display-level ">=pedantic" --display-experimental --show-overrides "$changes" | tee "$work/lintian.txt" || true
if grep -E '^[EW]: ' "$work/lintian.txt"; then fail "lintian reports errors or warnings"; fi

triplet=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
lib=usr/lib/$triplet
deb() { ls "$work"/debs/"$1"_*.deb; }
contents() { dpkg-deb --fsys-tarfile "$(deb "$1")" | tar -t | sed 's|^\./||'; }
field() { dpkg-deb --field "$(deb "$1")" "$2"; }

echo "== shape"
expect_in "libzephbarcode1 files" "$lib/libzephbarcode.so.1" "$(contents libzephbarcode1)"
expect_in "libzephbarcode1 files" "$lib/zephbarcode/libZephBarcodeReader.so" \
    "$(contents libzephbarcode1)"
expect_in "libzephbarcode1 files" "$lib/zephbarcode/ZephBarcodeReader.manifest" \
    "$(contents libzephbarcode1)"
for f in usr/include/zeph/barcode.h "$lib/libzephbarcode.so" \
    "$lib/cmake/ZephBarcode/ZephBarcodeConfig.cmake" "$lib/pkgconfig/zephbarcode.pc"; do
    expect_in "libzephbarcode-dev files" "$f" "$(contents libzephbarcode-dev)"
done
for f in usr/share/man/man1/ZephScan.1.gz usr/share/man/man1/zephreg.1.gz; do
    expect_in "zephscan files" "$f" "$(contents zephscan)"
done
programs=$(contents zephscan | grep '^usr/bin/.' | sort | tr '\n' ' ')
[[ "$programs" == "usr/bin/ZephScan usr/bin/zephreg " ]] ||
    fail "/usr/bin holds more than the two programs: $programs"
for p in libzephbarcode1 libzephbarcode-dev zephscan python3-zephbarcode; do
    expect_in "$p files" "usr/share/doc/$p/copyright" "$(contents "$p")"
    expect_in "$p files" "usr/share/doc/$p/changelog.gz" "$(contents "$p")"
done
mkdir -p "$work/control"
dpkg-deb --control "$(deb libzephbarcode1)" "$work/control/libzephbarcode1"
expect_in "libzephbarcode1 shlibs" "libzephbarcode 1 libzephbarcode1" \
    "$(cat "$work/control/libzephbarcode1/shlibs")"
expect_in "libzephbarcode1 triggers" "activate-noawait ldconfig" \
    "$(cat "$work/control/libzephbarcode1/triggers")"
# Dependencies come from the libraries the files link ...
expect_in "zephscan depends" "libzephbarcode1 (= " "$(field zephscan Depends)"
expect_in "libzephbarcode1 depends" "libdeflate0" "$(field libzephbarcode1 Depends)"
# ... and, for the image decoders opened at run time, are named by hand.
for p in libzephbarcode1 zephscan; do
    for decoder in libturbojpeg0 libpng16-16 libgif7 libtiff6 libwebp7 libwebpdemux2 libheif1; do
        expect_in "$p depends" "$decoder" "$(field "$p" Depends)"
    done
done
expect_in "python3-zephbarcode depends" "python3-numpy" "$(field python3-zephbarcode Depends)"
expect_in "python3-zephbarcode depends" "python3 (>= " "$(field python3-zephbarcode Depends)"
expect_in "python3-zephbarcode depends" "libzephbarcode1 (>= " \
    "$(field python3-zephbarcode Depends)"

root=$work/root
for d in "$work"/debs/*.deb; do dpkg-deb --extract "$d" "$root"; done
while IFS= read -r -d '' f; do
    if file -b "$f" | grep -q '^ELF'; then
        file -b "$f" | grep -q ', stripped' || fail "not stripped: ${f#"$root"}"
    fi
done < <(find "$root/usr/bin" "$root/$lib" "$root/usr/lib/python3" -type f -print0)
head -1 "$root/usr/share/doc/zephscan/copyright" |
    grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
    fail "the copyright file is not machine-readable"

echo "== the packaged programs"
registry=$work/registry
mkdir -p "$registry"
export ZEPH_REGISTRY=$registry
run_zephscan() { "$root/usr/bin/ZephScan" "$picture" 2>&1; }
expect_in "ZephScan from the packages" "<Data>$expected</Data>" "$(run_zephscan)"
# A registration whose module file was deleted does not hide the package's.
cp "$root/$lib/zephbarcode/libZephBarcodeReader.so" "$work/stale.so"
"$root/usr/bin/zephreg" "$work/stale.so" >/dev/null
rm "$work/stale.so"
expect_in "ZephScan past a stale registration" "<Data>$expected</Data>" "$(run_zephscan)"
mv "$root/$lib/zephbarcode/ZephBarcodeReader.manifest" "$work/manifest"
output=$(run_zephscan) && fail "ZephScan without a module reported success"
expect_in "ZephScan without a module" "$work/stale.so (registered): no such file" "$output"
expect_in "ZephScan without a module" "$lib/zephbarcode/ZephBarcodeReader.manifest" "$output"
mv "$work/manifest" "$root/$lib/zephbarcode/ZephBarcodeReader.manifest"
# The stale class is unregistered through the packaged module, which serves it.
expect_in "zephreg -u" "succeeded" \
    "$("$root/usr/bin/zephreg" -u "$root/$lib/zephbarcode/libZephBarcodeReader.so" 2>&1)"
[[ -z "$(ls -A "$registry/CLSID" 2>/dev/null)" ]] || fail "zephreg -u left the class registered"
expect_in "ZephScan unregistered" "<Data>$expected</Data>" "$(run_zephscan)"
unset ZEPH_REGISTRY

export LD_LIBRARY_PATH=$root/$lib
expect_in "Python package from the packages" "$expected" "$(PYTHONPATH=$root/usr/lib/python3/dist-packages \
    python3 -c 'import sys, zephbarcode; print([b.text for b in zephbarcode.read(sys.argv[1])])' \
    "$picture")"
flags=$(PKG_CONFIG_PATH=$root/$lib/pkgconfig pkg-config --cflags --libs zephbarcode)
# shellcheck disable=SC2086 # the flags are words
g++ "$source_dir/tests/install/client.cpp" $flags -o "$work/pkg_config_client"
expect_in "pkg-config client" "$expected" "$("$work/pkg_config_client" "$picture")"
cmake -S "$source_dir/tests/install/find_package" -B "$work/find_package" -G Ninja \
    -DCMAKE_PREFIX_PATH="$root/usr" >/dev/null
cmake --build "$work/find_package" >/dev/null
expect_in "find_package client" "$expected" "$("$work/find_package/client" "$picture")"

if ((failures > 0)); then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "Debian packages: every check passed"
