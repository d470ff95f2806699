#!/bin/sh
# Installs what building and testing Quendro needs on Debian 12 (run as root).
# Idempotent: packages already present are left alone.
#
# The Wine tests run in two ways (see tests/winetest.py): the 64-bit build
# under wine64, and the shipped 32-bit programs under wine32. Where the
# kernel cannot start i386 programs itself (32-bit emulation switched off),
# wine32's loader is run by qemu-i386 through a binfmt_misc registration
# (scripts/i386-emulation.sh); qemu 10 comes from bookworm-backports, as
# bookworm's own 7.2 cannot run Wine.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

PACKAGES="cmake make g++ gcc git python3 g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 \
g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64 \
wine wine64 wine32:i386 xvfb xauth x11-apps imagemagick locales fonts-ipafont-gothic \
googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev nsis 7zip wixl msitools"
BACKPORTS_PACKAGES="qemu-user"
QEMU_MIN_MAJOR=10

missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done

qemu_major() {
    qemu-i386 --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\)\..*/\1/p'
}
need_qemu=
major=$(qemu_major)
[ -n "$major" ] && [ "$major" -ge $QEMU_MIN_MAJOR ] || need_qemu=1

# apt runs with sources and index lists of our own, under $APTDIR: a copy of
# the machine's sources plus bookworm-backports. The machine's own sources
# and lists stay as they are.
APTDIR=/var/lib/quendro-setup/apt
apt_conf() {
    echo "-o Dir::Etc::sourcelist=$APTDIR/$1/sources.list -o Dir::Etc::sourceparts=$APTDIR/$1/sources.list.d"
    echo "-o Dir::State::Lists=$APTDIR/lists -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache="
}
# $1: the set's name; $2: "nosecurity" drops every *-security suite, for all
# architectures alike.
make_sources() {
    d="$APTDIR/$1"
    rm -rf "$d"
    mkdir -p "$d/sources.list.d" "$APTDIR/lists/partial"
    drop='^$'
    [ "$2" != nosecurity ] || drop='-security$'
    # One-line form: the suite is the word after the URI (options in [...] skipped).
    if [ -f /etc/apt/sources.list ]; then
        awk -v drop="$drop" '
            /^[ \t]*deb(-src)?[ \t]/ {
                line = $0; sub(/\[[^]]*\][ \t]*/, "", line); split(line, w, /[ \t]+/)
                i = (w[1] == "") ? 3 : 2; if (w[i + 1] ~ drop) next
            }
            { print }' /etc/apt/sources.list > "$d/sources.list"
    else
        : > "$d/sources.list"
    fi
    for f in /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        cp "$f" "$d/sources.list.d/"
    done
    # deb822 form: a stanza's Suites line loses the dropped suites; a stanza
    # left with none goes.
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        awk -v drop="$drop" 'BEGIN { RS = ""; ORS = "\n\n" }
            {
                n = split($0, lines, "\n"); out = ""; keep = 1
                for (i = 1; i <= n; i++) {
                    if (lines[i] ~ /^Suites:/) {
                        m = split(substr(lines[i], 8), s, /[ \t]+/); kept = ""
                        for (j = 1; j <= m; j++) if (s[j] != "" && s[j] !~ drop) kept = kept " " s[j]
                        if (kept == "") keep = 0
                        lines[i] = "Suites:" kept
                    }
                    out = out lines[i] (i < n ? "\n" : "")
                }
                if (keep) print out
            }' "$f" > "$d/sources.list.d/$(basename "$f")"
    done
    if ! grep -rqs 'bookworm-backports' "$d"; then
        mirror=$(sed -n 's/^URIs: *\(http[^ ]*\/debian\)\/*$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)
        [ -n "$mirror" ] || mirror=$(sed -n 's/^deb \(http[^ ]*\/debian\)\/* bookworm .*/\1/p' /etc/apt/sources.list 2>/dev/null | head -n 1)
        [ -n "$mirror" ] || mirror=http://deb.debian.org/debian
        printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
            "$mirror" >"$d/sources.list.d/quendro-backports.sources"
    fi
}
# An update whose every index arrived whole; one retry, as a mirror in sync
# may mend itself within seconds.
update() {
    for wait in 0 10; do
        sleep $wait
        # shellcheck disable=SC2046
        apt-get $(apt_conf "$1") -q update >"$APTDIR/update-$1.log" 2>&1 &&
            ! grep -q '^E: ' "$APTDIR/update-$1.log" && return 0
    done
    return 1
}
# Whether everything missing can be installed from this set: among other
# things the architectures' candidates of the Multi-Arch libraries must agree.
installable() {
    {
        # shellcheck disable=SC2046
        [ -z "$missing" ] || apt-get $(apt_conf "$1") -q -s install $missing
    } >"$APTDIR/check-$1.log" 2>&1 && {
        # shellcheck disable=SC2046
        [ -z "$need_qemu" ] || apt-get $(apt_conf "$1") -q -s install --no-install-recommends \
            -t bookworm-backports $BACKPORTS_PACKAGES
    } >>"$APTDIR/check-$1.log" 2>&1
}
apt_install() {
    if [ -n "$missing" ]; then
        # shellcheck disable=SC2046
        DEBIAN_FRONTEND=noninteractive apt-get $(apt_conf "$1") install -y $missing
    fi
    if [ -n "$need_qemu" ]; then
        # shellcheck disable=SC2046
        DEBIAN_FRONTEND=noninteractive apt-get $(apt_conf "$1") install -y --no-install-recommends \
            -t bookworm-backports $BACKPORTS_PACKAGES
    fi
}
# Names each package that no suite offers, then fails.
unavailable() {
    for p in $missing ${need_qemu:+$BACKPORTS_PACKAGES}; do
        # shellcheck disable=SC2046
        c=$(apt-cache $(apt_conf "$1") policy "$p" 2>/dev/null | sed -n 's/^ *Candidate: *//p')
        [ -n "$c" ] && [ "$c" != "(none)" ] || echo "setup: package $p cannot be had from any configured suite" >&2
    done
    echo "setup: cannot install the packages; apt said:" >&2
    tail -n 15 "$APTDIR/check-$1.log" >&2
    exit 1
}

if [ -n "$missing" ] || [ -n "$need_qemu" ]; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    make_sources all all
    if update all && installable all; then
        echo "setup: package indexes whole and consistent; installing from every configured suite" >&2
        apt_install all
    else
        why="the architectures' candidates disagree"
        bad=$(sed -n 's/^E: Failed to fetch [^ ]*\/dists\/\([^/]*\)\/.*binary-\([^/]*\)\/.*/\1 \2/p' \
            "$APTDIR/update-all.log" | sort -u | tr '\n' ',' | sed 's/,$//; s/,/, /g')
        [ -z "$bad" ] || why="the $bad index stays damaged after a retry"
        make_sources nosecurity nosecurity
        if ! update nosecurity; then
            echo "setup: package indexes cannot be fetched even without the security suite; apt said:" >&2
            tail -n 15 "$APTDIR/update-nosecurity.log" >&2
            exit 1
        fi
        installable nosecurity || unavailable nosecurity
        echo "setup: $why; installing without the security suite, for both architectures alike" >&2
        apt_install nosecurity
    fi
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen
fi

# The trap-number library and the interpreter binfmt_misc runs, built here
# from our sources; the registration only where i386 programs cannot start.
"$root/scripts/i386-emulation.sh" install
"$root/scripts/i386-emulation.sh" register-if-needed
