// A Windows Mobile player's paths and the side files its reading application takes.
#include "MobileLink.h"
#include "PlayerRecord.h"

int PlayerRecord::QueryMobilePath(const CString&, DWORD* attributes)
{
    if (attributes)
        *attributes = 0;
    return -1;
}

void PlayerRecord::DeleteMobileTargetFile(const CString&) {}

CString PlayerRecord::GetRootStorageName(DWORD* attributes, int* layout)
{
    if (attributes)
        *attributes = rootStorageAttributes;
    if (layout)
        *layout = storageLayout;
    return rootStorageName;
}

CString PlayerRecord::GetMobileDeviceRoot() { return CString(); }

BOOL CopySideFilesToMobile(PlayerRecord*, const CString&, const CString&, const CString&) { return FALSE; }
