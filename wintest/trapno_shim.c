/* Preloaded into the 32-bit Wine processes when they run under qemu-i386 (a
 * kernel without 32-bit user code). qemu leaves the trap number out of the
 * signal frame (-1), so Wine cannot tell a general protection fault, which is
 * what CLI, IN, OUT and INT 1Ah raise at user level, from an illegal
 * instruction, and never emulates them as it does on a native kernel. This
 * puts back the number the native kernel gives for such a fault (13).
 *
 * Freestanding on purpose: built with the host's gcc -m32, which has no 32-bit
 * C library headers here. Layouts are those of the i386 Linux ABI. */

#define SIGSEGV 11
#define SA_SIGINFO 4
#define SI_KERNEL 0x80
#define REG_TRAPNO 12
#define TRAP_PROTECTION_FAULT 13
#define RTLD_NEXT ((void *)-1l)

typedef void (*SigInfoHandler)(int, void *, void *);

struct SigInfo {
    int signo;
    int error;
    int code;
};

struct UContext {
    unsigned long flags;
    void *link;
    void *stackBase;
    int stackFlags;
    unsigned long stackSize;
    int gregs[19];
};

/* glibc's struct sigaction on i386. */
struct SigAction {
    SigInfoHandler handler;
    unsigned long mask[32];
    int flags;
    void (*restorer)(void);
};

extern void *dlsym(void *handle, const char *name);

static SigInfoHandler gWineHandler;

static void RestoreTrapNumber(int signo, void *info, void *context)
{
    struct UContext *uc = (struct UContext *)context;

    if (((struct SigInfo *)info)->code == SI_KERNEL && uc->gregs[REG_TRAPNO] == -1)
        uc->gregs[REG_TRAPNO] = TRAP_PROTECTION_FAULT;
    gWineHandler(signo, info, context);
}

int sigaction(int signo, const struct SigAction *act, struct SigAction *old)
{
    static int (*next)(int, const struct SigAction *, struct SigAction *);
    struct SigAction wrapped;
    SigInfoHandler previous = gWineHandler;
    int result;

    if (!next)
        next = (int (*)(int, const struct SigAction *, struct SigAction *))dlsym(RTLD_NEXT,
                                                                                 "sigaction");
    if (signo != SIGSEGV || !act || !(act->flags & SA_SIGINFO))
        return next(signo, act, old);
    wrapped = *act;
    wrapped.handler = RestoreTrapNumber;
    gWineHandler = act->handler;
    result = next(signo, &wrapped, old);
    if (old && old->handler == RestoreTrapNumber)
        old->handler = previous;
    return result;
}
