#!/bin/sh
# The backup benchmark: the engine (bench/backup_bench.exe, the shipped
# TBackup) against Wine's xcopy, a minimal CopyFileA program and the host's
# cp -r on a generated tree of about 1 GiB, in a Wine prefix of its own.
#   scripts/bench-backup.sh [--files N] [--rounds R] [--methods engine,xcopy,minimal,cp]
# The tree, prefix and log stay in build/bench-backup (about 1 GiB; the
# copies are removed as they are timed).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
work="$root/build/bench-backup"
[ -f "$root/build/win32/CMakeCache.txt" ] || "$root/scripts/build.sh" win32
cmake --build "$root/build/win32" -j 2 --target backup_bench minimal_copy >/dev/null
mkdir -p "$work"
if [ ! -f "$work/prefix/system.reg" ]; then
    if [ -f "$root/build/win32/e2e/template/system.reg" ]; then
        sh "$root/scripts/wineprefix.sh" clone "$root/build/win32/e2e/template" "$work/prefix"
    else
        sh "$root/scripts/wineprefix.sh" create "$work/prefix"
    fi
fi
exec sh "$root/scripts/wineprefix.sh" run "$work/prefix" -- python3 "$root/bench/backup_bench.py" \
    --work "$work" --backup-bench "$root/build/win32/bench/backup_bench.exe" \
    --minimal-copy "$root/build/win32/bench/minimal_copy.exe" "$@"
