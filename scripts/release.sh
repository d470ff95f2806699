#!/bin/sh
# Builds Quendro for Windows 2000 and writes the release into dist/: the zip
# quendro-V.zip, the installer quendro-V-setup.exe and their SHA-256 list
# SHA256SUMS (V: the stored Version in resources/Main.dfm). Works from a fresh
# clone: installs what is missing first, like the other two commands.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" win32
exec python3 "$root/installer/release.py" --build "$root/build/win32" --dist "$root/dist"
