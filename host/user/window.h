// Window objects: what every window has (class, procedure, text, style, id,
// parent or owner, children, place on the screen), found by handle in the
// user state's table.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "user/controls.h"
#include "user/user_state.h"
#include "user/window_geometry.h"

namespace user {

struct Queue;
struct WindowClass;

struct DialogInfo {
    DLGPROC proc = nullptr;
    LPARAM initParam = 0;
    INT_PTR result = 0;
    bool ended = false;
    bool disabledOwner = false;  // this dialog disabled its owner and re-enables it
    int defaultId = 0;           // the dialog's default push button (DM_GETDEFID)
    LRESULT msgResult = 0;       // DWL_MSGRESULT
    bool centred = false;
};

// What a control of a predefined class keeps of its own (a list box's lines,
// a button's check): made and read only by its class, through its window
// procedure and the views in user/controls.h.
struct ControlState {
    virtual ~ControlState() = default;
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<const WindowClass> windowClass;
    WNDPROC proc = nullptr;
    ControlKind kind = ControlKind::kOther;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    HWND parent = nullptr;       // children only
    HWND owner = nullptr;        // top-level windows only
    std::vector<HWND> children;  // creation order, which is also tab order
    std::shared_ptr<Queue> queue;
    HICON icon = nullptr;

    RECT units{};                        // dialog units, as the template gives them
    CellRect cells;                      // see CellRect
    int clientCols = 0, clientRows = 0;  // top-level: the client area inside the frame

    HWND focus = nullptr;  // top-level: the child that has, or last had, the focus
    std::unique_ptr<DialogInfo> dialog;

    std::unique_ptr<ControlState> control;
    std::vector<BYTE> extraBytes;

    bool IsChild() const { return (style & WS_CHILD) != 0; }
    bool Visible() const { return (style & WS_VISIBLE) != 0; }
    bool Enabled() const { return (style & WS_DISABLED) == 0; }
};

// ---- With the lock held ----
Window *Find(HWND hwnd);
// A child's parent; nullptr for a top-level window.
Window *ParentOf(const Window *w);
// Whether `w` is `ancestor` or lies inside it.
bool IsInside(const Window *w, HWND ancestor);
Window *TopLevelOf(Window *w);
// The top-level window that takes the keyboard: the topmost one that is visible
// and enabled.
Window *ActiveWindow();
// The window that keys go to: the active window's focused control if it can
// take input, else the active window itself.
Window *KeyboardTarget();
bool TakesInput(Window *w);  // visible and enabled, with every ancestor
void BringToTop(Window *topLevel);
// Puts a top-level window where it goes on the screen: centred if it asks for
// it, else where its template puts it, moved in as far as it fits.
void PlaceOnScreenLocked(Window *topLevel);
void SetVisible(Window *w, bool visible);
// Moves the focus inside a top-level window and updates which push button
// shows as the default one. nullptr clears it.
void SetFocusLocked(Window *topLevel, Window *control);
Window *FindChild(Window *parent, int id);
// What `w` shows changed and nothing else: a control's own cells and the one
// cell round them where its edges are drawn are redrawn, the rest stays. A
// top-level window touches the whole screen (its frame, caption and shadow).
void TouchWindow(const Window *w);

struct CreateParams {
    std::shared_ptr<const WindowClass> windowClass;
    std::string text;
    DWORD style = 0, exStyle = 0;
    int id = 0;
    HWND parent = nullptr, owner = nullptr;
    RECT units{};
    std::shared_ptr<Queue> queue;  // of the thread the window belongs to
};
Window *CreateWindowLocked(const CreateParams &params);

// ---- Without the lock ----
// Runs a window's procedure on the calling thread.
LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace user
