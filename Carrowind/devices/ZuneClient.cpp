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
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Zune", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
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
