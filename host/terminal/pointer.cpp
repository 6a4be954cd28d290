// The button's press, its moves while down and its release.
#include "terminal/pointer.h"

#include "terminal/keymap.h"
#include "user/user_state.h"

namespace terminal {

namespace {

void Post(user::Queue &queue, user::InputEvent::Kind kind, HWND hwnd, int x, int y)
{
    user::PostInputLocked(queue, {kind, 0, false, hwnd, x, y});
}

}  // namespace

void Pointer::HoldCloseBox(bool on)
{
    if (on != onCloseBox_) {
        onCloseBox_ = on;
        user::Touch();
    }
}

void Pointer::Press(user::Queue &queue, const Hit &hit, int x, int y)
{
    down_ = true;
    closeBoxOf_ = nullptr;
    switch (ActionForRegion(hit.region)) {
    case Action::kClose:
        closeBoxOf_ = hit.hwnd;
        HoldCloseBox(true);
        return;
    case Action::kClick:
        Post(queue, user::InputEvent::kButtonDown, hit.hwnd, x, y);
        return;
    default:
        return;
    }
}

void Pointer::Move(user::Queue &queue, const Hit &hit, int x, int y)
{
    if (!down_)
        return;
    if (closeBoxOf_)
        HoldCloseBox(hit.region == Region::kCloseBox && hit.hwnd == closeBoxOf_);
    else
        Post(queue, user::InputEvent::kMouseMove, hit.hwnd, x, y);
}

void Pointer::Release(user::Queue &queue, const Hit &hit, int x, int y)
{
    // A release without its press (pressed before the program drew, say)
    // belongs to nothing here.
    if (!down_)
        return;
    down_ = false;
    if (!closeBoxOf_) {
        Post(queue, user::InputEvent::kButtonUp, hit.hwnd, x, y);
        return;
    }
    const HWND window = closeBoxOf_;
    closeBoxOf_ = nullptr;
    HoldCloseBox(false);
    if (hit.region == Region::kCloseBox && hit.hwnd == window)
        user::PostInputLocked(queue, {user::InputEvent::kClose, 0, false, window});
}

}  // namespace terminal
