#!/bin/sh
# Runs the version read-back program under Wine in a copy of the end-to-end
# template prefix (kept for a look when the case failed).
#   run-readback.sh PROGRAM.exe BUILDFOLDER TEMPLATE
set -eu
exe=$1
bin=$2
work=$bin/readback
winpath() {
    printf 'Z:%s\n' "$1" | sed 's|/|\\|g'
}
rm -rf "$work"
mkdir -p "$work"
exec python3 "$(dirname "$0")/../winetest.py" run-in-clone "$3" "$bin/prefix" --out "$work/readback" -- "$exe" \
    "$(winpath "$work")" "$(winpath "$bin/windres-main.res")" "$(winpath "$bin/windres-odd.res")"
