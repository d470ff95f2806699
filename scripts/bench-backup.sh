#!/bin/sh
# The backup benchmark: the engine (bench/backup_bench.exe, the product's
# TBackup; x86_64 build under wine64) against Wine's xcopy, a minimal
# CopyFileA program and the host's cp -r on a generated tree of about 1 GiB,
# in a Wine prefix of its own.
#   scripts/bench-backup.sh [--files N] [--rounds R] [--methods engine,xcopy,minimal,cp]
# The tree, prefix and log are made in build/bench-backup and removed after
# the run (QUENDRO_KEEP_BENCH=1 keeps them).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/bench-common.sh"
work="$root/build/bench-backup"
bench_run "$work" "backup_bench minimal_copy" python3 "$root/bench/backup_bench.py" \
    --work "$work" --backup-bench "$root/build/win64/bench/backup_bench.exe" \
    --minimal-copy "$root/build/win64/bench/minimal_copy.exe" "$@"
