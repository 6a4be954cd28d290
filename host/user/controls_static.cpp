// The static class: text, frames and rectangles. It takes no input; the
// dialog manager skips it. Text may carry marks over parts of its lines.
#include "user/controls.h"
#include "user/window.h"

namespace user {

namespace {

struct StaticState : ControlState {
    std::vector<TextMark> marks;
};

}  // namespace

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_GETDLGCODE)
        return DLGC_STATIC;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

std::span<const TextMark> StaticMarksLocked(const Window &text)
{
    const auto *state = dynamic_cast<const StaticState *>(text.control.get());
    if (!state)
        return {};
    return state->marks;
}

void SetStaticMarksLocked(Window &text, std::vector<TextMark> marks)
{
    if (text.kind != ControlKind::kText)
        return;
    auto *state = dynamic_cast<StaticState *>(text.control.get());
    if (!state) {
        text.control = std::make_unique<StaticState>();
        state = static_cast<StaticState *>(text.control.get());
    }
    state->marks = std::move(marks);
    Touch();
}

}  // namespace user
