// The state of the user services and the one lock that guards it: the window
// table, the z-order of top-level windows, the window that has the mouse, the
// size of the screen they are on, and a generation that every visible change
// bumps. Every public call
// takes the lock; window procedures always run without it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace user {

struct Window;

struct UserState {
    std::mutex mutex;
    std::unordered_map<HWND, std::unique_ptr<Window>> windows;
    std::vector<HWND> zOrder;  // top-level windows, bottom to top
    HWND capture = nullptr;    // takes the mouse wherever it is (SetCapture)
    uintptr_t nextHandle = 0x10000;
    uint64_t generation = 0;  // bumped by every visible change, for redraws
    int screenCols = 80, screenRows = 24;
};

UserState &State();
using UserLock = std::unique_lock<std::mutex>;
inline UserLock LockUser()
{
    return UserLock(State().mutex);
}

// With the lock held: something visible changed.
inline void Touch()
{
    ++State().generation;
}

}  // namespace user
