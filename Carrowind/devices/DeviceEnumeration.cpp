#include "DeviceEnumeration.h"

#include "DeviceLists.h"
#include "FileUtils.h"
#include "res/DeviceStringIds.h"

#include <propidl.h>

namespace {

std::vector<UsbDeviceEntry>*& UsbTable()
{
    static std::vector<UsbDeviceEntry>* table = nullptr;
    return table;
}

// The text after marker up to the next "&", with "_" as blanks.
CString PathField(const CString& lowerPath, const wchar_t* marker)
{
    const int at = lowerPath.Find(marker);
    if (at < 0)
        return CString();
    CString field = lowerPath.Mid(at + static_cast<int>(wcslen(marker)));
    const int end = field.FindOneOf(L"&#");
    if (end >= 0)
        field = field.Left(end);
    field.Replace(L'_', L' ');
    field.Trim();
    return field;
}

CString NameFromInterfacePath(const std::wstring& path)
{
    CString lower(path.c_str());
    lower.MakeLower();
    CString vendor = PathField(lower, L"&ven_");
    vendor.MakeUpper();
    const CString product = CapitalizeWords(PathField(lower, L"&prod_"));
    if (vendor.IsEmpty())
        return product;
    if (product.IsEmpty())
        return vendor;
    return vendor + L" " + product;
}

CString UsbTablePath(const std::wstring& interfacePath)
{
    CString path(interfacePath.c_str());
    path.MakeUpper();
    const int usb = path.Find(L"USB#");
    if (usb >= 0)
        path = path.Mid(usb);
    path.TrimLeft(L"\\?");
    const int brace = path.Find(L'{');
    if (brace >= 0)
        path = path.Left(brace);
    path.TrimRight(L'#');
    return path;
}

}  // namespace

std::vector<DriveEntry> ScanRemovableDrives()
{
    std::vector<DriveEntry> drives;
    const DWORD mask = GetLogicalDrives();
    for (wchar_t letter = L'B'; letter <= L'Z' && drives.size() < 26; ++letter) {
        if (!(mask & (1u << (letter - L'A'))))
            continue;
        wchar_t root[] = {letter, L':', L'\\', 0};
        if (GetDriveTypeW(root) != DRIVE_REMOVABLE)
            continue;
        wchar_t volume[] = {L'\\', L'\\', L'.', L'\\', letter, L':', 0};
        DriveEntry entry;
        entry.letter = letter;
        if (devices::GetStorageDeviceNumber(volume, &entry.deviceType, &entry.deviceNumber))
            drives.push_back(entry);
    }
    return drives;
}

bool GetDiskName(DWORD deviceType, DWORD deviceNumber, CString* name)
{
    for (const devices::InterfaceRow& row : devices::ListInterfaces(devices::kDiskInterfaces)) {
        DWORD type = 0, number = 0;
        if (!devices::GetStorageDeviceNumber(row.path, &type, &number) || type != deviceType || number != deviceNumber)
            continue;
        CString found = row.hasFriendlyName ? CString(row.friendlyName.c_str()) : CString();
        found.Trim();
        if (found.IsEmpty())
            found = NameFromInterfacePath(row.path);
        if (!found.IsEmpty()) {
            *name = found;
            return true;
        }
    }
    return false;
}

bool GetDiskNameOfDrive(wchar_t letter, CString* name)
{
    wchar_t volume[] = {L'\\', L'\\', L'.', L'\\', letter, L':', 0};
    DWORD type = 0, number = 0;
    return devices::GetStorageDeviceNumber(volume, &type, &number) && GetDiskName(type, number, name);
}

CString GetPlayerDiskName(const CString& deviceName, int* count)
{
    *count = 0;
    const wchar_t letter = GetDriveLetterFromName(deviceName);
    CString name;
    if (letter >= L'B' && letter <= L'Z' && GetDiskNameOfDrive(letter, &name)) {
        *count = 1;
        return name;
    }
    const wchar_t* className = letter ? L"DiskDrive" : L"USB";
    const wchar_t* enumerator = letter ? L"USBSTOR" : L"USB";
    GUID setupClass{};
    const bool hasClass = devices::ClassOfName(className, &setupClass);
    for (const devices::DeviceRow& row : devices::ListDevices(enumerator)) {
        if (hasClass && !IsEqualGUID(row.setupClass, setupClass))
            continue;
        ++*count;
        name = row.hasFriendlyName ? CString(row.friendlyName.c_str()) : CString();
    }
    return name;
}

wchar_t GetDriveLetterFromName(const CString& name)
{
    const int paren = name.Find(L'(');
    if (paren >= 0)
        return paren + 2 < name.GetLength() && name[paren + 2] == L':' ? name[paren + 1] : 0;
    const int colon = name.Find(L':');
    if (name.GetLength() >= 2 && colon >= 1)
        return name[colon - 1];
    return 0;
}

bool IsIPodDrive(wchar_t letter)
{
    letter = static_cast<wchar_t>(towupper(letter));
    if (letter < L'A' || letter > L'Z')
        return false;
    CString path;
    for (const wchar_t* format : {L"%c:/iPod_Control/iTunes/iTunesDB", L"%c:/iTunes/iTunes_Control/iTunes/iTunesDB"}) {
        path.Format(format, letter);
        if (FileExists(path))
            return true;
    }
    path.Format(L"%c:/iPod_Control/iTunes", letter);
    return FolderExists(path) != FALSE;
}

