#!/bin/sh
# Runs the version read-back program under Wine, in a Windows 2000 prefix of
# its own inside the build folder (made when missing; removed when the case
# passed, kept for a look or a rerun when it failed or QUENDRO_KEEP_PREFIXES
# is set).
#   run-readback.sh PROGRAM.exe BUILDFOLDER WINEPREFIX_SCRIPT
set -eu
exe=$1
bin=$2
wineprefix=$3
prefix=$bin/prefix
work=$bin/readback

winpath() {
    printf 'Z:%s\n' "$1" | sed 's|/|\\|g'
}

if [ ! -f "$prefix/.readback-ready" ]; then
    echo "creating the Wine prefix $prefix"
    if ! sh "$wineprefix" create "$prefix" >"$bin/prefix-create.log" 2>&1; then
        cat "$bin/prefix-create.log"
        rm -rf "$prefix"
        exit 1
    fi
    touch "$prefix/.readback-ready"
fi

rm -rf "$work"
mkdir -p "$work"
status=0
sh "$wineprefix" run "$prefix" --out "$work/readback" -- "$exe" \
    "$(winpath "$work")" "$(winpath "$bin/windres-main.res")" "$(winpath "$bin/windres-odd.res")" || status=$?
# The program reports in code page 932.
iconv -f CP932 -t UTF-8 "$work/readback.out" 2>/dev/null || cat "$work/readback.out"
echo "exit code $status"
[ $status -ne 0 ] || sh "$wineprefix" remove "$prefix" || status=$?
exit $status
