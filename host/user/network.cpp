// Network enumeration, enough to tell whether network software is installed:
// without it there is no provider to open an enumeration with.
#include <windows.h>
#include <winnetwk.h>

#include "kernel/handles.h"
#include "pc/settings.h"

namespace {

class NetworkEnumeration : public kernel::KernelObject {};

DWORD Result(DWORD error)
{
    SetLastError(error);
    return error;
}

}  // namespace

DWORD WINAPI WNetOpenEnumA(DWORD dwScope, DWORD, DWORD, LPNETRESOURCEA, LPHANDLE lphEnum)
{
    if (!lphEnum)
        return Result(ERROR_INVALID_PARAMETER);
    if (!pc::NetworkInstalled())
        return Result(ERROR_NO_NETWORK);
    if (dwScope != RESOURCE_CONNECTED && dwScope != RESOURCE_GLOBALNET &&
        dwScope != RESOURCE_REMEMBERED)
        return Result(ERROR_INVALID_PARAMETER);
    // Nothing is ever connected here; the enumeration is empty but open.
    *lphEnum = kernel::InsertHandle(std::make_shared<NetworkEnumeration>());
    return NO_ERROR;
}

DWORD WINAPI WNetCloseEnum(HANDLE hEnum)
{
    if (!kernel::RemoveHandleAs<NetworkEnumeration>(hEnum))
        return Result(ERROR_INVALID_HANDLE);
    return NO_ERROR;
}
