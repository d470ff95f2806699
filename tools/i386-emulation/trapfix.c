/* Preloaded into i386 programs run by qemu-i386 (see qemu-wine.c).
 *
 * qemu 10 writes -1 as the trap number into the signal frames it builds.
 * Wine's i386 fault handler decides by that number what happened ("Got
 * unexpected trap -1"): access violations become illegal instructions
 * without an address, division by zero gets the wrong code and Wine's own
 * guarded reads crash. This library wraps sigaction for the five fault
 * signals and, before the program's handler runs, puts in the trap number
 * the kernel would have given.
 *
 * Freestanding: built with plain "gcc -m32 -nostdlib -shared", as Debian's
 * amd64 gcc has no 32-bit libc headers; libc's own symbols are resolved at
 * load time. */

typedef unsigned int u32;

#define SIGILL 4
#define SIGTRAP 5
#define SIGBUS 7
#define SIGFPE 8
#define SIGSEGV 11
#define NSIG_MAX 65
#define SA_SIGINFO 4
#define SI_KERNEL 0x80
#define BUS_ADRALN 1
#define FPE_INTDIV 1
#define FPE_INTOVF 2
#define REG_TRAPNO 12

/* glibc's i386 struct sigaction. */
struct k_sigaction {
    void (*handler)(int, void *, void *);
    u32 mask[32];
    int flags;
    void (*restorer)(void);
};

/* The start of siginfo_t and of ucontext_t on i386. */
struct siginfo_head { int signo, errno_, code; };
struct ucontext_head {
    u32 flags;
    void *link;
    void *ss_sp; int ss_flags; u32 ss_size;
    int gregs[19];
};

typedef int (*sigaction_fn)(int, const struct k_sigaction *, struct k_sigaction *);
extern void *dlsym(void *, const char *);
extern char **environ;
#define RTLD_NEXT ((void *)-1l)

static sigaction_fn real_sigaction;
static void (*saved[NSIG_MAX])(int, void *, void *);

static int trap_number(int sig, int code)
{
    switch (sig) {
    case SIGSEGV: return code == SI_KERNEL ? 13 : 14;  /* #GP : #PF */
    case SIGBUS: return code == BUS_ADRALN ? 17 : 14;  /* #AC : #PF */
    case SIGILL: return 6;                             /* #UD */
    case SIGFPE: return code == FPE_INTDIV || code == FPE_INTOVF ? 0 : 16;  /* #DE : #MF */
    case SIGTRAP: return code == SI_KERNEL ? 3 : 1;    /* #BP : #DB */
    }
    return -1;
}

static int wrapped(int sig)
{
    return sig == SIGILL || sig == SIGTRAP || sig == SIGBUS || sig == SIGFPE || sig == SIGSEGV;
}

static void trampoline(int sig, void *info, void *context)
{
    struct ucontext_head *uc = context;
    if (uc && uc->gregs[REG_TRAPNO] == -1 && info)
        uc->gregs[REG_TRAPNO] = trap_number(sig, ((struct siginfo_head *)info)->code);
    saved[sig](sig, info, context);
}

static sigaction_fn resolve(void)
{
    if (!real_sigaction)
        real_sigaction = (sigaction_fn)dlsym(RTLD_NEXT, "sigaction");
    return real_sigaction;
}

int sigaction(int sig, const struct k_sigaction *act, struct k_sigaction *old)
{
    sigaction_fn next = resolve();
    if (!next || sig <= 0 || sig >= NSIG_MAX || !wrapped(sig))
        return next ? next(sig, act, old) : -1;
    void (*before)(int, void *, void *) = saved[sig];
    struct k_sigaction copy;
    const struct k_sigaction *use = act;
    if (act && (act->flags & SA_SIGINFO) && act->handler != trampoline) {
        copy = *act;
        copy.handler = trampoline;
        use = &copy;
    }
    int rc = next(sig, use, old);
    if (rc == 0) {
        if (old && old->handler == trampoline)
            old->handler = before;
        if (use == &copy)
            saved[sig] = act->handler;
    }
    return rc;
}

/* The interpreter passes LD_PRELOAD to every emulated program; 64-bit
 * programs started from here (the wineserver) must not inherit it, or their
 * loader complains about a 32-bit library. */
__attribute__((constructor)) static void drop_preload(void)
{
    static const char name[] = "LD_PRELOAD=";
    char **out = environ;
    for (char **in = environ; in && *in; ++in) {
        int i = 0;
        while (name[i] && (*in)[i] == name[i])
            ++i;
        if (name[i])
            *out++ = *in;
    }
    if (out)
        *out = 0;
}
