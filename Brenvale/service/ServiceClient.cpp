#include "ServiceClient.h"

BOOL SendServiceRequest(const CString&, const CString&, const CString&, CString& reply,
                        DWORD& status, const CString&, const CString&)
{
    reply.Empty();
    status = 0;
    return FALSE;
}

BOOL CheckForUpdatesOrMessages(const CString&, const wchar_t*, CString& reply,
                               CString& installedVersion, DWORD& status, const CString&,
                               const CString&)
{
    reply.Empty();
    installedVersion.Empty();
    status = 0;
    return FALSE;
}
