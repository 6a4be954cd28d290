// RegisterClassA and the class table, LoadIconA and LoadCursorA. Class names
// compare case-insensitively; icons and cursors are handles that stand for
// their resource, since nothing here draws pixels.
#include "user/class.h"

#include <strings.h>

#include <vector>

#include "kernel/resources.h"
#include "user/controls.h"
#include "user/user_state.h"

namespace user {

namespace {

constexpr ATOM kDialogAtom = 0x8002;
// The system's icons are IDI_APPLICATION 32512 to IDI_WINLOGO 32517; their
// handles are the number over this base.
constexpr ULONG_PTR kSystemIconBase = 0x50000;
constexpr ULONG_PTR kFirstSystemIcon = 32512, kLastSystemIcon = 32517;

struct ClassTable {
    std::vector<std::shared_ptr<const WindowClass>> classes;
    ATOM nextAtom = 0xC000;
    std::vector<kernel::ResourceName> icons;  // an icon's handle is its index here
};

std::shared_ptr<WindowClass> Predefined(const char *name, WNDPROC proc, ATOM atom)
{
    auto c = std::make_shared<WindowClass>();
    c->name = name;
    c->proc = proc;
    c->atom = atom;
    c->predefined = true;
    c->windowExtra = atom == kDialogAtom ? DLGWINDOWEXTRA : 0;
    return c;
}

ClassTable &Table()
{
    static ClassTable table = [] {
        ClassTable t;
        t.classes.push_back(Predefined("#32770", DefDlgProcA, kDialogAtom));
        t.classes.push_back(Predefined("Button", ButtonProc, 0xC001));
        t.classes.push_back(Predefined("Static", StaticProc, 0xC002));
        t.classes.push_back(Predefined("ListBox", ListBoxProc, 0xC003));
        t.classes.push_back(Predefined("ScrollBar", ScrollBarProc, 0xC004));
        t.nextAtom = 0xC010;
        return t;
    }();
    return table;
}

}  // namespace

std::shared_ptr<const WindowClass> FindClassLocked(LPCSTR name)
{
    for (const auto &c : Table().classes) {
        if (IS_INTRESOURCE(name)) {
            if (c->atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name)))
                return c;
        } else if (strcasecmp(c->name.c_str(), name) == 0) {
            return c;
        }
    }
    return nullptr;
}

int SystemIconId(HICON icon)
{
    const ULONG_PTR value = reinterpret_cast<ULONG_PTR>(icon);
    return value >= kSystemIconBase + kFirstSystemIcon && value <= kSystemIconBase + kLastSystemIcon
               ? static_cast<int>(value - kSystemIconBase)
               : 0;
}

void UnregisterProgramClasses()
{
    UserLock lock = LockUser();
    auto &classes = Table().classes;
    std::erase_if(classes, [](const auto &c) { return !c->predefined; });
}

}  // namespace user

using namespace user;

extern "C" ATOM WINAPI RegisterClassA(const WNDCLASSA *wc)
{
    if (!wc || !wc->lpfnWndProc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) ||
        !wc->lpszClassName[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UserLock lock = LockUser();
    auto existing = FindClassLocked(wc->lpszClassName);
    if (existing && !existing->predefined) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto c = std::make_shared<WindowClass>();
    c->name = wc->lpszClassName;
    c->style = wc->style;
    c->proc = wc->lpfnWndProc;
    c->classExtra = wc->cbClsExtra;
    c->windowExtra = wc->cbWndExtra;
    c->instance = wc->hInstance;
    c->icon = wc->hIcon;
    c->cursor = wc->hCursor;
    c->background = wc->hbrBackground;
    c->atom = Table().nextAtom++;
    // A program's class hides a predefined one of the same name, as a local class does.
    Table().classes.insert(Table().classes.begin(), c);
    return c->atom;
}

extern "C" HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName)
{
    if (!lpIconName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!hInstance) {
        ULONG_PTR id = reinterpret_cast<ULONG_PTR>(lpIconName);
        if (IS_INTRESOURCE(lpIconName) && id >= kFirstSystemIcon && id <= kLastSystemIcon)
            return reinterpret_cast<HICON>(kSystemIconBase + id);
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    kernel::ResourceName name = kernel::ResourceName::From(lpIconName);
    if (!kernel::ModuleResources().Find(kernel::ResourceName::From(RT_GROUP_ICON), name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    UserLock lock = LockUser();
    auto &icons = Table().icons;
    size_t index = 0;
    while (index < icons.size() && !(icons[index] == name))
        ++index;
    if (index == icons.size())
        icons.push_back(name);
    return reinterpret_cast<HICON>(0x30000 + index);
}

extern "C" HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName)
{
    if (!lpCursorName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ULONG_PTR id = reinterpret_cast<ULONG_PTR>(lpCursorName);
    if (!hInstance) {
        // The system cursors, IDC_ARROW (32512) to IDC_HELP (32651).
        if (IS_INTRESOURCE(lpCursorName) && id >= 32512 && id <= 32651)
            return reinterpret_cast<HCURSOR>(0x40000 + id);
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    if (!kernel::ModuleResources().Find(kernel::ResourceName::From(RT_GROUP_CURSOR),
                                        kernel::ResourceName::From(lpCursorName))) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HCURSOR>(0x48000 + (IS_INTRESOURCE(lpCursorName) ? id : 0));
}
