// The global atom calls over the PC's atom table, with Windows' results and
// last errors.
#include <windows.h>

#include <cstring>
#include <string>

#include "pc/atoms.h"

namespace {

DWORD ErrorOf(pc::AtomStatus status)
{
    switch (status) {
    case pc::AtomStatus::Ok:
        return ERROR_SUCCESS;
    case pc::AtomStatus::InvalidParameter:
        return ERROR_INVALID_PARAMETER;
    case pc::AtomStatus::InvalidName:
        return ERROR_INVALID_NAME;
    case pc::AtomStatus::NotFound:
        return ERROR_FILE_NOT_FOUND;
    case pc::AtomStatus::InvalidHandle:
        return ERROR_INVALID_HANDLE;
    case pc::AtomStatus::TableFull:
        break;
    }
    return ERROR_NOT_ENOUGH_MEMORY;
}

ATOM Result(pc::AtomResult result)
{
    if (result.status != pc::AtomStatus::Ok) {
        SetLastError(ErrorOf(result.status));
        return 0;
    }
    return result.atom;
}

// MAKEINTATOM(n) is a pointer whose value is below 0x10000.
bool IsIntegerAtom(LPCSTR name)
{
    return IS_INTRESOURCE(name);
}

}  // namespace

ATOM WINAPI GlobalAddAtomA(LPCSTR lpString)
{
    if (IsIntegerAtom(lpString)) {
        // Windows returns 0 for atom 0 without setting an error.
        if (!lpString)
            return 0;
        return Result(pc::IntegerAtom(LOWORD(lpString)));
    }
    return Result(pc::AddAtom(lpString));
}

ATOM WINAPI GlobalFindAtomA(LPCSTR lpString)
{
    if (IsIntegerAtom(lpString)) {
        if (!lpString)
            return 0;
        return Result(pc::IntegerAtom(LOWORD(lpString)));
    }
    return Result(pc::FindAtom(lpString));
}

ATOM WINAPI GlobalDeleteAtom(ATOM nAtom)
{
    pc::AtomStatus status = pc::DeleteAtom(nAtom);
    if (status != pc::AtomStatus::Ok) {
        SetLastError(ErrorOf(status));
        return nAtom;
    }
    return 0;
}

UINT WINAPI GlobalGetAtomNameA(ATOM nAtom, LPSTR lpBuffer, int nSize)
{
    std::string name;
    pc::AtomStatus status = pc::AtomName(nAtom, name);
    if (status != pc::AtomStatus::Ok) {
        SetLastError(ErrorOf(status));
        return 0;
    }
    if (!lpBuffer || nSize <= 0) {
        SetLastError(ERROR_MORE_DATA);
        return 0;
    }
    // A name that does not fit is cut to the buffer and the call fails.
    if (name.size() >= static_cast<std::size_t>(nSize)) {
        std::memcpy(lpBuffer, name.data(), static_cast<std::size_t>(nSize) - 1);
        lpBuffer[nSize - 1] = '\0';
        SetLastError(ERROR_MORE_DATA);
        return 0;
    }
    std::memcpy(lpBuffer, name.c_str(), name.size() + 1);
    return static_cast<UINT>(name.size());
}
