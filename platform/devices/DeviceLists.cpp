#include "DeviceLists.h"

#include "CString.h"
#include "FixtureFiles.h"

#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>
#include <winioctl.h>

namespace devices {

namespace {

struct FixtureRow {
    GUID interfaceClass{};
    InterfaceRow row;
    bool hasNumber = false;
    DWORD deviceType = 0;
    DWORD deviceNumber = 0;
    std::wstring setupClass;
    std::wstring enumerator;
};

std::vector<FixtureRow> ReadFixture()
{
    std::vector<FixtureRow> rows;
    const standin::FixtureFile fixture(L"VESPERLIN_DEVICE_LISTS");
    if (!fixture.Exists())
        return rows;
    for (const std::wstring& section : fixture.Sections(L"Interfaces", L"Interface", 512)) {
        FixtureRow row;
        const CString kind = fixture.Text(section, L"Class").c_str();
        if (kind.CompareNoCase(L"Disk") == 0)
            row.interfaceClass = kDiskInterfaces;
        else if (kind.CompareNoCase(L"USB") == 0)
            row.interfaceClass = kUsbDeviceInterfaces;
        else if (FAILED(CLSIDFromString(kind, &row.interfaceClass)))
            continue;
        row.row.path = fixture.Text(section, L"Path");
        row.row.hasFriendlyName = fixture.Has(section, L"FriendlyName");
        row.row.friendlyName = fixture.Text(section, L"FriendlyName");
        row.row.hasDescription = fixture.Has(section, L"Description");
        row.row.description = fixture.Text(section, L"Description");
        row.hasNumber = fixture.Has(section, L"DeviceNumber");
        row.deviceType = static_cast<DWORD>(fixture.Number(section, L"DeviceType", FILE_DEVICE_DISK));
        row.deviceNumber = static_cast<DWORD>(fixture.Number(section, L"DeviceNumber", 0));
        row.setupClass = fixture.Text(section, L"SetupClass");
        row.enumerator = fixture.Text(section, L"Enumerator");
        rows.push_back(std::move(row));
    }
    return rows;
}

// A text property of a device; false when it has none.
bool ReadTextProperty(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property, std::wstring* text)
{
    std::vector<BYTE> buffer(512);
    DWORD type = 0;
    DWORD required = 0;
    while (!SetupDiGetDeviceRegistryPropertyW(set, device, property, &type, buffer.data(),
                                              static_cast<DWORD>(buffer.size()), &required)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || required <= buffer.size())
            return false;
        buffer.resize(required);
    }
    if (type != REG_SZ && type != REG_MULTI_SZ)
        return false;
    const wchar_t* chars = reinterpret_cast<const wchar_t*>(buffer.data());
    *text = std::wstring(chars, wcsnlen(chars, buffer.size() / sizeof(wchar_t)));
    CString trimmed(text->c_str());
    trimmed.Trim();
    *text = trimmed.str();
    return true;
}

}  // namespace

std::vector<InterfaceRow> ListInterfaces(const GUID& interfaceClass)
{
    std::vector<InterfaceRow> rows;
    HDEVINFO set = SetupDiGetClassDevsW(&interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set != INVALID_HANDLE_VALUE) {
        SP_DEVICE_INTERFACE_DATA item{};
        item.cbSize = sizeof(item);
        for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, index, &item); ++index) {
            DWORD required = 0;
            SetupDiGetDeviceInterfaceDetailW(set, &item, nullptr, 0, &required, nullptr);
            if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
                continue;
            std::vector<BYTE> buffer(required);
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
            SP_DEVINFO_DATA device{};
            device.cbSize = sizeof(device);
            if (!SetupDiGetDeviceInterfaceDetailW(set, &item, detail, required, nullptr, &device))
                continue;
            InterfaceRow row;
            const size_t chars = (required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(wchar_t);
            row.path.assign(detail->DevicePath, wcsnlen(detail->DevicePath, chars));
            row.hasFriendlyName = ReadTextProperty(set, &device, SPDRP_FRIENDLYNAME, &row.friendlyName);
            row.hasDescription = ReadTextProperty(set, &device, SPDRP_DEVICEDESC, &row.description);
            rows.push_back(std::move(row));
        }
        SetupDiDestroyDeviceInfoList(set);
    }
    for (FixtureRow& fixture : ReadFixture()) {
        if (IsEqualGUID(fixture.interfaceClass, interfaceClass))
            rows.push_back(std::move(fixture.row));
    }
    return rows;
}

bool ClassOfName(const wchar_t* className, GUID* setupClass)
{
    DWORD count = 0;
    if (!className)
        return false;
    if (SetupDiClassGuidsFromNameW(className, setupClass, 1, &count) && count > 0)
        return true;
    // The system may not have the classes the device search asks for installed (Wine has no USB class).
    if (_wcsicmp(className, L"DiskDrive") == 0) {
        *setupClass = GUID_DEVCLASS_DISKDRIVE;
        return true;
    }
    if (_wcsicmp(className, L"USB") == 0) {
        *setupClass = GUID_DEVCLASS_USB;
        return true;
    }
    return false;
}

std::vector<DeviceRow> ListDevices(const wchar_t* enumerator)
{
    std::vector<DeviceRow> rows;
    HDEVINFO set = SetupDiGetClassDevsW(nullptr, enumerator, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set != INVALID_HANDLE_VALUE) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof(device);
        for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
            DeviceRow row;
            row.setupClass = device.ClassGuid;
            row.hasFriendlyName = ReadTextProperty(set, &device, SPDRP_FRIENDLYNAME, &row.friendlyName);
            rows.push_back(std::move(row));
        }
        SetupDiDestroyDeviceInfoList(set);
    }
    for (const FixtureRow& fixture : ReadFixture()) {
        if (!enumerator || _wcsicmp(fixture.enumerator.c_str(), enumerator) != 0)
            continue;
        DeviceRow row;
        ClassOfName(fixture.setupClass.c_str(), &row.setupClass);
        row.hasFriendlyName = fixture.row.hasFriendlyName;
        row.friendlyName = fixture.row.friendlyName;
        rows.push_back(std::move(row));
    }
    return rows;
}

bool GetStorageDeviceNumber(const std::wstring& path, DWORD* deviceType, DWORD* deviceNumber)
{
    for (const FixtureRow& fixture : ReadFixture()) {
        if (fixture.hasNumber && _wcsicmp(fixture.row.path.c_str(), path.c_str()) == 0) {
            *deviceType = fixture.deviceType;
            *deviceNumber = fixture.deviceNumber;
            return true;
        }
    }
    HANDLE device = CreateFileW(path.c_str(), 0, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return false;
    STORAGE_DEVICE_NUMBER number{};
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(device, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof(number),
                                    &returned, nullptr);
    CloseHandle(device);
    if (!ok)
        return false;
    *deviceType = number.DeviceType;
    *deviceNumber = number.DeviceNumber;
    return true;
}

}  // namespace devices
