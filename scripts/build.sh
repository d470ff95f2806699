#!/bin/sh
# Builds the native tests (plain and under ASan+UBSan) and the Windows 2000
# cross build. Usage: build.sh [native|asan|win32]...   (default: all three)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
[ $# -gt 0 ] || set -- native asan win32
for which in "$@"; do
    case $which in
        native) cmake -S "$root" -B "$root/build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null ;;
        asan) cmake -S "$root" -B "$root/build/asan" -DCMAKE_BUILD_TYPE=Debug -DQUENDRO_SANITIZE=ON >/dev/null ;;
        win32)
            # The toolchain is read only when the build folder is first configured.
            toolchain=
            [ -f "$root/build/win32/CMakeCache.txt" ] ||
                toolchain="-DCMAKE_TOOLCHAIN_FILE=$root/cmake/toolchain-i686-mingw.cmake"
            cmake -S "$root" -B "$root/build/win32" -DCMAKE_BUILD_TYPE=Release $toolchain >/dev/null ;;
        *) echo "build.sh: unknown build $which" >&2; exit 2 ;;
    esac
    cmake --build "$root/build/$which" -j "$jobs"
done
