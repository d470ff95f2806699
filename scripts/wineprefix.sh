#!/bin/sh
# The Windows 2000 test prefix: a Wine prefix that looks enough like a
# Japanese Windows 2000 machine for quendro.exe and its end-to-end tests.
#
#   wineprefix.sh create PREFIXDIR [STANDIN_EXE]
#       Makes a fresh prefix at PREFIXDIR (a folder inside a build folder; an
#       existing one is removed first). STANDIN_EXE is the stand-in console
#       (default: build/win32/standin/dfrgstub.exe of this checkout); the .txt
#       recording stub openstub.exe is taken from the same folder.
#   wineprefix.sh clone TEMPLATEDIR PREFIXDIR
#       Makes PREFIXDIR a copy of a prefix made by "create", in about a
#       second and a few megabytes: the program images and data files that
#       Windows only loads (see LINKED) are hard links to the template's;
#       everything else (the registry, .ini files, logs) is copied, as Wine
#       or a test may write it. Refuses a template whose shared files were
#       changed since it was made, or one made by another version of Wine
#       (whose first start would update those files in place).
#   wineprefix.sh remove PREFIXDIR
#       Removes a prefix once the case run in it has passed (callers keep a
#       failed case's prefix by not calling this). With QUENDRO_KEEP_PREFIXES
#       set (to anything but 0) it keeps every prefix instead. Keeps it and
#       exits 1 if the case changed a file it shares with the template.
#   wineprefix.sh run PREFIXDIR [--out BASE] -- PROGRAM [ARGS...]
#       Runs PROGRAM on a display of its own (xvfb-run -a, so several prefixes
#       can run at once) with LANG=ja_JP.UTF-8 and WINEPREFIX=PREFIXDIR, then
#       ends the prefix's wineserver and exits with PROGRAM's exit code.
#       A PROGRAM ending in .exe is started with wine, its output going to
#       BASE.out and BASE.err (default PREFIXDIR/run.out, run.err): Wine's
#       background processes keep inherited pipes open. Any other PROGRAM is
#       a host command run with that environment (DISPLAY set); it must send
#       the output of the Wine programs it starts to files itself.
#
# Drives of a created prefix, relied on by the tests:
#   C:  fixed, volume label QUENDRO_C     (drive_c)
#   D:  fixed, no volume label            (drives/d)
#   E:  fixed, volume label QUENDRO_E     (drives/e)
#   F:  CD-ROM, volume label QUENDRO_CD   (drives/f)
#   G:  no drive at all
#   Z:  fixed, Wine's view of the host's /
# Other settings: Windows version win2k; .msc opens with the stand-in console
# ("dfrg.msc" is in system32), .txt with openstub.exe; a virtual desktop
# of 800x600 (Wine then draws window frames); "MS UI Gothic" is IPA P Gothic (both proportional).
set -eu

usage() {
    echo "usage: $0 create PREFIXDIR [STANDIN_EXE]" >&2
    echo "       $0 clone TEMPLATEDIR PREFIXDIR" >&2
    echo "       $0 remove PREFIXDIR" >&2
    echo "       $0 run PREFIXDIR [--out BASE] -- PROGRAM [ARGS...]" >&2
    exit 2
}

here=$(cd "$(dirname "$0")" && pwd)

