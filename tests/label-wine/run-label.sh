#!/bin/sh
# Runs the label window test in a copy of the end-to-end template prefix.
#   run-label.sh PROGRAM.exe BUILDFOLDER WINEPREFIX_SCRIPT TEMPLATE
set -eu
exe=$1
bin=$2
wineprefix=$3
template=$4
prefix=$bin/prefix
if ! sh "$wineprefix" clone "$template" "$prefix" >"$bin/clone.log" 2>&1; then
    cat "$bin/clone.log"
    echo "cannot copy the template prefix; was e2e_prefix_template run?"
    exit 1
fi
status=0
sh "$wineprefix" run "$prefix" --out "$bin/label" -- "$exe" || status=$?
# The program reports in code page 932.
iconv -f CP932 -t UTF-8 "$bin/label.out" 2>/dev/null || cat "$bin/label.out"
echo "exit code $status"
# A failed case keeps its prefix for a look.
[ $status -ne 0 ] || sh "$wineprefix" remove "$prefix" || status=$?
exit $status
