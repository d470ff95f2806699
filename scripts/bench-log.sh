#!/bin/sh
# The log benchmark of the shipped exe: quendro.exe /E under Wine on a
# generated 64 MiB log.txt against a flushed host copy and a minimal Win32
# save of the same file (bench/log_bench.py), in a Wine prefix of its own.
#   scripts/bench-log.sh [--rounds R] [--mib M]
# The log, prefix and copies stay in build/bench-log (about 300 MiB).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
work="$root/build/bench-log"
[ -f "$root/build/win32/CMakeCache.txt" ] || "$root/scripts/build.sh" win32
cmake --build "$root/build/win32" -j 2 --target quendro minimal_log_save >/dev/null
mkdir -p "$work"
if [ ! -f "$work/prefix/system.reg" ]; then
    if [ -f "$root/build/win32/e2e/template/system.reg" ]; then
        sh "$root/scripts/wineprefix.sh" clone "$root/build/win32/e2e/template" "$work/prefix"
    else
        sh "$root/scripts/wineprefix.sh" create "$work/prefix"
    fi
fi
exec sh "$root/scripts/wineprefix.sh" run "$work/prefix" -- python3 "$root/bench/log_bench.py" \
    --work "$work" --quendro "${QUENDRO_EXE:-$root/build/win32/quendro.exe}" \
    --minimal "$root/build/win32/bench/minimal_log_save.exe" "$@"
