# Shared by the benchmark scripts (sourced): builds the named targets of the
# x86_64 build, runs a command in a Wine prefix of the benchmark's own under
# WORK (cloned from that build's test template when there is one), then
# removes WORK, which holds generated trees of hundreds of MiB, unless
# QUENDRO_KEEP_BENCH=1.
#   bench_run WORK "TARGET..." COMMAND [ARGS...]
# The benchmarks run the 64-bit build under wine64 at native speed: where the
# shipped i686 programs need qemu-i386, timing them would measure the
# emulator, not the program. The shipped exe's size and imports are checked
# statically by its build.
bench_build="$root/build/win64"
bench_run() {
    work=$1
    targets=$2
    shift 2
    [ -f "$bench_build/CMakeCache.txt" ] || "$root/scripts/build.sh" win64
    # shellcheck disable=SC2086
    cmake --build "$bench_build" -j 2 --target $targets >/dev/null
    eval "$(python3 "$root/tests/winetest.py" env "$bench_build/quendro.exe")"
    echo "benchmark way: $QUENDRO_WAY_DESCRIPTION"
    mkdir -p "$work"
    if [ ! -f "$work/prefix/system.reg" ]; then
        if [ -f "$bench_build/e2e/template/system.reg" ]; then
            sh "$root/scripts/wineprefix.sh" clone "$bench_build/e2e/template" "$work/prefix"
        else
            sh "$root/scripts/wineprefix.sh" create "$work/prefix" "$bench_build/standin/dfrgstub.exe"
        fi
    fi
    status=0
    sh "$root/scripts/wineprefix.sh" run "$work/prefix" -- "$@" || status=$?
    [ "${QUENDRO_KEEP_BENCH:-0}" != 0 ] || rm -rf "$work"
    return $status
}
