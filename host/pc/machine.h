// Creating and attaching the simulated PC: one directory holding a memory-mapped
// state file under a lock, shared by every host program that runs on it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace pc {

// A PC that cannot be created, opened or used; the message is one line that
// says what to do about it.
struct PcError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// $TOLVANE_PC if set, else a per-user directory under $XDG_RUNTIME_DIR or /tmp.
std::string DefaultDirectory();

struct CreateOptions {
    std::string profile = "y2k-ready";
    bool virtualTime = false;
    // Start of the virtual clock, ns since 1970 UTC; 0 means the host's time now.
    std::int64_t virtualStartNs = 0;
    // Time zone bias (local = UTC + bias); unset means the host's current offset.
    bool hasUtcOffsetMinutes = false;
    int utcOffsetMinutes = 0;
    // Replace a PC (or a foreign file) already in the directory.
    bool replaceExisting = false;
};

// Makes a new PC in `directory` (created if needed). Throws PcError if a PC is
// already there or the profile is unknown; an existing PC is never replaced.
void Create(const std::string &directory, const CreateOptions &options);

bool Exists(const std::string &directory);

// From now on this process uses the PC in `directory`. Throws PcError, with a
// line that names what is wrong, when there is none or its state file is not
// a PC of this layout with every field in range. Returns a line the user
// should see when the PC's lock was left by a program that has ended (it is
// taken over), else "".
std::string Attach(const std::string &directory);

// The directory of the attached PC ("" before Attach); programs this process
// starts are pointed at it so that they run on the same PC.
std::string AttachedDirectory();

// Attaches DefaultDirectory(), creating the default PC there first if
// `createIfMissing` and there is none; returns what Attach returns.
std::string AttachDefault(bool createIfMissing);

// How often the attached PC's lock was taken over from a program that ended
// holding it, since the PC was made, and which it was the last time
// ("process 4242").
struct LockTakeovers {
    std::uint32_t count = 0;
    std::string last;
};
LockTakeovers CountLockTakeovers();

}  // namespace pc
