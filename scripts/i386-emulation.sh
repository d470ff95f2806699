#!/bin/sh
# i386 programs (Debian's wine32 loader) where the kernel cannot start them:
# qemu-i386 run through binfmt_misc, with our trap-number library preloaded.
#
#   i386-emulation.sh install             builds the library and binfmt_misc's
#                                         interpreter into $DIR (as root)
#   i386-emulation.sh register-if-needed  registers the interpreter unless the
#                                         kernel runs i386 programs itself
#   i386-emulation.sh register            registers it in any case (in a user
#                                         namespace of its own: forces the
#                                         emulated way on a machine that does not
#                                         need it)
#   i386-emulation.sh status              prints native, emulated or unavailable
#
# The registration is global when run in the machine's own namespace: CI has
# a machine of its own, and every way into the tests (ctest, run-main.sh, a
# developer's own wine command) then works without a wrapper. It only adds a
# handler for programs the kernel refuses anyway.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
DIR=${QUENDRO_I386_DIR:-/usr/local/lib/quendro-i386}
NAME=quendro-i386
BINFMT=/proc/sys/fs/binfmt_misc
QEMU=/usr/bin/qemu-i386
# i386 ELF executables and shared objects (e_type 2 or 3, e_machine 3).
MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

cmd_install() {
    src="$root/tools/i386-emulation"
    mkdir -p "$DIR"
    # Rebuilt only when the sources changed.
    if [ ! -f "$DIR/trapfix.so" ] || [ "$src/trapfix.c" -nt "$DIR/trapfix.so" ]; then
        gcc -m32 -O2 -fPIC -shared -nostdlib -ffreestanding -fno-stack-protector \
            -Wall -Wextra -Werror -o "$DIR/trapfix.so.new" "$src/trapfix.c"
        mv -f "$DIR/trapfix.so.new" "$DIR/trapfix.so"
    fi
    if [ ! -f "$DIR/qemu-wine" ] || [ "$src/qemu-wine.c" -nt "$DIR/qemu-wine" ]; then
        gcc -O2 -static -Wall -Wextra -Werror -DQEMU="\"$QEMU\"" -DTRAPFIX="\"$DIR/trapfix.so\"" \
            -o "$DIR/qemu-wine.new" "$src/qemu-wine.c"
        mv -f "$DIR/qemu-wine.new" "$DIR/qemu-wine"
    fi
    # The smallest i386 program: exits 7 through int 0x80, needs no library.
    if [ ! -f "$DIR/probe" ]; then
        printf 'void _start(void){__asm__ volatile("movl $1,%%eax; movl $7,%%ebx; int $0x80");}\n' |
            gcc -m32 -nostdlib -static -o "$DIR/probe.new" -x c -
        mv -f "$DIR/probe.new" "$DIR/probe"
    fi
}

mounted() {
    [ -f "$BINFMT/register" ] || mount -t binfmt_misc binfmt_misc "$BINFMT" 2>/dev/null
    [ -f "$BINFMT/register" ]
}

registered() {
    [ -f "$BINFMT/$NAME" ] && grep -qx enabled "$BINFMT/$NAME"
}

runs_i386() {
    set +e
    "$DIR/probe" 2>/dev/null
    rc=$?
    set -e
    [ $rc -eq 7 ]
}

cmd_register() {
    [ -x "$QEMU" ] || { echo "$0: $QEMU is missing (qemu-user 10 from bookworm-backports)" >&2; exit 1; }
    [ -x "$DIR/qemu-wine" ] || { echo "$0: run '$0 install' first" >&2; exit 1; }
    mounted || { echo "$0: cannot mount binfmt_misc at $BINFMT" >&2; exit 1; }
    registered && return 0
    [ ! -f "$BINFMT/$NAME" ] || echo -1 >"$BINFMT/$NAME"
    printf ':%s:M::%s:%s:%s:PF\n' "$NAME" "$MAGIC" "$MASK" "$DIR/qemu-wine" >"$BINFMT/register"
    runs_i386 || { echo "$0: registered, but i386 programs still do not start" >&2; exit 1; }
    echo "i386 programs now run under $("$QEMU" --version | head -n 1)" >&2
}

cmd_register_if_needed() {
    if registered || runs_i386; then
        return 0
    fi
    cmd_register
}

cmd_status() {
    if [ -f "$BINFMT/$NAME" ] && registered && runs_i386; then
        echo "emulated by $("$QEMU" --version | head -n 1 | cut -d" " -f1-3)"
    elif runs_i386; then
        echo native
    else
        echo unavailable
    fi
}

[ $# -eq 1 ] || { sed -n '5,14p' "$0" >&2; exit 2; }
case $1 in
    install) cmd_install ;;
    register) cmd_register ;;
    register-if-needed) cmd_register_if_needed ;;
    status) cmd_status ;;
    *) sed -n '5,14p' "$0" >&2; exit 2 ;;
esac
