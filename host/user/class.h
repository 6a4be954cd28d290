// Window classes: the predefined ones (dialog, button, static, list box,
// scroll bar) and those a program registers, looked up by name or atom.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace user {

struct WindowClass {
    std::string name;
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int classExtra = 0;
    int windowExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    bool predefined = false;
};

// With the user lock held. `name` may be MAKEINTATOM(atom). nullptr if unknown.
std::shared_ptr<const WindowClass> FindClassLocked(LPCSTR name);

// The IDI_ number of one of the system's own icons that LoadIconA(NULL, ...)
// gave (32513 for IDI_HAND); 0 for any other icon.
int SystemIconId(HICON icon);

// Forgets the classes a program registered, as its end would on Windows; used
// when another program starts in the same host process.
void UnregisterProgramClasses();

}  // namespace user
