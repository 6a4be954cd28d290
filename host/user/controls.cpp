// What kind of control a window is, and the notification every control sends
// its dialog.
#include "user/controls.h"

#include <strings.h>

#include <string>

#include "user/window.h"

namespace user {

ControlKind KindOf(std::string_view className, DWORD style)
{
    std::string name(className);
    if (strcasecmp(name.c_str(), "#32770") == 0)
        return ControlKind::kDialog;
    if (strcasecmp(name.c_str(), "Button") == 0) {
        switch (style & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
            return ControlKind::kCheckBox;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return ControlKind::kRadioButton;
        case BS_GROUPBOX:
            return ControlKind::kGroupBox;
        default:
            return ControlKind::kPushButton;
        }
    }
    if (strcasecmp(name.c_str(), "Static") == 0) {
        DWORD type = style & SS_TYPEMASK;
        if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT ||
            type == 0xB /* SS_SIMPLE */ || type == 0xC /* SS_LEFTNOWORDWRAP */)
            return ControlKind::kText;
        if (type == SS_ICON)
            return ControlKind::kIcon;
        return ControlKind::kFrame;
    }
    if (strcasecmp(name.c_str(), "ListBox") == 0)
        return ControlKind::kListBox;
    if (strcasecmp(name.c_str(), "ScrollBar") == 0)
        return ControlKind::kScrollBar;
    return ControlKind::kOther;
}

void NotifyParent(HWND control, WORD code)
{
    HWND parent;
    int id;
    {
        UserLock lock = LockUser();
        Window *w = Find(control);
        if (!w || !w->IsChild())
            return;
        parent = w->parent;
        id = w->id;
    }
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

}  // namespace user