const std::vector<UsbDeviceEntry>& UsbDeviceTable()
{
    if (!UsbTable()) {
        auto* table = new std::vector<UsbDeviceEntry>;
        for (const devices::InterfaceRow& row : devices::ListInterfaces(devices::kUsbDeviceInterfaces)) {
            UsbDeviceEntry entry;
            entry.description = row.hasDescription ? CString(row.description.c_str()) : CString();
            entry.description.Trim();
            entry.path = UsbTablePath(row.path);
            if (!entry.description.IsEmpty() || !entry.path.IsEmpty())
                table->push_back(entry);
        }
        UsbTable() = table;
    }
    return *UsbTable();
}

void FreeUsbDeviceTable()
{
    delete UsbTable();
    UsbTable() = nullptr;
}

int CountUsbDevices(const CString& fragment, AppleUsbScan* scan)
{
    if (fragment.IsEmpty())
        return 0;
    const std::vector<UsbDeviceEntry>& table = UsbDeviceTable();
    scan->shuffleFound = FALSE;
    scan->appleUsbPath.Empty();
    CString shuffle, shuffle2;
    shuffle.LoadString(IDS_APPLE_SHUFFLE_USB);
    shuffle2.LoadString(IDS_APPLE_SHUFFLE_USB_2);
    int count = 0;
    for (const UsbDeviceEntry& entry : table) {
        if (entry.path.Find(fragment) < 0)
            continue;
        ++count;
        if (!scan->shuffleFound && (entry.path.Find(shuffle) >= 0 || entry.path.Find(shuffle2) >= 0)) {
            scan->shuffleFound = TRUE;
            scan->appleUsbPath = entry.path;
        }
    }
    return count;
}

int CountAppleUsbDevices(AppleUsbScan* scan)
{
    CString prefix;
    prefix.LoadString(IDS_APPLE_USB_PREFIX);
    return CountUsbDevices(prefix, scan);
}

bool IsDriveOnUsbDevice(wchar_t letter, const CString& usbPath)
{
    letter = static_cast<wchar_t>(towupper(letter));
    const int hash = usbPath.ReverseFind(L'#');
    if (letter < L'A' || letter > L'Z' || hash < 0)
        return false;
    CString id = usbPath.Mid(hash + 1);
    id.MakeLower();
    wchar_t volume[] = {L'\\', L'\\', L'.', L'\\', letter, L':', 0};
    DWORD type = 0, number = 0;
    if (!devices::GetStorageDeviceNumber(volume, &type, &number) || (type == 0 && number == 0))
        return false;
    for (const devices::InterfaceRow& row : devices::ListInterfaces(devices::kDiskInterfaces)) {
        DWORD rowType = 0, rowNumber = 0;
        if (!devices::GetStorageDeviceNumber(row.path, &rowType, &rowNumber) || rowType != type || rowNumber != number)
            continue;
        CString path(row.path.c_str());
        path.MakeLower();
        return path.Find(id) >= 0;
    }
    return false;
}

CString ReadFriendlyName(const CString& subKey, const CString& defaultName)
{
    CString name = defaultName;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return name;
    wchar_t text[512] = {};
    DWORD type = 0;
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (RegQueryValueExW(key, L"FriendlyName", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS &&
        type == REG_SZ && size > 0 && text[0])
        name = text;
    RegCloseKey(key);
    return name;
}

bool CreateDeviceManager(IWMDeviceManager** manager)
{
    *manager = nullptr;
    IComponentAuthenticate* created = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_MediaDevMgr, nullptr, CLSCTX_ALL, IID_IComponentAuthenticate,
                                  reinterpret_cast<void**>(&created));
    CString text;
    if (FAILED(hr)) {
        text.Format(IDS_DEVICE_MANAGER_CREATE_FAILED, static_cast<unsigned>(hr));
        AfxMessageBox(text, MB_ICONERROR);
        return false;
    }
    hr = created->QueryInterface(IID_IWMDeviceManager, reinterpret_cast<void**>(manager));
    created->Release();
    if (FAILED(hr)) {
        *manager = nullptr;
        text.Format(IDS_DEVICE_MANAGER_ACCESS_FAILED, static_cast<unsigned>(hr));
        AfxMessageBox(text, MB_ICONERROR);
        return false;
    }
    return true;
}

bool ReadDeviceProperties(IWMDMDevice* device, DeviceProperties* properties)
{
    *properties = DeviceProperties();
    IWMDMDevice3* device3 = nullptr;
    HRESULT hr = device->QueryInterface(IID_IWMDMDevice3, reinterpret_cast<void**>(&device3));
    if (hr == E_NOINTERFACE)
        return false;
    if (FAILED(hr) || !device3)
        return true;
    PROPVARIANT value;
    PropVariantInit(&value);
    if (SUCCEEDED(device3->GetProperty(wmdm::kDeviceProtocol, &value)) && value.vt == VT_CLSID && value.puuid) {
        properties->protocolFlag = IsEqualGUID(*value.puuid, WMDM_DEVICE_PROTOCOL_MTP) ? 1 : 0;
        properties->isRapi = IsEqualGUID(*value.puuid, WMDM_DEVICE_PROTOCOL_RAPI) != FALSE;
    }
    PropVariantClear(&value);
    if (SUCCEEDED(device3->GetProperty(wmdm::kDeviceFriendlyName, &value)) && value.vt == VT_BSTR && value.bstrVal)
        properties->friendlyName = value.bstrVal;
    PropVariantClear(&value);
    hr = device3->GetProperty(wmdm::kDeviceModelName, &value);
    if (SUCCEEDED(hr) && value.vt == VT_BSTR && value.bstrVal)
        properties->modelName = value.bstrVal;
    PropVariantClear(&value);
    device3->Release();
    properties->friendlyName.Trim();
    properties->modelName.Trim();
    return hr != E_NOINTERFACE;
}
