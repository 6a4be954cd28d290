// MessageBoxA as a dialog of the layer's own: its text, the system's icon for
// its type in an SS_ICON static, the standard button sets, the default
// button, MB_TOPMOST. It runs in the same modal loop as any dialog, so timers
// keep ticking while it is up. MessageBeep rings the front end's bell. Both
// tell the hooks a test driver installs.
#include <algorithm>
#include <string>
#include <vector>

#include "user/dialog.h"
#include "user/hooks.h"
#include "user/layout.h"
#include "user/message.h"
#include "user/window.h"

namespace user {

namespace {

// The ids Windows gives a message box's text and icon.
constexpr int kTextId = 0xFFFF;
constexpr int kIconId = 20;
// The icon's cells in the client area; the text starts a column after it.
constexpr CellRect kIconCells{1, 1, 5, 2};
// Longest line before a message box wraps its text; the box stays inside an
// 80-column terminal.
constexpr int kMaxTextCols = 64;

struct BoxState {
    UINT type;
    LPCSTR icon;  // IDI_ name of the system icon; nullptr: none
    std::vector<int> buttons;
    bool Has(int id) const
    {
        return std::find(buttons.begin(), buttons.end(), id) != buttons.end();
    }
};

// The answer for IDCANCEL (Escape): Cancel, or OK when OK is the only button;
// otherwise Escape does nothing, as on Windows.
int EscapeAnswer(const BoxState &box)
{
    if (box.Has(IDCANCEL))
        return IDCANCEL;
    if (box.buttons.size() == 1 && box.buttons[0] == IDOK)
        return IDOK;
    return 0;
}

// The close command (title-bar close, Ctrl+C) also answers No when there is
// no Cancel, so that every box can be closed.
int CloseAnswer(const BoxState &box)
{
    if (int answer = EscapeAnswer(box))
        return answer;
    return box.Has(IDNO) ? IDNO : 0;
}

thread_local std::vector<std::pair<HWND, BoxState *>> tOpenBoxes;

BoxState *StateOf(HWND hwnd)
{
    for (auto &[h, box] : tOpenBoxes)
        if (h == hwnd)
            return box;
    return nullptr;
}

INT_PTR CALLBACK MessageBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: {
        auto *box = reinterpret_cast<BoxState *>(lParam);
        tOpenBoxes.emplace_back(hwnd, box);
        if (box->icon)
            SendDlgItemMessageA(hwnd, kIconId, STM_SETICON,
                                reinterpret_cast<WPARAM>(LoadIconA(nullptr, box->icon)), 0);
        UINT def = (box->type & MB_DEFMASK) >> 8;
        int id = box->buttons[def < box->buttons.size() ? def : 0];
        SendMessageA(hwnd, DM_SETDEFID, static_cast<WPARAM>(id), 0);
        SetFocus(GetDlgItem(hwnd, id));
        return FALSE;
    }
    case WM_COMMAND: {
        BoxState *box = StateOf(hwnd);
        int id = LOWORD(wParam);
        if (!box)
            return TRUE;
        if (id == IDCANCEL && !box->Has(IDCANCEL))
            id = EscapeAnswer(*box);
        if (id && box->Has(id))
            EndDialog(hwnd, id);
        return TRUE;
    }
    case WM_CLOSE: {
        BoxState *box = StateOf(hwnd);
        if (int answer = box ? CloseAnswer(*box) : 0)
            EndDialog(hwnd, answer);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

// Places icon, text and buttons in cells: margins of two columns (the icon
// reaches into the left one), the buttons centred on the last row.
void ArrangeMessageBox(HWND hwnd, const std::string &text, const std::string &caption, bool hasIcon,
                       size_t buttonCount)
{
    UserLock lock = LockUser();
    Window *w = Find(hwnd);
    int textCols = 0;
    int lines = WrapText(text, kMaxTextCols, [&](std::string_view line) {
        textCols = std::max(textCols, static_cast<int>(line.size()));
    });
    const int iconCols = hasIcon ? kIconCells.Right() + 1 - 2 : 0;
    const int buttonCols = 10;
    const int buttonsWidth =
        static_cast<int>(buttonCount) * buttonCols + (static_cast<int>(buttonCount) - 1) * 2;
    int clientCols =
        std::max({iconCols + textCols, buttonsWidth, static_cast<int>(caption.size()) + 4}) + 4;
    int clientRows = lines + 4;
    int buttonX = (clientCols - buttonsWidth) / 2;
    for (HWND h : w->children) {
        Window *c = Find(h);
        if (c->id == kIconId)
            c->cells = kIconCells;
        else if (c->id == kTextId)
            c->cells = CellRect{2 + iconCols, 1, textCols, lines};
        else {
            c->cells = CellRect{buttonX, clientRows - 2, buttonCols, 1};
            buttonX += buttonCols + 2;
        }
    }
    w->clientCols = clientCols;
    w->clientRows = clientRows;
    w->cells.w = clientCols + kFrameCols;
    w->cells.h = clientRows + kFrameRows;
}

DialogItemTemplate Item(DWORD style, int id, const char *windowClass, const std::string &text)
{
    DialogItemTemplate item;
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.id = static_cast<DWORD>(id);
    item.windowClass.text = windowClass;
    item.text.text = text;
    return item;
}

std::vector<int> MessageBoxButtons(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    default:
        return {IDOK};
    }
}

const char *MessageBoxButtonText(int id)
{
    switch (id) {
    case IDOK:
        return "OK";
    case IDCANCEL:
        return "Cancel";
    case IDABORT:
        return "Abort";
    case IDRETRY:
        return "Retry";
    case IDIGNORE:
        return "Ignore";
    case IDYES:
        return "Yes";
    case IDNO:
        return "No";
    default:
        return "";
    }
}

LPCSTR MessageBoxIcon(UINT type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
        return IDI_HAND;
    case MB_ICONQUESTION:
        return IDI_QUESTION;
    case MB_ICONEXCLAMATION:
        return IDI_EXCLAMATION;
    case MB_ICONASTERISK:
        return IDI_ASTERISK;
    default:
        return nullptr;
    }
}

}  // namespace

}  // namespace user

