// The Windows programs' entry point in place of the C runtime's: Windows 95
// shipped without msvcrt.dll, so tolvane.exe and faltrem.exe import from the
// system DLLs alone. The host build has its own entry (host/tools/program_main.cpp).
#ifdef __MINGW32__

#include <windows.h>

// The command line after the program's own name, which may be quoted.
static LPSTR SkipProgramName(LPSTR p)
{
    if (*p == '"') {
        while (*++p && *p != '"')
            ;
        if (*p)
            ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t')
            ++p;
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

// The loader gives no 16-byte stack alignment; realign before any compiled code runs.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup(void)
{
    STARTUPINFOA si;
    int nShowCmd = SW_SHOWDEFAULT;

    si.cb = sizeof si;
    GetStartupInfoA(&si);
    if (si.dwFlags & STARTF_USESHOWWINDOW)
        nShowCmd = si.wShowWindow;
    ExitProcess(
        (UINT)WinMain(GetModuleHandleA(NULL), NULL, SkipProgramName(GetCommandLineA()), nShowCmd));
}

// The compiler emits calls to these for ZeroMemory and structure copies. The
// attribute keeps it from turning the loops back into calls to themselves.
extern "C" __attribute__((optimize("no-tree-loop-distribute-patterns"))) void *
memset(void *dest, int value, size_t count)
{
    unsigned char *d = (unsigned char *)dest;

    while (count--)
        *d++ = (unsigned char)value;
    return dest;
}

extern "C" __attribute__((optimize("no-tree-loop-distribute-patterns"))) void *
memcpy(void *dest, const void *src, size_t count)
{
    unsigned char *d = (unsigned char *)dest;
    const unsigned char *s = (const unsigned char *)src;

    while (count--)
        *d++ = *s++;
    return dest;
}

#endif
