#include "ZuneClient.h"

#include "ComHolders.h"
#include "DeviceEnumeration.h"
#include "res/DeviceStringIds.h"

#include <vector>

namespace {

constexpr ULONG kStatusChars = 1024;

struct ZuneTable {
    ZuneEntry entries[kMaxZuneDevices];
    int count = 0;
};

ZuneTable& Table()
{
    static ZuneTable table;
    return table;
}

// A status buffer for the server, as a BSTR* as the interface takes it.
class StatusBuffer {
public:
    StatusBuffer() : m_text(kStatusChars + 1, L'\0') {}
    BSTR* Get() { return reinterpret_cast<BSTR*>(m_text.data()); }
    CString Text() const { return CString(m_text.data()); }

private:
    std::vector<wchar_t> m_text;
};

}  // namespace

ZuneEntry* ZuneDevices() { return Table().entries; }
int ZuneDeviceCount() { return Table().count; }
void SetZuneDeviceCount(int count) { Table().count = count < 0 ? 0 : (count > kMaxZuneDevices ? kMaxZuneDevices : count); }

int BuildZuneTable()
{
    ZuneTable& table = Table();
    if (table.count > 0)
        return table.count;
    for (const UsbDeviceEntry& usb : UsbDeviceTable()) {
        if (table.count >= kMaxZuneDevices)
            break;  // the table holds 16 entries
        if (usb.description.CompareNoCase(L"Zune") != 0)
            continue;
        CString defaultName;
        defaultName.LoadString(3503);
        CString name = defaultName;
        if (!usb.path.IsEmpty()) {
            CString key;
            key.Format(IDS_ZUNE_DEVICES_KEY, static_cast<const wchar_t*>(usb.path));
            name = ReadFriendlyName(key, defaultName);
        }
        ZuneEntry& entry = table.entries[table.count++];
        entry.displayName = name;
        entry.usbPath = usb.path;
    }
    return table.count;
}

int FindZuneDevice(const CString& displayName)
{
    const ZuneTable& table = Table();
    for (int i = 0; i < table.count; ++i) {
        if (table.entries[i].displayName == displayName)
            return i;
    }
    return -1;
}

void ReleaseZuneDevices()
{
    ZuneTable& table = Table();
    for (ZuneEntry& entry : table.entries) {
        if (entry.server)
            entry.server->Release();
        entry.server = nullptr;
        entry.displayName.Empty();
        entry.usbPath.Empty();
    }
    table.count = 0;
}

HRESULT ConnectNewZuneDevice(HWND owner, IZuneSupport* server, const CString& friendlyName, ULONG* deviceIndex,
                             ULONG* deviceCount, CString* status, LONG* retry)
{
    if (!server)
        return E_POINTER;
    StatusBuffer output;
    com::Bstr name(friendlyName);
    com::Bstr client(kZuneClientName);
    HRESULT hr = server->Initialize(name, deviceIndex, deviceCount, output.Get(), kStatusChars, client);
    *status = output.Text();
    if (FAILED(hr) || *status == L"Connected")
        return hr;
    StatusBuffer connected;
    hr = server->GetConnected(name, deviceIndex, nullptr, nullptr, 0, owner, connected.Get(), kStatusChars, retry);
    *status = connected.Text();
    return hr;
}

BOOL ConnectZuneDevice(HWND owner, const CString& displayName)
{
    const int index = FindZuneDevice(displayName);
    if (index < 0 || !Table().entries[index].server)
        return FALSE;
    IZuneSupport* server = Table().entries[index].server;
    com::Bstr name(displayName);
    StatusBuffer output;
    LONG connected = 0;
    if (SUCCEEDED(server->CheckConnection(name, owner, output.Get(), kStatusChars, &connected)) && connected)
        return TRUE;
    LONG retry = 1;
    while (retry) {
        ULONG deviceIndex = static_cast<ULONG>(-1);
        StatusBuffer status;
        retry = 0;
        if (SUCCEEDED(server->GetConnected(name, &deviceIndex, nullptr, nullptr, 0, owner, status.Get(), kStatusChars, &retry)))
            return TRUE;
    }
    return FALSE;
}

HRESULT FindZuneTarget(IZuneSupport* server, const CString& folderId, const CString& targetName, CString* objectId)
{
    objectId->Empty();
    if (!server || targetName.IsEmpty())
        return E_POINTER;
    StatusBuffer output;
    const HRESULT hr = server->DoesTargetExist(com::Bstr(folderId), com::Bstr(targetName), output.Get(), kStatusChars);
    if (hr == S_OK)
        *objectId = output.Text();
    return hr;
}