using namespace user;

extern "C" int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    if (hWnd && !IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    std::string text = lpText ? lpText : "";
    std::string caption = lpCaption ? lpCaption : "Error";
    BoxState box{uType, MessageBoxIcon(uType), MessageBoxButtons(uType)};

    DialogTemplate dlg;
    dlg.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    dlg.exStyle = (uType & MB_TOPMOST) ? WS_EX_TOPMOST : 0;
    dlg.caption = caption;
    if (box.icon)
        dlg.items.push_back(Item(SS_ICON, kIconId, "Static", ""));
    dlg.items.push_back(Item(SS_LEFT, kTextId, "Static", text));
    for (size_t i = 0; i < box.buttons.size(); ++i) {
        int id = box.buttons[i];
        dlg.items.push_back(Item(BS_PUSHBUTTON | WS_TABSTOP | (i == 0 ? WS_GROUP : 0), id, "Button",
                                 MessageBoxButtonText(id)));
    }

    HWND shown = nullptr;
    auto arrange = [&](HWND hwnd) {
        ArrangeMessageBox(hwnd, text, caption, box.icon != nullptr, box.buttons.size());
        UserLock lock = LockUser();
        shown = hwnd;
        if (const auto &hook = HooksLocked().messageBoxShown)
            hook(hwnd, text, caption, uType);
    };
    // However the box's loop is left: an end of the session or an exception
    // may unwind it, and its window must not keep a pointer to `box`.
    struct Forget {
        const BoxState *box;
        ~Forget()
        {
            std::erase_if(tOpenBoxes, [this](const auto &open) { return open.second == box; });
        }
    } forget{&box};
    INT_PTR result =
        RunDialogBox(dlg, hWnd, MessageBoxProc, reinterpret_cast<LPARAM>(&box), arrange);
    const int answer = result > 0 ? static_cast<int>(result) : 0;
    UserLock lock = LockUser();
    if (const auto &hook = HooksLocked().messageBoxAnswered; hook && shown)
        hook(shown, answer);
    return answer;
}

extern "C" BOOL WINAPI MessageBeep(UINT uType)
{
    auto queue = CurrentQueue();
    UserLock lock = LockUser();
    if (const auto &hook = HooksLocked().beep)
        hook(uType);
    if (queue->frontEnd)
        queue->frontEnd->Beep();
    return TRUE;
}
