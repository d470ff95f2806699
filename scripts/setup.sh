#!/bin/sh
# Installs what building and testing Quendro needs on Debian 12 (run as root).
# Idempotent: packages already present are left alone.
set -eu

PACKAGES="cmake make g++ python3 g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 \
wine wine32:i386 xvfb xauth x11-apps imagemagick locales fonts-ipafont-gothic \
googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev nsis 7zip"

missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done

if [ -n "$missing" ]; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y $missing
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen
fi