HRESULT GetZuneStorageSize(IZuneSupport* server, ULONGLONG* capacity, ULONGLONG* freeSpace, CString* status)
{
    if (!server)
        return E_POINTER;
    StatusBuffer output;
    const HRESULT hr = server->GetDeviceStorageSize(capacity, freeSpace, output.Get(), kStatusChars);
    *status = output.Text();
    return hr;
}

CString ReadZuneSoftwareVersion()
{
    CString version;
    HKEY key = nullptr;
    // The Zune software is 64-bit on 64-bit Windows: the shipped 32-bit build must ask for the
    // 64-bit view, or it reads the empty 32-bit one and takes every Zune for an old install.
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Zune", 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
        return version;
    wchar_t text[128] = {};
    DWORD type = 0;
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (RegQueryValueExW(key, L"CurrentVersion", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS &&
        type == REG_SZ)
        version = text;
    RegCloseKey(key);
    return version;
}

BOOL IsZuneSoftware3OrNewer(const CString& version)
{
    const int dot = version.Find(L'.');
    if (dot <= 0)
        return FALSE;
    return _wtoi(version.Left(dot)) >= 3;
}

HRESULT TransferToZuneDevice(HWND owner, IZuneSupport* server, const CString& folderId, const CString& sourcePath,
                             const CString& imagePath, const CString& mediaTitle, const CString& targetName,
                             const CString& artist, ULONGLONG duration, ULONGLONG fileSize, CString* status)
{
    if (status)
        status->Empty();
    if (!server)
        return E_POINTER;
    StatusBuffer output;
    const HRESULT hr = server->TransferToZune(com::Bstr(folderId), com::Bstr(sourcePath), com::Bstr(imagePath),
                                              com::Bstr(mediaTitle), com::Bstr(targetName), com::Bstr(artist), duration,
                                              fileSize, owner, output.Get(), kStatusChars);
    if (status)
        *status = output.Text();
    return hr;
}

BOOL DeleteZuneObject(HWND owner, IZuneSupport* server, const CString& displayName, const CString& objectId)
{
    if (!server || objectId.IsEmpty())
        return FALSE;
    StatusBuffer output;
    const HRESULT hr = server->DeleteFromZune(com::Bstr(objectId), owner, output.Get(), kStatusChars);
    if (SUCCEEDED(hr))
        return TRUE;
    CString text;
    const CString said = output.Text();
    if (said.IsEmpty())
        text.Format(IDS_CANNOT_DELETE_ON_PLAYER, L"delete", static_cast<const wchar_t*>(displayName));
    else
        text.Format(L"Delete %s", static_cast<const wchar_t*>(said));
    if (owner)
        AfxShowMessageBox(owner, text, nullptr, MB_ICONERROR);
    return FALSE;
}

HRESULT ListZuneObjects(IZuneSupport* server, const CString& parentId, std::vector<ZuneObject>* objects)
{
    objects->clear();
    if (!server)
        return E_POINTER;
    StatusBuffer output;
    StatusBuffer parentName;
    ULONG count = 0;
    HRESULT hr = server->GetObjectIdList(com::Bstr(parentId), parentName.Get(), &count, nullptr, nullptr, nullptr,
                                         nullptr, output.Get(), kStatusChars);
    if (FAILED(hr) || count == 0)
        return hr;
    // The count is the server's word: room is made for no more than a player's folder holds.
    const bool cut = count > kMaxZuneListing;
    if (cut)
        count = kMaxZuneListing;
    std::vector<std::vector<wchar_t>> ids(count, std::vector<wchar_t>(kStatusChars, L'\0'));
    std::vector<std::vector<wchar_t>> names(count, std::vector<wchar_t>(kStatusChars, L'\0'));
    std::vector<LPWSTR> idList(count), nameList(count);
    for (ULONG i = 0; i < count; ++i) {
        idList[i] = ids[i].data();
        nameList[i] = names[i].data();
    }
    std::vector<ULONG> attributes(count, 0);
    std::vector<ULONGLONG> sizes(count, 0);
    ULONG* attributeList = attributes.data();
    ULONGLONG* sizeList = sizes.data();
    ULONG filled = count;
    hr = server->GetObjectIdList(com::Bstr(parentId), parentName.Get(), &filled, idList.data(), nameList.data(),
                                 &attributeList, &sizeList, output.Get(), kStatusChars);
    if (FAILED(hr))
        return hr;
    for (ULONG i = 0; i < filled && i < count; ++i) {
        ids[i].back() = L'\0';
        names[i].back() = L'\0';
        objects->push_back({ids[i].data(), names[i].data(), attributes[i], sizes[i]});
    }
    return cut ? S_FALSE : hr;
}
