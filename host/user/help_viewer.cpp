// WinHelpA: a request handed on, unchanged, to the process's help viewer.
#include "user/help_viewer.h"

#include <atomic>

namespace user {

namespace {

std::atomic<HelpViewer *> gHelpViewer{nullptr};

}  // namespace

void SetHelpViewer(HelpViewer *viewer)
{
    gHelpViewer = viewer;
}

}  // namespace user

extern "C" BOOL WINAPI WinHelpA(HWND hWndMain, LPCSTR lpszHelp, UINT uCommand, ULONG_PTR dwData)
{
    user::HelpViewer *viewer = user::gHelpViewer;
    if (viewer)
        return viewer->Request(hWndMain, lpszHelp, uCommand, dwData);
    // No viewer runs, so there is none to close; any other request fails as
    // when the help engine's program cannot be started.
    if (uCommand == HELP_QUIT)
        return TRUE;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}
