/* Network enumeration of the host's Win32 subset: enough to ask whether network
 * software is present. */
#ifndef TOLVANE_HOST_WINNETWK_H
#define TOLVANE_HOST_WINNETWK_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define RESOURCE_CONNECTED 0x00000001
#define RESOURCE_GLOBALNET 0x00000002
#define RESOURCE_REMEMBERED 0x00000003
#define RESOURCETYPE_ANY 0x00000000
#define RESOURCETYPE_DISK 0x00000001
#define RESOURCETYPE_PRINT 0x00000002

typedef struct _NETRESOURCEA {
    DWORD dwScope;
    DWORD dwType;
    DWORD dwDisplayType;
    DWORD dwUsage;
    LPSTR lpLocalName;
    LPSTR lpRemoteName;
    LPSTR lpComment;
    LPSTR lpProvider;
} NETRESOURCEA, *LPNETRESOURCEA;

DWORD WINAPI WNetOpenEnumA(DWORD dwScope, DWORD dwType, DWORD dwUsage, LPNETRESOURCEA lpNetResource,
                           LPHANDLE lphEnum);
DWORD WINAPI WNetCloseEnum(HANDLE hEnum);

#ifdef __cplusplus
}
#endif

#endif
