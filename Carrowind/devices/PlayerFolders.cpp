// The player record's folders and files through the device manager, the lookup by path and the
// album of a title.
#include "DeviceFolders.h"
#include "WmdmServices.h"

HRESULT FindWmdmStorageByPath(IWMDMDevice* device, const wchar_t*, IWMDMStorage** folder, IWMDMStorage** file,
                              const wchar_t*, int, IWMDMStorage*)
{
    if (folder)
        *folder = nullptr;
    if (file)
        *file = nullptr;
    return device ? E_NOTIMPL : E_POINTER;
}

IWMDMStorage* CreateAlbumOnDevice(PlayerRecord*, IWMDMDevice*, const CString&, const CString&, const CString&,
                                  const CString&)
{
    return nullptr;
}

CString FormatStorageSize(ULONGLONG) { return CString(); }

IWMDMStorage* PlayerRecord::GetRootStorage(IWMDMDevice*) { return nullptr; }

HRESULT PlayerRecord::FindStorage(IWMDMDevice*, const CString&, const wchar_t*, IWMDMStorage**, IWMDMStorage**)
{
    return E_NOTIMPL;
}

BOOL PlayerRecord::FolderExists(const CString&, DWORD*) { return FALSE; }
BOOL PlayerRecord::FileExists(const CString&, const CString&) { return FALSE; }
BOOL PlayerRecord::SetStorageAttributes(const CString&, const CString&, DWORD) { return FALSE; }
DWORD PlayerRecord::EditDevicePath(const CString&, const wchar_t*, BOOL) { return ERROR_CANNOT_MAKE; }
void PlayerRecord::ListFolders(const CString&) {}
void PlayerRecord::AppendStorageTree(IWMDMStorage*, int, int*) {}

int PlayerRecord::AddFolderEntry(std::unique_ptr<PlayerFolderEntry> entry)
{
    const int index = folders.empty() ? 0 : folders.rbegin()->first + 1;
    folders[index] = std::move(entry);
    return index;
}

void PlayerRecord::ClearFolderEntries() { folders.clear(); }
BOOL PlayerRecord::FindZuneFile(const CString&, CString*) { return FALSE; }
