// The layout of the PC's state file, mapped shared by every attached process,
// and the lock that guards it. Internal to host/pc and the kernel services.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "pc/calendar.h"

namespace pc::detail {

// Changing anything below means a new layout version: an old state file is then
// refused instead of being misread. A new field or enum value also needs its
// range in state_check.cpp, which every attach checks the whole file against.
inline constexpr char kMagic[8] = {'T', 'O', 'L', 'V', 'P', 'C', '\r', '\n'};
inline constexpr std::uint32_t kLayoutVersion = 4;

inline constexpr int kAtomSlots = 512;
inline constexpr int kMaxAtomName = 255;
inline constexpr int kProcessSlots = 32;
inline constexpr int kProcessName = 64;
inline constexpr int kProfileName = 32;

// Each enum's count is the first value a state file may not hold.
// LatchedCentury: reports the century it read from the chip at power-on (or
// was given by INT 1Ah 05h) instead of the chip's century byte.
enum class BiosMode : std::uint32_t { Plain, Windowing, DateFails, TimeFails, LatchedCentury };
inline constexpr std::uint32_t kBiosModes = 5;
// What the BIOS does to the chip's date at its power-on self test.
enum class PostMode : std::uint32_t { Plain, CarryCentury, YearRange };
inline constexpr std::uint32_t kPostModes = 3;
enum class Platform : std::uint32_t { Win95, Win98, Win98SE, NT4 };
inline constexpr std::uint32_t kPlatforms = 4;

struct Settings {
    char profile[kProfileName];  // the profile the PC was made from
    std::uint32_t centuryAware;  // the RTC carries the year's wrap into 0x32
    BiosMode bios;
    PostMode post;
    Platform platform;
    std::uint32_t network;          // network software installed
    std::uint32_t stuckChip;        // UIP never clears
    std::uint32_t setTimeDenied;    // SetLocalTime refused for want of privilege
    std::int32_t utcOffsetMinutes;  // local = UTC + this
};

struct Rtc {
    std::uint8_t regs[128];
    std::uint8_t index;      // last register selected on port 0x70
    std::uint8_t nmiMasked;  // bit 7 of the last write to port 0x70
    std::uint8_t pad[6];
    // Start of the last update cycle accounted for, on the time source; the next
    // one starts a second later. This is the chip's own phase.
    std::int64_t lastUpdateNs;
    // Periodic ticks up to here are in register C's PF bit already.
    std::int64_t periodicSeenNs;
};

// The BIOS's variables in the PC's memory, made anew at each POST.
struct BiosData {
    // The century byte the BIOS read from the chip at its last POST, or was
    // last given by INT 1Ah 05h; a latching BIOS reports it.
    std::uint8_t century;
    std::uint8_t pad[7];
};

// The seven date and time bytes as a clock gave them, before any decoding.
struct RawDate {
    std::uint8_t century, year, month, day, hour, minute, second;
    std::uint8_t pad;
};

enum class PostAction : std::uint32_t { LeftAlone, CarriedCentury, ResetOutOfRange };
inline constexpr std::uint32_t kPostActions = 3;
enum class BootAction : std::uint32_t {
    Took,              // the date as the BIOS or the chip gave it
    SetForwardTo2000,  // Windows 98: 1900 taken as 2000, century 20 written back
    TookAsDosStart,    // Windows 9x: a year DOS cannot hold, taken as 1980-01-04
    MappedForward,     // Windows NT: 1900-1919 read as 2000-2019
    BiosFailed,        // INT 1Ah set carry: the OS starts at DOS's 1980-01-01
    NotADate,          // bytes that are no date: likewise
};
inline constexpr std::uint32_t kBootActions = 6;

// What the last boot did to the date, for `tolvane-pc show`.
struct BootRecord {
    std::uint32_t booted;  // 0 until the PC's first boot after it was made
    PostAction post;
    BootAction boot;
    Platform platform;
    RawDate chipAtPost;  // as POST found the chip
    RawDate chipAtBoot;  // as the OS found it, after POST
    RawDate handed;      // as the OS was given it (by the BIOS on Windows 9x)
    CivilTime loaded;    // local time the OS clock started at
};

struct AtomSlot {
    std::uint32_t references;  // 0: free slot
    std::uint16_t length;
    char name[kMaxAtomName + 1];
};

struct ProcessSlot {
    std::int32_t pid;  // 0: free slot
    std::uint32_t threadId;
    std::uint32_t bootCount;
    std::uint32_t pad;
    std::uint64_t startTicks;  // from /proc, tells a reused pid from the original
    char name[kProcessName];
};

// Who holds the lock, written by each holder once it has it: a thread id
// alone may be reused, or come from a file copied while it was held.
struct LockHolder {
    std::int32_t pid;
    std::uint32_t tid;
    std::uint64_t startTicks;  // the process's start, from /proc
};

// The last holder found to have ended with the lock, for `tolvane-pc show`.
struct DeadHolders {
    std::uint32_t count;  // since the PC was made
    std::int32_t lastPid;
    std::int64_t lastAtNs;  // on the time source
};

struct SharedState {
    char magic[8];
    std::uint32_t layoutVersion;
    std::uint32_t stateSize;

