// Making, checking and mapping a PC's state file. A new PC is built in a
// temporary file and linked into place, so no process ever maps a half-made one
// and an existing PC is never replaced unless asked.
#include "pc/machine.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <new>

#include "pc/osclock.h"
#include "pc/rtc.h"
#include "pc/settings.h"
#include "pc/state.h"
#include "pc/state_check.h"
#include "pc/timesource.h"

namespace pc {
namespace detail {

namespace {

std::atomic<SharedState *> gAttached{nullptr};
std::mutex gAttachedDirectoryMutex;
std::string gAttachedDirectory;

const char *const kStateFile = "state";

std::string StatePath(const std::string &directory)
{
    return directory + "/" + kStateFile;
}

std::string Reason(int error)
{
    return std::strerror(error);
}

// Plausible contents for the rest of the CMOS RAM of a 1998 PC: a 1.44 MB
// floppy, 640 KB base and 63 MB extended memory, with the IBM checksum.
void InitCmosRam(std::uint8_t *regs)
{
    regs[0x10] = 0x40;
    regs[0x14] = 0x0F;
    regs[0x15] = 0x80;
    regs[0x16] = 0x02;
    regs[0x17] = regs[0x30] = 0x00;
    regs[0x18] = regs[0x31] = 0xFC;
    unsigned sum = 0;
    for (int r = 0x10; r <= 0x2D; ++r)
        sum += regs[r];
    regs[0x2E] = static_cast<std::uint8_t>(sum >> 8);
    regs[0x2F] = static_cast<std::uint8_t>(sum);
}

void InitState(SharedState &state, const Profile &profile, const CreateOptions &options)
{
    std::memcpy(state.magic, kMagic, sizeof state.magic);
    state.layoutVersion = kLayoutVersion;
    state.stateSize = sizeof(SharedState);

    std::int64_t now =
        options.virtualTime && options.virtualStartNs != 0 ? options.virtualStartNs : HostNowNs();
    state.virtualTime.store(options.virtualTime ? 1 : 0);
    state.virtualNowNs.store(now);

    ApplyProfile(state.settings, profile);
    state.settings.utcOffsetMinutes =
        options.hasUtcOffsetMinutes ? options.utcOffsetMinutes : HostUtcOffsetMinutes(now);

    state.osOffsetTicks = 0;
    state.bootNs = now;
    state.bootCount = 1;
    state.poweredOn = 1;

    InitCmosRam(state.rtc.regs);
    InitRtc(state, now, OsLocalTicksAt(state, now));
    // A new PC stands as just booted: its BIOS has read the chip's century.
    state.bios.century = state.rtc.regs[CMOS_CENTURY];
}

void CheckFile(const std::string &path, int fd)
{
    struct stat info;
    if (fstat(fd, &info) != 0)
        throw PcError("cannot read " + path + ": " + Reason(errno));
    if (!S_ISREG(info.st_mode))
        throw PcError(
            path + " is not a file; remove it or choose another PC directory (--pc or TOLVANE_PC)");
    if (info.st_uid != geteuid())
        throw PcError(
            path + " belongs to another user; choose your own PC directory (--pc or TOLVANE_PC)");
    char header[16];
    ssize_t got = pread(fd, header, sizeof header, 0);
    if (std::optional<StateProblem> problem =
            CheckStateHeader(header, got > 0 ? static_cast<std::size_t>(got) : 0,
                             static_cast<std::uint64_t>(info.st_size)))
        throw PcError(problem->Line(path));
}

// Takes the lock of a state just mapped and checks every field under it, so
// that no program is half-way through a change. Returns what the user should
// hear of: a holder that had ended with the lock.
std::string CheckUnderLock(const std::string &path, SharedState &state)
{
    int endedHolder = LockState(state);
    std::optional<StateProblem> problem = CheckStateFields(state);
    UnlockState(state);
    if (problem)
        throw PcError(problem->Line(path));
    if (endedHolder == 0)
        return "";
    return "the PC's lock was held by " + HolderName(endedHolder) +
           ", which has ended without letting go; taken over, and the PC's state checked";
}

}  // namespace

SharedState *Attached()
{
    return gAttached.load(std::memory_order_acquire);
}

}  // namespace detail

LockTakeovers CountLockTakeovers()
{
    detail::SharedState *state = detail::Attached();
    if (!state)
        return {};
    detail::StateLock lock(*state);
    return {state->deadHolders.count, detail::HolderName(state->deadHolders.lastPid)};
}

std::string DefaultDirectory()
{
    const char *named = std::getenv("TOLVANE_PC");
    if (named && *named)
        return named;
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/')
        return std::string(runtime) + "/tolvane-pc";
    return "/tmp/tolvane-pc-" + std::to_string(geteuid());
}

bool Exists(const std::string &directory)
{
    struct stat info;
    return lstat(detail::StatePath(directory).c_str(), &info) == 0;
}

void Create(const std::string &directory, const CreateOptions &options)
{
    using namespace detail;
    const Profile *profile = FindProfile(options.profile);
    if (!profile)
        throw PcError("unknown profile '" + options.profile +
                      "'; 'tolvane-pc profiles' lists them");
    if (directory.empty())
        throw PcError("no PC directory given; name one with --pc or TOLVANE_PC");
    if (options.virtualTime && options.virtualStartNs != 0 &&
        (options.virtualStartNs < kEarliestNs || options.virtualStartNs > kLatestNs))
        throw PcError("a virtual clock holds 1900-01-01 00:00:00 to 2099-12-31 23:59:59 (UTC); "
                      "start it within those years");

    std::error_code error;
    // A directory made here is the user's alone: other users must not plant a
    // state file in it.
    if (std::filesystem::create_directories(directory, error))
        std::filesystem::permissions(directory, std::filesystem::perms::owner_all, error);
    if (error)
        throw PcError("cannot create the PC directory " + directory + ": " + error.message() +
                      "; choose another with --pc or TOLVANE_PC");
    if (!options.replaceExisting && Exists(directory))
        throw PcError("a PC already exists in " + directory +
                      "; use it, or replace it with 'tolvane-pc create --force'");

    std::string temporary = directory + "/.state.XXXXXX";
    int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        throw PcError("cannot write in the PC directory " + directory + ": " + Reason(errno) +
                      "; choose another with --pc or TOLVANE_PC");
    auto fail = [&](const std::string &what, int code) {
        close(fd);
        unlink(temporary.c_str());
        throw PcError(what + " in " + directory + ": " + Reason(code));
    };
    if (ftruncate(fd, sizeof(SharedState)) != 0)
        fail("cannot size the state file", errno);
    void *mapping = mmap(nullptr, sizeof(SharedState), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapping == MAP_FAILED)
        fail("cannot map the state file", errno);
    // The file is all zeros; the atomics and the mutex are made in place.
    auto *state = new (mapping) SharedState();
    InitState(*state, *profile, options);
    msync(mapping, sizeof(SharedState), MS_SYNC);
    munmap(mapping, sizeof(SharedState));

    std::string path = StatePath(directory);
    int placed = options.replaceExisting ? rename(temporary.c_str(), path.c_str())
                                         : link(temporary.c_str(), path.c_str());
    int code = errno;
    if (placed != 0) {
        close(fd);
        unlink(temporary.c_str());
        if (code == EEXIST)
            throw PcError("a PC already exists in " + directory +
                          "; use it, or replace it with 'tolvane-pc create --force'");
        throw PcError("cannot place the state file in " + directory + ": " + Reason(code));
    }
    if (!options.replaceExisting)
        unlink(temporary.c_str());
    close(fd);
}

std::string Attach(const std::string &directory)
{
    using namespace detail;
    std::string path = StatePath(directory);
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        int code = errno;
        if (code == ENOENT)
            throw PcError("no PC in " + directory + "; create one with 'tolvane-pc create'");
        throw PcError("cannot open " + path + ": " + Reason(code) +
                      "; choose another PC directory with --pc or TOLVANE_PC");
    }
    try {
        CheckFile(path, fd);
    } catch (...) {
        close(fd);
        throw;
    }
    void *mapping = mmap(nullptr, sizeof(SharedState), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    int code = errno;
    close(fd);
    if (mapping == MAP_FAILED)
        throw PcError("cannot map " + path + ": " + Reason(code));
    std::string note;
    try {
        note = CheckUnderLock(path, *static_cast<SharedState *>(mapping));
    } catch (...) {
        munmap(mapping, sizeof(SharedState));
        throw;
    }
    // An earlier mapping stays: a thread may still be reading it, and a process
    // attaches only a few PCs in its life (a test binary a few dozen).
    gAttached.store(static_cast<SharedState *>(mapping), std::memory_order_release);
    std::lock_guard lock(gAttachedDirectoryMutex);
    gAttachedDirectory = directory;
    return note;
}

std::string AttachedDirectory()
{
    using namespace detail;
    std::lock_guard lock(gAttachedDirectoryMutex);
    return gAttachedDirectory;
}

std::string AttachDefault(bool createIfMissing)
{
    std::string directory = DefaultDirectory();
    if (createIfMissing && !Exists(directory)) {
        try {
            Create(directory, CreateOptions{});
        } catch (const PcError &) {
            // Another program may have made it in the meantime; Attach decides.
            if (!Exists(directory))
                throw;
        }
    }
    return Attach(directory);
}

}  // namespace pc
