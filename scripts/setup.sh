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

# bookworm-backports from the mirror apt already uses.
add_backports() {
    if grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        return 1
    fi
    mirror=$(sed -n 's/^URIs: *\(http[^ ]*\/debian\)\/*$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)
    [ -n "$mirror" ] || mirror=$(sed -n 's/^deb \(http[^ ]*\/debian\)\/* bookworm .*/\1/p' /etc/apt/sources.list 2>/dev/null | head -n 1)
    [ -n "$mirror" ] || mirror=http://deb.debian.org/debian
    cat >/etc/apt/sources.list.d/bookworm-backports.sources <<EOF
Types: deb
URIs: $mirror
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    echo "setup: added bookworm-backports from $mirror" >&2
}

if [ -n "$missing" ] || [ -n "$need_qemu" ]; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    add_backports || true
    apt-get update
    if [ -n "$missing" ]; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y $missing
    fi
    if [ -n "$need_qemu" ]; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
            -t bookworm-backports $BACKPORTS_PACKAGES
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
