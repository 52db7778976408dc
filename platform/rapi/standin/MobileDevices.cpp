#include "MobileDevices.h"

#include "CString.h"
#include "FixtureFiles.h"

namespace rapistandin {

namespace {

std::vector<std::wstring> SplitList(const std::wstring& text)
{
    std::vector<std::wstring> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L',', start);
        if (end == std::wstring::npos)
            end = text.size();
        CString item(text.substr(start, end - start).c_str());
        item.Trim();
        if (!item.IsEmpty())
            items.push_back(item.str());
        start = end + 1;
    }
    return items;
}

// The raw lines of a section (values keep their quotes).
std::vector<RegistryValue> ReadRegistry(const std::wstring& fixture, const std::wstring& section)
{
    std::vector<RegistryValue> values;
    std::vector<wchar_t> buffer(32768);
    const DWORD length = GetPrivateProfileSectionW(section.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                                   fixture.c_str());
    for (const wchar_t* line = buffer.data(); line < buffer.data() + length && *line; line += wcslen(line) + 1) {
        const std::wstring text = line;
        const size_t equals = text.find(L'=');
        const size_t bar = text.find(L'|');
        if (equals == std::wstring::npos || bar == std::wstring::npos || bar > equals)
            continue;
        values.push_back({text.substr(0, bar), text.substr(bar + 1, equals - bar - 1), text.substr(equals + 1)});
    }
    return values;
}

}  // namespace

std::wstring MobileDevice::HostPath(const std::wstring& devicePath) const
{
    if (devicePath.empty() || devicePath[0] != L'\\' || devicePath.find_first_of(L"/:*?\"<>|") != std::wstring::npos)
        return L"";
    size_t start = 1;
    while (start < devicePath.size()) {
        size_t end = devicePath.find(L'\\', start);
        if (end == std::wstring::npos)
            end = devicePath.size();
        const std::wstring part = devicePath.substr(start, end - start);
        if (part == L"." || part == L"..")
            return L"";
        start = end + 1;
    }
    std::wstring path = folder + devicePath;
    while (path.size() > folder.size() && path.back() == L'\\')
        path.pop_back();
    return path;
}

bool MobileDevice::IsCard(const std::wstring& rootFolderName) const
{
    for (const std::wstring& card : cards) {
        if (_wcsicmp(card.c_str(), rootFolderName.c_str()) == 0)
            return true;
    }
    return false;
}

HRESULT ReadFixture(std::vector<MobileDevice>* devices)
{
    devices->clear();
    const standin::FixtureFile fixture(L"VESPERLIN_RAPI_DEVICES");
    std::vector<std::wstring> sections;
    const HRESULT hr = fixture.Listing(L"Devices", L"EnumDevices", L"Device", 64, &sections);
    if (FAILED(hr))
        return hr;
    for (size_t i = 1; i <= sections.size(); ++i) {
        MobileDevice device;
        device.fixture = fixture.Path();
        device.section = sections[i - 1];
        device.name = fixture.Text(device.section, L"Name", device.section.c_str());
        device.id = GUID{0x6E1A1C9A, 0x2B44, 0x4D8E, {0x9C, 0x51, 0x00, 0x00, 0x00, 0x00, 0x00, static_cast<BYTE>(i)}};
        const std::wstring guid = fixture.Text(device.section, L"Guid");
        if (!guid.empty())
            CLSIDFromString(guid.c_str(), &device.id);
        device.platform = fixture.Text(device.section, L"Platform", L"PocketPC");
        const std::wstring version = fixture.Text(device.section, L"OsVersion", L"5.2");
        device.osMajor = std::wcstoul(version.c_str(), nullptr, 10);
        const size_t dot = version.find(L'.');
        device.osMinor = dot == std::wstring::npos ? 0 : std::wcstoul(version.c_str() + dot + 1, nullptr, 10);
        device.folder = fixture.Folder(device.section, L"Folder", device.section.c_str());
        device.cards = SplitList(fixture.Text(device.section, L"Cards"));
        device.registry = ReadRegistry(fixture.Path(), device.section + L".Registry");
        device.eventLog = fixture.Beside(device.section + L".events.log");
        devices->push_back(std::move(device));
    }
    return S_OK;
}

HRESULT InjectedFailure(const MobileDevice& device, const wchar_t* call)
{
    return standin::InjectedFailure(device.fixture, device.section, call);
}

void LogEvent(const MobileDevice& device, const std::wstring& line)
{
    standin::AppendLine(device.eventLog, line);
}

}  // namespace rapistandin
