// GetVersionExA: the platform the simulated PC's profile runs.
#include <windows.h>

#include <cstring>

#include "pc/settings.h"

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation)
{
    if (!lpVersionInformation) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    pc::PlatformInfo platform = pc::CurrentPlatform();
    bool nt = platform.platformId == VER_PLATFORM_WIN32_NT;
    DWORD size = lpVersionInformation->dwOSVersionInfoSize;
    // The extended record came with NT 4.0 Service Pack 6; Windows 9x knows
    // only the plain one, and fails a wrong size without setting an error.
    if (size != sizeof(OSVERSIONINFOA) && !(nt && size == sizeof(OSVERSIONINFOEXA))) {
        if (nt)
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    lpVersionInformation->dwMajorVersion = platform.major;
    lpVersionInformation->dwMinorVersion = platform.minor;
    lpVersionInformation->dwBuildNumber = platform.buildNumber;
    lpVersionInformation->dwPlatformId = platform.platformId;
    std::memset(lpVersionInformation->szCSDVersion, 0, sizeof lpVersionInformation->szCSDVersion);
    std::strncpy(lpVersionInformation->szCSDVersion, platform.csdVersion,
                 sizeof lpVersionInformation->szCSDVersion - 1);
    if (size == sizeof(OSVERSIONINFOEXA)) {
        auto *extended = reinterpret_cast<LPOSVERSIONINFOEXA>(lpVersionInformation);
        extended->wServicePackMajor = 6;
        extended->wServicePackMinor = 0;
        extended->wSuiteMask = 0;
        extended->wProductType = VER_NT_WORKSTATION;
        extended->wReserved = 0;
    }
    return TRUE;
}
