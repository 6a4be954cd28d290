// The time source. Now() is a couple of atomic loads (virtual) or one vDSO
// clock read (host); waiting on the virtual clock is a futex on a word in the
// shared state, so a test that advances the clock wakes every program on the PC.
#include "pc/timesource.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <ctime>

#include "pc/state.h"

namespace pc {
namespace detail {

std::int64_t HostNowNs()
{
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

int HostUtcOffsetMinutes(std::int64_t atNs)
{
    time_t seconds = static_cast<time_t>(atNs / 1'000'000'000);
    tm local;
    localtime_r(&seconds, &local);
    return static_cast<int>(local.tm_gmtoff / 60);
}

std::int64_t NowOn(const SharedState &state)
{
    if (state.virtualTime.load(std::memory_order_relaxed))
        return state.virtualNowNs.load(std::memory_order_acquire);
    return HostNowNs();
}

namespace {

void WakeTimeWaiters(SharedState &state)
{
    state.timeGeneration.fetch_add(1);
    // The futex call costs a system call; skip it when nobody waits.
    if (state.timeWaiters.load() != 0)
        syscall(SYS_futex, &state.timeGeneration, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

}  // namespace

void AdvanceVirtual(SharedState &state, std::int64_t nanoseconds, bool wake)
{
    if (nanoseconds <= 0 || !state.virtualTime.load(std::memory_order_relaxed))
        return;
    state.virtualNowNs.fetch_add(nanoseconds, std::memory_order_acq_rel);
    if (wake)
        WakeTimeWaiters(state);
}

}  // namespace detail

std::int64_t Now()
{
    const detail::SharedState *state = detail::Attached();
    return state ? detail::NowOn(*state) : detail::HostNowNs();
}

bool IsVirtualTime()
{
    const detail::SharedState *state = detail::Attached();
    return state && state->virtualTime.load(std::memory_order_relaxed);
}

std::optional<std::int64_t> TimeSourceNsOf(const CivilTime &local, int utcOffsetMinutes)
{
    // In ticks first: nanoseconds since 1970 overflow long before the years a
    // CivilTime can name.
    std::int64_t ticks =
        TicksFromCivil(local) - std::int64_t{utcOffsetMinutes} * 60 * kTicksPerSecond;
    if (ticks < TicksFromUnixNs(kEarliestNs) || ticks > TicksFromUnixNs(kLatestNs))
        return std::nullopt;
    return UnixNsFromTicks(ticks);
}

bool AdvanceVirtualTime(std::int64_t nanoseconds)
{
    detail::SharedState *state = detail::Attached();
    if (!state || nanoseconds <= 0 || !state->virtualTime.load(std::memory_order_relaxed))
        return true;
    // Another program may move the clock meanwhile: the end of the span is
    // checked against the time this move starts from.
    std::int64_t now = state->virtualNowNs.load(std::memory_order_relaxed);
    do {
        if (nanoseconds > kLatestNs - now)
            return false;
    } while (!state->virtualNowNs.compare_exchange_weak(now, now + nanoseconds,
                                                        std::memory_order_acq_rel));
    detail::WakeTimeWaiters(*state);
    return true;
}

void WaitForTimeChange(std::int64_t realMicroseconds)
{
    if (realMicroseconds <= 0)
        return;
    timespec timeout{static_cast<time_t>(realMicroseconds / 1'000'000),
                     static_cast<long>(realMicroseconds % 1'000'000 * 1000)};
    detail::SharedState *state = detail::Attached();
    if (!state || !state->virtualTime.load(std::memory_order_relaxed)) {
        // EINTR ends the wait early, which a waiting loop tolerates.
        nanosleep(&timeout, nullptr);
        return;
    }
    // Counted before the generation is read: an advance after that read then
    // either sees the waiter or changes the word the futex compares.
    state->timeWaiters.fetch_add(1);
    std::uint32_t generation = state->timeGeneration.load();
    syscall(SYS_futex, &state->timeGeneration, FUTEX_WAIT, generation, &timeout, nullptr, 0);
    state->timeWaiters.fetch_sub(1);
}

void WakeTimeWaiters()
{
    if (detail::SharedState *state = detail::Attached())
        detail::WakeTimeWaiters(*state);
}

}  // namespace pc
