// DestroyWindow: WM_DESTROY to the window, the windows it owns and its
// children, each before its own, while all still exist; then each goes from
// the table with its timers, no window keeps it as its focus, and it lets go
// of the mouse.
#include "user/destroy.h"

#include <algorithm>

#include "user/message.h"
#include "user/window.h"

namespace user {

namespace {

// The window, then the windows it owns and its children, each before its own.
void CollectTree(HWND hwnd, std::vector<HWND> &out)
{
    Window *w = Find(hwnd);
    if (!w || std::find(out.begin(), out.end(), hwnd) != out.end())
        return;
    out.push_back(hwnd);
    for (auto &[h, other] : State().windows)
        if (!other->IsChild() && other->owner == hwnd)
            CollectTree(h, out);
    for (HWND child : w->children)
        CollectTree(child, out);
}

}  // namespace

void DestroyWindowTree(HWND hwnd)
{
    std::vector<HWND> doomed;
    {
        UserLock lock = LockUser();
        CollectTree(hwnd, doomed);
    }
    for (HWND h : doomed)
        CallProc(h, WM_DESTROY, 0, 0);

    UserLock lock = LockUser();
    UserState &s = State();
    for (HWND h : doomed) {
        Window *w = Find(h);
        if (!w)
            continue;
        if (w->queue)
            w->queue->timers.KillWindow(h);
        if (Window *parent = ParentOf(w))
            std::erase(parent->children, h);
        std::erase(s.zOrder, h);
        if (s.capture == h)
            s.capture = nullptr;
        for (auto &[other, win] : s.windows)
            if (win->focus == h)
                win->focus = nullptr;
        s.windows.erase(h);
    }
    Touch();
}

}  // namespace user

using namespace user;

extern "C" BOOL WINAPI DestroyWindow(HWND hWnd)
{
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    DestroyWindowTree(hWnd);
    return TRUE;
}
