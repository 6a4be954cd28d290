// The state's lock and the stretches with interrupts off that hold it. The
// lock is a futex word in the shared state naming its holder's thread, so
// that taking it costs no system call when it is free; a waiter that has
// slept a while checks whether the holder still runs, and takes the lock over
// from one that has ended without letting go (killed, or gone with its file
// copied while it held the lock).
#include <linux/futex.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <mutex>

#include "pc/machine.h"
#include "pc/process.h"
#include "pc/rtc.h"
#include "pc/state.h"
#include "pc/state_check.h"

namespace pc::detail {

namespace {

// How long a waiter sleeps before it looks at the holder: far longer than any
// hold (the longest, a BIOS call on a stuck chip, is 10 ms), short enough
// that a dead holder costs the next program a moment only.
constexpr long kHolderCheckNs = 100'000'000;

// This thread's and this process's identity, as the lock records them; a
// forked child starts afresh.
thread_local std::uint32_t tThreadId = 0;
std::atomic<int> gProcessId{0};
std::atomic<std::uint64_t> gProcessStartTicks{0};

// The state whose lock this thread holds, so that inner scopes pass through.
thread_local SharedState *tHolding = nullptr;

// The stretch this thread is in while it has interrupts off: the PC, the time
// source when it began and the bus cycles spent since, and whether it took
// the lock (rather than running inside a scope that holds it).
struct Stretch {
    SharedState *state = nullptr;
    std::int64_t startNs = 0;
    std::int64_t cycles = 0;
    bool tookLock = false;
    SharedState *outerHolding = nullptr;
};
thread_local Stretch tStretch;

void ForgetIdentityInChild()
{
    tThreadId = 0;
    gProcessId.store(0, std::memory_order_relaxed);
    gProcessStartTicks.store(0, std::memory_order_relaxed);
    // The child's only thread may have forked with interrupts off; the lock
    // stays its parent's.
    tHolding = nullptr;
    tStretch = {};
}

std::uint32_t ThisThreadId()
{
    if (tThreadId == 0) {
        static std::once_flag registered;
        std::call_once(registered, [] { pthread_atfork(nullptr, nullptr, ForgetIdentityInChild); });
        tThreadId = static_cast<std::uint32_t>(gettid());
    }
    return tThreadId;
}

// The holder's record is read by waiters while it may be written: its thread
// id goes in last and out first, and a reader that sees it change in between
// has no record.
void WriteHolder(SharedState &state, std::uint32_t tid)
{
    int pid = gProcessId.load(std::memory_order_relaxed);
    if (pid == 0) {
        pid = getpid();
        gProcessStartTicks.store(ProcessStartTicks(pid), std::memory_order_relaxed);
        gProcessId.store(pid, std::memory_order_relaxed);
    }
    std::atomic_ref<std::uint32_t> recorded(state.holder.tid);
    recorded.store(0, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    state.holder.pid = pid;
    state.holder.startTicks = gProcessStartTicks.load(std::memory_order_relaxed);
    recorded.store(tid, std::memory_order_release);
}

void ClearHolder(SharedState &state)
{
    std::atomic_ref<std::uint32_t>(state.holder.tid).store(0, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    state.holder.pid = 0;
    state.holder.startTicks = 0;
}

// The record of holder `owner`, or false when there is none whole.
bool ReadHolder(const SharedState &state, std::uint32_t owner, LockHolder &holder)
{
    // Only loaded: the state is the caller's to read.
    std::atomic_ref<std::uint32_t> recorded(const_cast<std::uint32_t &>(state.holder.tid));
    if (recorded.load(std::memory_order_acquire) != owner)
        return false;
    holder = {state.holder.pid, owner, state.holder.startTicks};
    std::atomic_thread_fence(std::memory_order_acquire);
    return recorded.load(std::memory_order_relaxed) == owner;
}

long Futex(SharedState &state, int operation, std::uint32_t value, const timespec *timeout)
{
    return syscall(SYS_futex, &state.lock, operation, value, timeout, nullptr, 0);
}

// The process that held the lock as `owner` and has ended, -1 when it left no
// id; 0 while it runs. The holder's record names it once it has written it;
// until then the thread id alone tells.
int EndedHolder(const SharedState &state, std::uint32_t owner)
{
    if (owner == 0)
        return -1;
    LockHolder holder;
    if (!ReadHolder(state, owner, holder))
        return ThreadExists(owner) ? 0 : static_cast<int>(owner);
    if (ProcessAlive(holder.pid, holder.startTicks) && ThreadAlive(holder.pid, owner))
        return 0;
    return holder.pid > 0 ? holder.pid : -1;
}

// Takes the lock once it is free or its holder has ended; returns that
// holder's pid (see EndedHolder), else 0.
int AcquireContended(SharedState &state, std::uint32_t self)
{
    for (;;) {
        std::uint32_t word = state.lock.load(std::memory_order_relaxed);
        if (word == 0) {
            // Others may sleep on it still: the mark stays for our release.
            if (state.lock.compare_exchange_weak(word, self | kLockWaiters,
                                                 std::memory_order_acquire))
                return 0;
            continue;
        }
        if (!(word & kLockWaiters)) {
            if (!state.lock.compare_exchange_weak(word, word | kLockWaiters,
                                                  std::memory_order_relaxed))
                continue;
            word |= kLockWaiters;
        }
        timespec wait{0, kHolderCheckNs};
        if (Futex(state, FUTEX_WAIT, word, &wait) == 0 || errno != ETIMEDOUT)
            continue;
        int ended = EndedHolder(state, word & kLockOwner);
        // Only the word as it was when its holder was found gone is taken:
        // another waiter may have taken it over first.
        if (ended != 0 && state.lock.compare_exchange_strong(word, self | kLockWaiters,
                                                             std::memory_order_acquire))
            return ended;
    }
}

// Holds the lock; the caller must not hold it already. Returns the process
// it was taken over from, else 0.
int Acquire(SharedState &state)
{
    std::uint32_t self = ThisThreadId();
    std::uint32_t free = 0;
    int ended = 0;
    if (!state.lock.compare_exchange_strong(free, self, std::memory_order_acquire,
                                            std::memory_order_relaxed))
        ended = AcquireContended(state, self);
    WriteHolder(state, self);
    if (ended != 0) {
        ++state.deadHolders.count;
        state.deadHolders.lastPid = ended;
        state.deadHolders.lastAtNs = NowOn(state);
    }
    return ended;
}

void Release(SharedState &state)
{
    // Cleared while still held, so the next holder's record is never wiped,
    // and a free lock leaves the file as the holder found it.
    ClearHolder(state);
    if (state.lock.exchange(0, std::memory_order_release) & kLockWaiters)
        Futex(state, FUTEX_WAKE, 1, nullptr);
}

// Acquire, and after a takeover the state checked again: a holder that ended
// half-way through a change leaves each field in range (every write is), but
// anything else that wrote the file meanwhile is caught here.
void AcquireChecked(SharedState &state)
{
    int ended = Acquire(state);
    if (ended == 0)
        return;
    if (std::optional<StateProblem> problem = CheckStateFields(state)) {
        Release(state);
        throw PcError(problem->Line("the PC's state file, its lock taken over from " +
                                    HolderName(ended) + " which had ended holding it,"));
    }
}

}  // namespace

std::string HolderName(int pid)
{
    return pid > 0 ? "process " + std::to_string(pid) : "a process that left no id";
}

int LockState(SharedState &state)
{
    return Acquire(state);
}

void UnlockState(SharedState &state)
{
    Release(state);
}

StateLock::StateLock(SharedState &state) : state_(&state), owns_(tHolding != &state)
{
    if (!owns_)
        return;
    AcquireChecked(state);
    previous_ = tHolding;
    tHolding = &state;
}

StateLock::~StateLock()
{
    if (!owns_)
        return;
    tHolding = previous_;
    Release(*state_);
}

void HoldInterrupts(SharedState &state)
{
    // Like CLI, disabling twice is the same as once.
    if (tStretch.state == &state)
        return;
    ReleaseInterrupts();
    bool take = tHolding != &state;
    if (take)
        AcquireChecked(state);
    tStretch = {&state, NowOn(state), 0, take, tHolding};
    tHolding = &state;
}

void ReleaseInterrupts()
{
    if (!tStretch.state)
        return;
    Stretch ended = tStretch;
    tStretch = {};
    tHolding = ended.outerHolding;
    if (ended.tookLock)
        Release(*ended.state);
}

InterruptsOff::InterruptsOff(SharedState &state) : owns_(tStretch.state != &state)
{
    if (owns_)
        HoldInterrupts(state);
}

InterruptsOff::~InterruptsOff()
{
    if (owns_)
        ReleaseInterrupts();
}

std::int64_t BusTime(const SharedState &state)
{
    if (tStretch.state == &state)
        return tStretch.startNs + tStretch.cycles * rtc::kBusCycleNs;
    return NowOn(state);
}

bool SpendStretchCycle(const SharedState &state)
{
    if (tStretch.state != &state)
        return false;
    ++tStretch.cycles;
    return true;
}

}  // namespace pc::detail
