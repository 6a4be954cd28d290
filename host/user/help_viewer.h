// The help viewer WinHelpA hands its requests to. As on Windows, where the
// help engine is a program of its own that user32 only starts and passes
// requests on to, the viewer lives in a layer above this one and registers
// itself here; without one, WinHelpA finds no viewer to start.
#pragma once

#include <windows.h>

namespace user {

class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    // A WinHelpA request as the program made it; its answer is WinHelpA's.
    virtual BOOL Request(HWND owner, LPCSTR file, UINT command, ULONG_PTR data) = 0;
};

// The process's help viewer, from any thread; nullptr: none.
void SetHelpViewer(HelpViewer *viewer);

}  // namespace user
