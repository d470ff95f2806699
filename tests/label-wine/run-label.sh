#!/bin/sh
# Runs the label window test in a copy of the end-to-end template prefix
# (kept for a look when the case failed).
#   run-label.sh PROGRAM.exe BUILDFOLDER TEMPLATE
set -eu
exec python3 "$(dirname "$0")/../winetest.py" run-in-clone "$3" "$2/prefix" --out "$2/label" -- "$1"
