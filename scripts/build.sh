#!/bin/sh
# Builds the native tests (plain and under ASan+UBSan), the Windows 2000
# cross build (win32: the shipped i686 programs) and the same sources for
# x86_64 (win64: run by the tests under wine64).
# Usage: build.sh [native|asan|win32|win64]...   (default: all four)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
[ $# -gt 0 ] || set -- native asan win32 win64
for which in "$@"; do
    case $which in
        native) cmake -S "$root" -B "$root/build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null ;;
        asan) cmake -S "$root" -B "$root/build/asan" -DCMAKE_BUILD_TYPE=Debug -DQUENDRO_SANITIZE=ON >/dev/null ;;
        win32 | win64)
            # The toolchain is read only when the build folder is first configured.
            arch=i686
            [ "$which" = win32 ] || arch=x86_64
            toolchain=
            [ -f "$root/build/$which/CMakeCache.txt" ] ||
                toolchain="-DCMAKE_TOOLCHAIN_FILE=$root/cmake/toolchain-$arch-mingw.cmake"
            cmake -S "$root" -B "$root/build/$which" -DCMAKE_BUILD_TYPE=Release $toolchain >/dev/null ;;
        *) echo "build.sh: unknown build $which" >&2; exit 2 ;;
    esac
    cmake --build "$root/build/$which" -j "$jobs"
done
