#!/bin/sh
# Sets up the machine, builds everything and runs every test: the native unit
# tests, the same under ASan+UBSan, the fuzz targets over their corpora, and
# the Wine tests in both ways (tests/winetest.py): native64, the x86_64 build
# under wine64, and shipped32, the shipped i686 programs under wine32 (run by
# qemu-i386 where the kernel cannot start them), which alone run the
# installer's cases. The release is built into dist/ once, before them.
#
# QUENDRO_SHIPPED32=subset runs only the shipped32 cases that depend on the
# 32-bit code itself (label shipped32) instead of the whole suite that way.
# QUENDRO_WINE_JOBS sets ctest's parallelism for both ways.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
summary=""
# Set-up and builds: nothing can be tested without them.
must() {
    name=$1
    shift
    start=$(date +%s)
    "$@"
    summary="$summary$(printf '%6ss  %s' $(($(date +%s) - start)) "$name")
"
}
must "set-up" "$root/scripts/setup.sh"
must "builds (native, asan, win32, win64)" "$root/scripts/build.sh" native asan win32 win64

run() {
    name=$1
    shift
    echo "=== $name"
    start=$(date +%s)
    rc=0
    "$@" || rc=$?
    [ $rc -eq 0 ] || status=1
    last_rc=$rc
    summary="$summary$(printf '%6ss  %s%s' $(($(date +%s) - start)) "$name" "$([ $rc -eq 0 ] || echo ' (FAILED)')")
"
}
# A way's template prefix (0.6 to 1.3 GB) goes once its tests passed: every
# run makes it anew, and a failed run keeps it for a look.
drop_template() {
    [ "$last_rc" -ne 0 ] || rm -rf "$root/build/$1/e2e/template"
}
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run "native unit tests" ctest --test-dir "$root/build/native" --output-on-failure -j 2
run "native unit tests under ASan+UBSan" ctest --test-dir "$root/build/asan" --output-on-failure -j 2
run "fuzz targets over their corpora" "$root/scripts/fuzz.sh" --check
run "release into dist/" "$root/scripts/release.sh"
# The release tests fail, rather than skip, without a release of this build.
export QUENDRO_RELEASE_REQUIRED=1
run "Wine tests, native64: $(python3 "$root/tests/winetest.py" describe "$root/build/win64/quendro.exe")" \
    ctest --test-dir "$root/build/win64" --output-on-failure -j "${QUENDRO_WINE_JOBS:-4}" --timeout 900
drop_template win64
way32=$("$root/scripts/i386-emulation.sh" status)
subset=
[ "${QUENDRO_SHIPPED32:-all}" != subset ] || subset="-L shipped32"
# Two cores: under emulation the Wine programs themselves load the machine,
# elsewhere the tests mostly wait on the programs' own sleeps.
jobs32=4
case $way32 in emulated*) jobs32=3 ;; esac
# shellcheck disable=SC2086
run "Wine tests, shipped32${subset:+ (subset)}: $(python3 "$root/tests/winetest.py" describe "$root/build/win32/quendro.exe")" \
    ctest --test-dir "$root/build/win32" --output-on-failure -j "${QUENDRO_WINE_JOBS:-$jobs32}" --timeout 900 $subset
drop_template win32
echo "=== durations"
printf '%s' "$summary"
[ $status -eq 0 ] && echo "ALL TESTS PASSED" || echo "SOME TESTS FAILED"
exit $status
