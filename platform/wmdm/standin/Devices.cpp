#include "Devices.h"

#include "CString.h"
#include "Wmdm.h"

#include <cwchar>
#include <map>

namespace wmdmstandin {

namespace {

std::vector<DWORD> ParseNumbers(const std::wstring& text)
{
    std::vector<DWORD> numbers;
    const wchar_t* p = text.c_str();
    while (*p) {
        wchar_t* end = nullptr;
        const unsigned long value = std::wcstoul(p, &end, 0);
        if (end == p) {
            ++p;
            continue;
        }
        numbers.push_back(static_cast<DWORD>(value));
        p = end;
    }
    return numbers;
}

std::vector<BYTE> ParseHexBytes(const std::wstring& text)
{
    std::vector<BYTE> bytes;
    for (size_t i = 0; i + 1 < text.size() && bytes.size() < 128; i += 2) {
        const wchar_t pair[3] = {text[i], text[i + 1], 0};
        bytes.push_back(static_cast<BYTE>(std::wcstoul(pair, nullptr, 16)));
    }
    return bytes;
}

std::mutex& StateLock()
{
    static std::mutex lock;
    return lock;
}

// Where each device's status script has got to, by fixture and section.
size_t& StatusIndexOf(const DeviceDescription& device)
{
    static std::map<std::wstring, size_t> indexes;
    return indexes[device.fixture + L"|" + device.section];
}

}  // namespace

HRESULT ReadFixture(std::vector<DeviceDescription>* devices)
{
    devices->clear();
    const standin::FixtureFile fixture(L"VESPERLIN_WMDM_DEVICES");
    std::vector<std::wstring> sections;
    const HRESULT hr = fixture.Listing(L"Devices", L"EnumDevices", L"Device", 256, &sections);
    if (FAILED(hr))
        return hr;
    for (const std::wstring& listed : sections) {
        DeviceDescription device;
        device.fixture = fixture.Path();
        device.section = listed;
        const std::wstring& section = device.section;
        device.name = fixture.Text(section, L"Name", section.c_str()).substr(0, wmdm::kDeviceNameChars - 1);
        device.hasManufacturer = fixture.Has(section, L"Manufacturer");
        device.manufacturer = fixture.Text(section, L"Manufacturer");
        device.statusScript = ParseNumbers(fixture.Text(section, L"Status", L"1"));
        if (device.statusScript.empty())
            device.statusScript.push_back(wmdm::kStatusReady);
        device.type = static_cast<DWORD>(fixture.Number(section, L"Type", wmdm::kTypeStorage | wmdm::kTypeNonSdmi));
        if ((device.hasSerial = fixture.Has(section, L"Serial"))) {
            const std::wstring serial = fixture.Text(section, L"Serial");
            const size_t colon = serial.find(L':');
            device.serialVendor = static_cast<DWORD>(std::wcstoul(serial.c_str(), nullptr, 0));
            device.serial = ParseHexBytes(colon == std::wstring::npos ? L"" : serial.substr(colon + 1));
        }
        device.offersDevice3 = fixture.Number(section, L"Device3", 1) != 0;
        if ((device.hasProtocol = fixture.Has(section, L"Protocol"))) {
            const CString protocol = fixture.Text(section, L"Protocol").c_str();
            if (protocol.CompareNoCase(L"MTP") == 0)
                device.protocol = WMDM_DEVICE_PROTOCOL_MTP;
            else if (protocol.CompareNoCase(L"RAPI") == 0)
                device.protocol = WMDM_DEVICE_PROTOCOL_RAPI;
            else if (FAILED(CLSIDFromString(protocol, &device.protocol)))
                device.hasProtocol = false;
        }
        device.hasFriendlyName = fixture.Has(section, L"FriendlyName");
        device.friendlyName = fixture.Text(section, L"FriendlyName");
        device.hasModelName = fixture.Has(section, L"ModelName");
        device.modelName = fixture.Text(section, L"ModelName");
        device.formats = ParseNumbers(fixture.Text(section, L"Formats"));
        device.formatsAsNumber = fixture.Number(section, L"FormatsAsNumber", 0) != 0;
        device.chunkBytes = static_cast<DWORD>(fixture.Number(section, L"ChunkBytes", 4 * 1024 * 1024));
        if (device.chunkBytes == 0)
            device.chunkBytes = 4 * 1024 * 1024;
        const unsigned storages = static_cast<unsigned>(fixture.Number(section, L"Storages", 1));
        for (unsigned s = 1; s <= storages && s <= 16; ++s) {
            const std::wstring storageSection = section + L".Storage" + std::to_wstring(s);
            StorageDescription storage;
            storage.name = fixture.Text(storageSection, L"Name", L"\\").substr(0, wmdm::kStorageNameChars - 1);
            storage.folder = fixture.Folder(storageSection, L"Folder", storageSection.c_str());
            storage.attributes = static_cast<DWORD>(fixture.Number(storageSection, L"Attributes", wmdm::kAttrFolder));
            storage.hasFree = fixture.Has(storageSection, L"Free");
            storage.free = fixture.Number(storageSection, L"Free", 0);
            storage.hasTotal = fixture.Has(storageSection, L"Total");
            storage.total = fixture.Number(storageSection, L"Total", 0);
            device.storages.push_back(std::move(storage));
        }
        device.eventLog = fixture.Beside(section + L".events.log");
        devices->push_back(std::move(device));
    }
    return S_OK;
}

HRESULT InjectedFailure(const DeviceDescription& device, const std::wstring& call)
{
    return standin::InjectedFailure(device.fixture, device.section, call);
}

bool StillAttached(const DeviceDescription& device)
{
    const standin::FixtureFile fixture(L"VESPERLIN_WMDM_DEVICES");
    if (!fixture.Exists() || _wcsicmp(fixture.Path().c_str(), device.fixture.c_str()) != 0)
        return false;
    for (const std::wstring& section : fixture.Sections(L"Devices", L"Device", 256)) {
        if (section == device.section)
            return fixture.Text(section, L"Name", section.c_str()).substr(0, wmdm::kDeviceNameChars - 1) == device.name;
    }
    return false;
}

DWORD NextStatus(const DeviceDescription& device)
{
    std::lock_guard<std::mutex> hold(StateLock());
    size_t& index = StatusIndexOf(device);
    const DWORD status = device.statusScript[index < device.statusScript.size() ? index : device.statusScript.size() - 1];
    ++index;
    return status;
}

void LogEvent(const DeviceDescription& device, const std::wstring& line)
{
    standin::AppendLine(device.eventLog, line);
}

}  // namespace wmdmstandin
