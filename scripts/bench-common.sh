# Shared by the benchmark scripts (sourced): builds the named cross-build
# targets, runs a command in a Wine prefix of the benchmark's own under WORK
# (cloned from the test template when there is one), then removes WORK,
# which holds generated trees of hundreds of MiB, unless QUENDRO_KEEP_BENCH=1.
#   bench_run WORK "TARGET..." COMMAND [ARGS...]
bench_run() {
    work=$1
    targets=$2
    shift 2
    [ -f "$root/build/win32/CMakeCache.txt" ] || "$root/scripts/build.sh" win32
    # shellcheck disable=SC2086
    cmake --build "$root/build/win32" -j 2 --target $targets >/dev/null
    mkdir -p "$work"
    if [ ! -f "$work/prefix/system.reg" ]; then
        if [ -f "$root/build/win32/e2e/template/system.reg" ]; then
            sh "$root/scripts/wineprefix.sh" clone "$root/build/win32/e2e/template" "$work/prefix"
        else
            sh "$root/scripts/wineprefix.sh" create "$work/prefix"
        fi
    fi
    status=0
    sh "$root/scripts/wineprefix.sh" run "$work/prefix" -- "$@" || status=$?
    [ "${QUENDRO_KEEP_BENCH:-0}" != 0 ] || rm -rf "$work"
    return $status
}
