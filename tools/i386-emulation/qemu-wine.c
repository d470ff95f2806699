/* The interpreter binfmt_misc runs for i386 programs where the kernel cannot
 * start them (flags "PF": argv[1] is the program's path, argv[2] its own
 * argv[0]). Runs the program under qemu-i386 with the trap-number library
 * preloaded into it alone, not into qemu. */
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#ifndef QEMU
#define QEMU "/usr/bin/qemu-i386"
#endif
#ifndef TRAPFIX
#define TRAPFIX "/usr/local/lib/quendro-i386/trapfix.so"
#endif

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "%s: run by binfmt_misc with the flags PF\n", argv[0]);
        return 126;
    }
    char **args = calloc((size_t)argc + 6, sizeof *args);
    if (!args)
        return 126;
    int n = 0;
    args[n++] = (char *)QEMU;
    args[n++] = (char *)"-0";
    args[n++] = argv[2];
    args[n++] = (char *)"-E";
    args[n++] = (char *)"LD_PRELOAD=" TRAPFIX;
    args[n++] = argv[1];
    for (int i = 3; i < argc; ++i)
        args[n++] = argv[i];
    args[n] = NULL;
    execv(QEMU, args);
    perror(QEMU);
    return 126;
}
