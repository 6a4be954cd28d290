// The state of the user services and the one lock that guards it: the window
// table, the z-order of top-level windows, the window that has the mouse, the
// size of the screen they are on, a generation that every visible change
// bumps and the part of the screen those changes touched. Every public call
// takes the lock; window procedures always run without it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "user/window_geometry.h"

namespace user {

struct Window;

struct UserState {
    std::mutex mutex;
    std::unordered_map<HWND, std::unique_ptr<Window>> windows;
    std::vector<HWND> zOrder;  // top-level windows, bottom to top
    HWND capture = nullptr;    // takes the mouse wherever it is (SetCapture)
    uintptr_t nextHandle = 0x10000;
    uint64_t generation = 0;  // bumped by every visible change, for redraws
    // What those changes touched since the front end last drew: the whole
    // screen, or only the cells of `damage`.
    bool damageAll = true;
    CellRect damage;
    int screenCols = 80, screenRows = 24;
};

UserState &State();
using UserLock = std::unique_lock<std::mutex>;
inline UserLock LockUser()
{
    return UserLock(State().mutex);
}

// With the lock held: something visible changed, anywhere on the screen.
inline void Touch()
{
    UserState &s = State();
    ++s.generation;
    s.damageAll = true;
}

// With the lock held: something visible changed inside `area` (screen cells)
// and nowhere else.
inline void TouchArea(const CellRect &area)
{
    UserState &s = State();
    ++s.generation;
    if (s.damage.w <= 0 || s.damage.h <= 0) {
        s.damage = area;
        return;
    }
    const int right = std::max(s.damage.Right(), area.Right());
    const int bottom = std::max(s.damage.Bottom(), area.Bottom());
    s.damage.x = std::min(s.damage.x, area.x);
    s.damage.y = std::min(s.damage.y, area.y);
    s.damage.w = right - s.damage.x;
    s.damage.h = bottom - s.damage.y;
}

// With the lock held, for the front end about to draw: false when the whole
// screen must be drawn again, else true with the cells that changed in
// `area` (empty when none did). Either way the damage is then forgotten.
inline bool TakeDamage(CellRect &area)
{
    UserState &s = State();
    const bool partial = !s.damageAll;
    area = s.damage;
    s.damageAll = false;
    s.damage = CellRect{};
    return partial;
}

}  // namespace user
