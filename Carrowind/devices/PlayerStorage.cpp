// The player record's storage queries: storage card or main memory, the storage layout and
// the free space.
#include "MobileLink.h"
#include "PlayerRecord.h"
#include "iTunesAutomation.h"
#include "WmdmServices.h"
#include "ZuneClient.h"

int PlayerRecord::IsMobileStorageCard()
{
    if (isMobileStorageCard != kUnknownValue)
        return isMobileStorageCard;
    try {
        CRAPIDesktop desktop(false);
        CRAPIConnection connection;
        if (FAILED(desktop.Get()->FindDevice(&mobileDeviceId, rapi::GetDevice::NonBlocking, &connection.device)) ||
            !connection.device) {
            connection.device = nullptr;
            return kUnknownValue;
        }
        RAPI_DEVICEINFO info{};
        if (FAILED(connection.device->GetDeviceInfo(&info)))
            return kUnknownValue;
        const CString deviceName = info.bstrName ? info.bstrName : L"";
        SysFreeString(info.bstrName);
        SysFreeString(info.bstrPlatform);
        isMobileStorageCard = deviceName == name || deviceName == GetName() ? 0 : 1;
    } catch (const CRAPIException&) {
        // the link cannot be had: asked again next time
    }
    return isMobileStorageCard;
}

int PlayerRecord::GetStorageLayout()
{
    if (storageLayout != kUnknownValue || !rootStorageName.IsEmpty())
        return storageLayout;
    if (IsZune() > 0) {
        rootStorageName = name;
        rootStorageAttributes = 0x5000008;
        return storageLayout;
    }
    IWMDMDevice* wmdmDevice = GetDeviceInterface();
    if (!wmdmDevice)
        return storageLayout;
    if (IWMDMStorage* storage = GetFirstWmdmStorage(wmdmDevice)) {
        DWORD attributes = 0;
        rootStorageName = GetWmdmStorageName(storage, &attributes);
        rootStorageAttributes = attributes;
        storage->Release();
        if (mobileDevice)
            storageLayout = 0;
        else if (!rootStorageName.IsEmpty())
            storageLayout = rootStorageName == L"\\" ? 0 : kNamedRootLayout;
    } else if (mobileDevice) {
        storageLayout = 0;
    }
    return storageLayout;
}

BOOL PlayerRecord::GetFreeSpace(ULONGLONG* freeBytes, BOOL* locked)
{
    *freeBytes = 0;
    if (IsApple() == static_cast<int>(kAppleLibraryBit)) {
        // The library lives on the system drive.
        DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
        if (GetDiskFreeSpaceW(L"c:\\", &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters) &&
            sectorsPerCluster && bytesPerSector && freeClusters)
            *freeBytes = static_cast<ULONGLONG>(freeClusters) * sectorsPerCluster * bytesPerSector;
        else
            *freeBytes = 1ULL << 30;
        return TRUE;
    }
    if (IsApple() > 0) {
        CiTunesHelper helper;
        IITPlaylist* playlist = nullptr;
        BOOL iPodLocked = FALSE;
        if (FAILED(helper.FindPlaylist(ExtractParenthesized(GetDisplayName()), &playlist, &iPodLocked)))
            return FALSE;
        if (locked)
            *locked = iPodLocked;
        if (!playlist)
            return TRUE;
        IITSource* source = nullptr;
        BOOL ok = TRUE;
        if (SUCCEEDED(playlist->get_Source(&source)) && source) {
            double bytes = 0;
            ok = SUCCEEDED(source->get_FreeSpace(&bytes));
            if (ok && bytes > 0)
                *freeBytes = static_cast<ULONGLONG>(bytes);
            source->Release();
        }
        playlist->Release();
        return ok;
    }
    if (IsZune() > 0) {
        if (zuneIndex < 0 || zuneIndex >= ZuneDeviceCount() || !ZuneDevices()[zuneIndex].server)
            return FALSE;
        ULONGLONG capacity = 0;
        CString status;
        return SUCCEEDED(GetZuneStorageSize(ZuneDevices()[zuneIndex].server, &capacity, freeBytes, &status));
    }
    IWMDMDevice* wmdmDevice = GetDeviceInterface();
    if (!wmdmDevice)
        return FALSE;
    IWMDMStorage* storage = GetFirstWmdmStorage(wmdmDevice);
    if (!storage)
        return FALSE;
    IWMDMStorageGlobals* globals = nullptr;
    BOOL ok = FALSE;
    if (SUCCEEDED(storage->GetStorageGlobals(&globals)) && globals) {
        DWORD low = 0, high = 0;
        if (SUCCEEDED(globals->GetTotalFree(&low, &high))) {
            *freeBytes = (static_cast<ULONGLONG>(high) << 32) | low;
            ok = TRUE;
        }
        globals->Release();
    }
    storage->Release();
    return ok;
}