    // The lock, a futex word: 0 when free, else the holding thread's id, with
    // kLockWaiters set while others sleep on it. A holder that ends without
    // letting go is found by its waiters (lock.cpp); nothing in the word can
    // make them wait for ever.
    std::atomic<std::uint32_t> lock;
    std::uint32_t pad1;
    LockHolder holder;
    DeadHolders deadHolders;

    // Time source. Read without the lock: Now() is on every message loop pass.
    std::atomic<std::uint32_t> virtualTime;
    std::atomic<std::uint32_t> timeGeneration;  // futex word, bumped when the clock moves
    std::atomic<std::uint32_t> timeWaiters;
    std::uint32_t pad0;
    std::atomic<std::int64_t> virtualNowNs;

    Settings settings;
    Rtc rtc;
    BiosData bios;

    // OS clock: UTC in 100 ns ticks since 1601 = time source + this offset.
    std::int64_t osOffsetTicks;
    std::int64_t bootNs;  // time source at the last start of the simulated Windows
    std::uint32_t bootCount;
    std::uint32_t poweredOn;  // off: only the chip runs, on its battery
    BootRecord lastBoot;

    AtomSlot atoms[kAtomSlots];
    ProcessSlot processes[kProcessSlots];
};

static_assert(std::atomic<std::int64_t>::is_always_lock_free);
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

// Names as a slot holds them, bounded by their arrays whatever the file says:
// the file is shared, and checked only when a program attaches.
inline std::string_view NameOf(const AtomSlot &slot)
{
    return {slot.name, slot.length <= kMaxAtomName ? slot.length : std::size_t{kMaxAtomName}};
}
inline std::string_view NameOf(const ProcessSlot &slot)
{
    return {slot.name, strnlen(slot.name, sizeof slot.name)};
}
inline std::string_view ProfileName(const Settings &settings)
{
    return {settings.profile, strnlen(settings.profile, sizeof settings.profile)};
}

inline constexpr std::uint32_t kLockWaiters = 0x80000000u;
inline constexpr std::uint32_t kLockOwner = 0x3FFFFFFFu;  // as the kernel's thread ids go

// The attached state, or nullptr before Attach.
SharedState *Attached();

// The host's own clock, and its time zone's offset from UTC at that instant.
std::int64_t HostNowNs();
int HostUtcOffsetMinutes(std::int64_t atNs);

// The attached PC's time source, read from a state the caller already has.
std::int64_t NowOn(const SharedState &state);

// Moves the virtual clock; `wake` wakes threads in WaitForTimeChange. The cost
// of a bus cycle moves it without waking anyone.
void AdvanceVirtual(SharedState &state, std::int64_t nanoseconds, bool wake);

// Holds the state's lock for a scope. A thread that holds it already (with
// interrupts off, or in an outer scope) passes through. When its last holder
// ended without letting go, the lock is taken over and the whole state checked
// again: a state that fails throws PcError, the lock released.
class StateLock {
public:
    explicit StateLock(SharedState &state);
    ~StateLock();
    StateLock(const StateLock &) = delete;
    StateLock &operator=(const StateLock &) = delete;

private:
    SharedState *state_;
    bool owns_;
    SharedState *previous_ = nullptr;
};

// The lock alone, for the attach, which checks the whole state under it:
// returns the process it was taken over from (-1 when that left no id), else 0.
int LockState(SharedState &state);
void UnlockState(SharedState &state);
// "process 4242", for a pid that LockState gave.
std::string HolderName(int pid);

// Interrupts disabled: the thread keeps the state's lock until it enables them,
// so no other program's port access can come between, as on one CPU. Nor can
// time: a run of instructions with interrupts off is not preempted, so the
// chip sees only the thread's own bus cycles pass (the stretch's clock), and
// the time source is not moved by them.
void HoldInterrupts(SharedState &state);
void ReleaseInterrupts();

// Interrupts off for a scope, as the BIOS keeps them for a call; a thread that
// has them off already stays as it is.
class InterruptsOff {
public:
    explicit InterruptsOff(SharedState &state);
    ~InterruptsOff();
    InterruptsOff(const InterruptsOff &) = delete;
    InterruptsOff &operator=(const InterruptsOff &) = delete;

private:
    bool owns_;
};

// The time a bus access of this thread happens at: the stretch's clock while
// the thread has interrupts off on `state`, else the time source.
std::int64_t BusTime(const SharedState &state);
// One bus cycle of this thread. True when it was spent inside a stretch, where
// it moves only the stretch's clock.
bool SpendStretchCycle(const SharedState &state);

}  // namespace pc::detail
