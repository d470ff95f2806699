#!/bin/sh
# Sets up the machine, builds everything and runs every test: the native unit
# tests, the same under ASan+UBSan, the fuzz targets over their corpora, and
# the Wine end-to-end tests, which include the release's: the release is built
# into dist/ once, before them.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" native asan win32

status=0
run() {
    echo "=== $1"
    shift
    "$@" || status=1
}
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run "native unit tests" ctest --test-dir "$root/build/native" --output-on-failure -j 2
run "native unit tests under ASan+UBSan" ctest --test-dir "$root/build/asan" --output-on-failure -j 2
run "fuzz targets over their corpora" "$root/scripts/fuzz.sh" --check
run "release into dist/" "$root/scripts/release.sh"
# The release tests fail, rather than skip, without a release of this build.
export QUENDRO_RELEASE_REQUIRED=1
run "end-to-end tests under Wine" ctest --test-dir "$root/build/win32" --output-on-failure -j 4 --timeout 900
[ $status -eq 0 ] && echo "ALL TESTS PASSED" || echo "SOME TESTS FAILED"
exit $status
