#!/bin/sh
# The log benchmark: quendro.exe /E (the x86_64 build, under wine64) on a
# generated 64 MiB log.txt against a flushed host copy and a minimal Win32
# save of the same file (bench/log_bench.py), in a Wine prefix of its own.
#   scripts/bench-log.sh [--rounds R] [--mib M]
# The log, prefix and copies are made in build/bench-log and removed after
# the run (QUENDRO_KEEP_BENCH=1 keeps them).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/bench-common.sh"
work="$root/build/bench-log"
bench_run "$work" "quendro minimal_log_save" python3 "$root/bench/log_bench.py" \
    --work "$work" --quendro "${QUENDRO_EXE:-$root/build/win64/quendro.exe}" \
    --minimal "$root/build/win64/bench/minimal_log_save.exe" "$@"