abspath() {
    case $1 in
        /*) printf '%s\n' "$1" ;;
        *) printf '%s/%s\n' "$(pwd)" "$1" ;;
    esac
}

# Host path to the Windows path Wine gives it through Z:.
winpath() {
    printf 'Z:%s\n' "$1" | sed 's|/|\\|g'
}

# The same, escaped for a string of a .reg file.
regpath() {
    winpath "$1" | sed 's|\\|\\\\|g'
}

refuse_home_prefix() {
    case $1 in
        "$HOME/.wine" | "$HOME/.wine/") echo "$0: refusing to touch $1" >&2; exit 2 ;;
    esac
}

export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
export WINEDEBUG=${WINEDEBUG:--all}

# The files a clone shares with its template by hard link. Wine maps them
# and never writes them; it replaces the registry files (a new file renamed
# over the old). Across a whole test run only system.reg and user.reg of a
# prefix changed.
LINKED='dll exe drv sys ocx cpl acm ax tlb nls vxd ds msstyles com mod icm ttf ttc fon'

# Written by "create" once the template is complete: a shared file newer
# than this one was changed in place through some clone.
MADE=.quendro-made

# find DIR -type f, then NOT (or nothing) and the names in LINKED, then ARGS.
find_linked() {
    dir=$1 not=$2 found=
    shift 2
    names=
    for ext in $LINKED; do
        names="$names${names:+ -o} -iname *.$ext"
    done
    # Word splitting of $names is wanted; no name contains a space, and
    # globbing is off so the patterns reach find as they are.
    set -f
    # shellcheck disable=SC2086
    find "$dir" -type f $not \( $names \) "$@" || found=$?
    set +f
    return "${found:-0}"
}

# Lists the files of PREFIXDIR in LINKED written since its template was
# made (ARGS narrow it, e.g. to files still shared).
changed_shared() {
    dir=$1
    shift
    find_linked "$dir" "" -newer "$dir/$MADE" "$@" -print
}

# Runs "$@" (host commands) on a fresh virtual display.
on_display() {
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$@"
}

cmd_create() {
    [ $# -ge 1 ] || usage
    prefix=$(abspath "$1")
    refuse_home_prefix "$prefix"
    standin=$(abspath "${2:-$here/../build/win32/standin/dfrgstub.exe}")
    standin_dir=$(dirname "$standin")
    openstub="$standin_dir/openstub.exe"
    [ -f "$standin" ] || echo "$0: warning: no stand-in console at $standin yet" >&2

    rm -rf "$prefix"
    mkdir -p "$prefix"
    export WINEPREFIX="$prefix"
    # Debian's wine32 loader makes a win64 prefix when wine64 is installed too.
    export WINEARCH="${WINEARCH:-win32}"
    log="$prefix/create"

    # Mono and Gecko are not wanted; the override is for this command only.
    WINEDLLOVERRIDES="mscoree,mshtml=" on_display sh -c 'wineboot -i && wineserver -w' \
        >"$log.out" 2>"$log.err" </dev/null

    # Drives. Relative links so that a copied prefix still works.
    mkdir -p "$prefix/drives/d" "$prefix/drives/e" "$prefix/drives/f"
    for letter in d e f g; do
        rm -f "$prefix/dosdevices/$letter:" "$prefix/dosdevices/$letter::"
    done
    ln -s ../drives/d "$prefix/dosdevices/d:"
    ln -s ../drives/e "$prefix/dosdevices/e:"
    ln -s ../drives/f "$prefix/dosdevices/f:"
    printf 'QUENDRO_C\n' >"$prefix/drive_c/.windows-label"
    printf 'QUENDRO_E\n' >"$prefix/drives/e/.windows-label"
    printf 'QUENDRO_CD\n' >"$prefix/drives/f/.windows-label"

    # The console file only has to exist; its association does the rest.
    printf '<?xml version="1.0"?>\r\n<MMC_ConsoleFile/>\r\n' \
        >"$prefix/drive_c/windows/system32/dfrg.msc"

    reg="$prefix/quendro.reg"
    cat >"$reg" <<EOF
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine]
"Version"="win2k"

[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]
"d:"="hd"
"e:"="hd"
"f:"="cdrom"

[HKEY_CLASSES_ROOT\\.msc]
@="MSCFile"

[HKEY_CLASSES_ROOT\\MSCFile\\shell\\open\\command]
@="\\"$(regpath "$standin")\\" \\"%1\\" %*"

[HKEY_CLASSES_ROOT\\.txt]
@="txtfile"

[HKEY_CLASSES_ROOT\\txtfile\\shell\\open\\command]
@="\\"$(regpath "$openstub")\\" \\"%1\\""

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"Default"="800x600"

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
"MS UI Gothic"="IPAPGothic"
"MS Gothic"="IPAGothic"
"MS PGothic"="IPAPGothic"
EOF
    # A console-only wine command before any display would leave a server
    # behind that misses later message boxes: run it on a display and wait
    # for its server to end.
    on_display sh -c 'wine regedit /S "$1" && wineserver -w' sh "$(winpath "$reg")" \
        >>"$log.out" 2>>"$log.err" </dev/null

    # The first start after a registry change is slow (more than the 16.5 s
    # the defragmenter automation waits); pay for it here.
    if [ -f "$openstub" ]; then
        cmd_run "$prefix" --out "$prefix/warmup" -- "$openstub" warmup
    else
        cmd_run "$prefix" --out "$prefix/warmup" -- cmd.exe /c exit 0
    fi
    touch "$prefix/$MADE"
}

cmd_clone() {
    [ $# -eq 2 ] || usage
    template=$(abspath "$1")
    prefix=$(abspath "$2")
    refuse_home_prefix "$prefix"
    [ -f "$template/system.reg" ] || { echo "$0: $template is not a prefix" >&2; exit 2; }
    changed=
    if [ -f "$template/$MADE" ]; then
        changed=$(changed_shared "$template" | head -n 3)
    else
        echo "$0: warning: $template predates the check of shared files; make it again" >&2
    fi
    if [ -n "$changed" ]; then
        printf '%s: files of %s were changed in place through a clone; make it again:\n%s\n' \
            "$0" "$template" "$changed" >&2
        exit 2
    fi
    # A Wine other than the template's would update the prefix on its first
    # start, rewriting the shared files.
    inf=$(dirname "$(command -v wineserver)")/../share/wine/wine.inf
    stamp=$(head -n 1 "$template/.update-timestamp" 2>/dev/null || true)
    case $stamp in
        "" | *[!0-9]*) ;;  # no stamp, or updates disabled
        *)
            if [ -f "$inf" ] && [ "$stamp" != "$(stat -c %Y "$inf")" ]; then
                echo "$0: $template was made by another version of Wine; make it again" >&2
                exit 2
            fi
            ;;
    esac
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    if cp -a --link "$template" "$prefix" 2>/dev/null; then
        # Break the links of everything Wine or a test may write.
        find_linked "$prefix" ! -exec sh -c '
            for f; do cp -p "$f" "$f.copy" && mv -f "$f.copy" "$f" || exit 1; done' sh {} +
    else
        # No hard links across file systems: a full copy.
        rm -rf "$prefix"
        cp -a "$template" "$prefix"
    fi
}

cmd_remove() {
    [ $# -eq 1 ] || usage
    prefix=$(abspath "$1")
    refuse_home_prefix "$prefix"
    [ -d "$prefix" ] || exit 0
    [ -f "$prefix/system.reg" ] || { echo "$0: $prefix is not a prefix" >&2; exit 2; }
    if [ -f "$prefix/$MADE" ]; then
        changed=$(changed_shared "$prefix" -links +1 | head -n 3)
        if [ -n "$changed" ]; then
            printf '%s: the case changed files it shares with its template (kept %s):\n%s\n' \
                "$0" "$prefix" "$changed" >&2
            exit 1
        fi
    fi
    case ${QUENDRO_KEEP_PREFIXES:-0} in
        0) rm -rf "$prefix" ;;
        *) echo "$0: keeping $prefix (QUENDRO_KEEP_PREFIXES)" >&2 ;;
    esac
}

cmd_run() {
    [ $# -ge 1 ] || usage
    prefix=$(abspath "$1")
    shift
    out="$prefix/run"
    while [ $# -gt 0 ]; do
        case $1 in
            --out) out=$(abspath "$2"); shift 2 ;;
            --) shift; break ;;
            *) usage ;;
        esac
    done
    [ $# -ge 1 ] || usage
    refuse_home_prefix "$prefix"
    export WINEPREFIX="$prefix"
    # The server is ended while the display still exists, so that no Wine
    # process loses its X connection first.
    status=0
    case $1 in
        *.exe | *.EXE)
            on_display sh -c '
                out=$1; shift
                wine "$@" >"$out.out" 2>"$out.err"; status=$?
                wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
                exit $status' sh "$out" "$@" </dev/null || status=$?
            ;;
        *)
            on_display sh -c '
                "$@"; status=$?
                wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
                exit $status' sh "$@" </dev/null || status=$?
            ;;
    esac
    return $status
}

[ $# -ge 1 ] || usage
command=$1
shift
case $command in
    create) cmd_create "$@" ;;
    clone) cmd_clone "$@" ;;
    remove) cmd_remove "$@" ;;
    run) cmd_run "$@" ;;
    *) usage ;;
esac
