#!/bin/sh
# Sets up the machine, builds quendro.exe and runs it in command-line mode in
# a fresh Windows 2000 test prefix, against the stand-in console behaving
# normally. Prints the resulting log.txt (decoded to UTF-8) and the exit code.
# It runs the shipped 32-bit exe under wine32: through qemu-i386 where the
# kernel cannot start i386 programs (the first line of output says which).
#   run-main.sh [ARGS...]       default arguments: C: /E
#   run-main.sh --window        window mode instead: on your display when
#                               DISPLAY is set, else under Xvfb with a
#                               screenshot saved (the path is printed)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" >/dev/null
"$root/scripts/build.sh" win32 >/dev/null
[ $# -gt 0 ] || set -- C: /E

work="$root/build/win32/main-job"
rm -rf "$work"
mkdir -p "$work/app"
# The prefix (about 600 MB) goes when the job is done; the app folder with
# log.txt and the screenshot stays. QUENDRO_KEEP_PREFIXES=1 keeps it too.
drop_prefix() {
    [ "${QUENDRO_KEEP_PREFIXES:-0}" != 0 ] || rm -rf "$work/prefix"
}
# The way of the shipped exe: its loader, WINEARCH and locale.
eval "$(python3 "$root/tests/winetest.py" env "$root/build/win32/quendro.exe")"
echo "Way: $QUENDRO_WAY_DESCRIPTION"
echo "Creating the Windows 2000 test prefix..."
"$root/scripts/wineprefix.sh" create "$work/prefix" "$root/build/win32/standin/dfrgstub.exe" >/dev/null
cp "$root/build/win32/quendro.exe" "$work/app/"
# The help file beside the exe; the help viewer finds it through the
# current folder, so window mode starts in that folder.
cp "$root/build/win32/DAVIRAZ.OVA" "$root/build/win32/DAVIRAZ.CNT" "$work/app/"
: > "$work/standin-map.txt"   # no lines: every drive's console behaves normally
export QUENDRO_STANDIN_MAP="$(printf 'Z:%s' "$work/standin-map.txt" | sed 's|/|\\|g')"
export QUENDRO_STANDIN_RECORD="$(printf 'Z:%s' "$work/standin-record.txt" | sed 's|/|\\|g')"

if [ "${1:-}" = "--window" ]; then
    if [ -n "${DISPLAY:-}" ]; then
        echo "Opening the window on $DISPLAY; close it to end."
        set +e
        (cd "$work/app" && WINEPREFIX="$work/prefix" wine "$work/app/quendro.exe" \
            >"$work/quendro.out" 2>"$work/quendro.err")
        code=$?
        WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
    else
        shot="$work/window.png"
        cat > "$work/shot.sh" <<SHOT
#!/bin/sh
cd "$work/app"
wine "$work/app/quendro.exe" >"$work/quendro.out" 2>"$work/quendro.err" &
sleep 8
import -window root "$shot"
wineserver -k
SHOT
        chmod +x "$work/shot.sh"
        set +e
        "$root/scripts/wineprefix.sh" run "$work/prefix" -- "$work/shot.sh"
        code=$?
        echo "No display: ran under Xvfb; screenshot of the window saved to $shot"
    fi
    set -e
    drop_prefix
    exit $code
fi

echo "Running: quendro.exe $*"
set +e
"$root/scripts/wineprefix.sh" run "$work/prefix" --out "$work/quendro" -- "$work/app/quendro.exe" "$@"
code=$?
set -e
echo "----- log.txt -----"
if [ -f "$work/app/log.txt" ]; then
    python3 -c 'import sys; sys.stdout.write(open(sys.argv[1], "rb").read().decode("cp932", "replace").replace("\r\n", "\n").replace("\r", "\\r"))' "$work/app/log.txt"
else
    echo "(no log.txt was written)"
fi
echo "-------------------"
echo "exit code: $code"
drop_prefix
exit $code
