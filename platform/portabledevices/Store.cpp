#include "Store.h"

#include "FileNames.h"

#include "CString.h"
#include "ComHolders.h"
#include "FixtureFiles.h"
#include "Values.h"

#include <algorithm>
#include <cwchar>
#include <map>
#include <thread>

namespace wpdstandin {

namespace {

using standin::PathExists;

bool EndsWith(const std::wstring& text, const wchar_t* suffix)
{
    const size_t length = std::wcslen(suffix);
    return text.size() >= length && CString(text.substr(text.size() - length)).CompareNoCase(suffix) == 0;
}

constexpr const wchar_t* kSideSuffixes[] = {L".props", L".albumart.jpg", L".partial", L".albumart.partial"};

bool IsSideFile(const std::wstring& name)
{
    for (const wchar_t* suffix : kSideSuffixes) {
        if (EndsWith(name, suffix))
            return true;
    }
    return false;
}

// How the property file spells a key and its value.
enum class Type { Text, U32, U64, Bool, Guid };
struct KnownKey {
    PROPERTYKEY key;
    const char* name;
    Type type;
};
constexpr KnownKey kKnownKeys[] = {
    {wpd::OBJECT_NAME, "Name", Type::Text},
    {wpd::OBJECT_ORIGINAL_FILE_NAME, "OriginalFileName", Type::Text},
    {wpd::OBJECT_CONTENT_TYPE, "ContentType", Type::Guid},
    {wpd::OBJECT_FORMAT, "Format", Type::Guid},
    {wpd::OBJECT_SIZE, "Size", Type::U64},
    {wpd::OBJECT_ISHIDDEN, "Hidden", Type::Bool},
    {wpd::OBJECT_ISSYSTEM, "System", Type::Bool},
    {wpd::OBJECT_CAN_DELETE, "CanDelete", Type::Bool},
    {wpd::MEDIA_GENRE, "Genre", Type::U32},
    {wpd::MEDIA_SUB_TITLE, "SubTitle", Type::Text},
    {wpd::MEDIA_TITLE, "Title", Type::Text},
    {wpd::MEDIA_DURATION, "Duration", Type::U64},
    {wpd::MEDIA_ARTIST, "Artist", Type::Text},
    {wpd::MEDIA_ALBUM_ARTIST, "AlbumArtist", Type::Text},
    {wpd::MUSIC_ALBUM, "Album", Type::Text},
    {wpd::MUSIC_TRACK, "Track", Type::U32},
    {wpd::MTP_DATE_AUTHORED, "DateAuthored", Type::Text},
    {wpd::MTP_DA9A, "MtpDA9A", Type::Text},
    {wpd::STORAGE_CAPACITY, "Capacity", Type::U64},
    {wpd::STORAGE_FREE_SPACE_IN_BYTES, "FreeSpace", Type::U64},
    {wpd::RESOURCE_FORMAT, "AlbumArtFormat", Type::Guid},
};

struct NamedGuid {
    GUID guid;
    const wchar_t* name;
};
const NamedGuid kNamedGuids[] = {
    {wpd::CONTENT_TYPE_FOLDER, L"Folder"},
    {wpd::CONTENT_TYPE_AUDIO, L"Audio"},
    {wpd::CONTENT_TYPE_IMAGE, L"Image"},
    {wpd::CONTENT_TYPE_PLAYLIST, L"Playlist"},
    {wpd::CONTENT_TYPE_FUNCTIONAL_OBJECT, L"Storage"},
    {wpd::CONTENT_TYPE_UNSPECIFIED, L"Unspecified"},
};

std::wstring GuidToText(const GUID& guid)
{
    for (const NamedGuid& named : kNamedGuids) {
        if (IsEqualGUID(named.guid, guid))
            return named.name;
    }
    // A format: its MTP code.
    GUID base = guid;
    base.Data1 &= 0xFFFF;
    if (IsEqualGUID(base, wpd::Format(0)) && (guid.Data1 & 0xFFFF) == 0) {
        wchar_t text[16];
        swprintf(text, 16, L"0x%04X", static_cast<unsigned>(guid.Data1 >> 16));
        return text;
    }
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

bool TextToGuid(const std::wstring& text, GUID* guid)
{
    for (const NamedGuid& named : kNamedGuids) {
        if (CString(text.c_str()).CompareNoCase(named.name) == 0) {
            *guid = named.guid;
            return true;
        }
    }
    if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        *guid = wpd::Format(static_cast<unsigned short>(std::wcstoul(text.c_str(), nullptr, 16)));
        return true;
    }
    return SUCCEEDED(CLSIDFromString(text.c_str(), guid));
}

const KnownKey* FindKnown(const PROPERTYKEY& key)
{
    for (const KnownKey& known : kKnownKeys) {
        if (wpd::SameKey(known.key, key))
            return &known;
    }
    return nullptr;
}

const KnownKey* FindKnown(const std::string& name)
{
    for (const KnownKey& known : kKnownKeys) {
        if (name == known.name)
            return &known;
    }
    return nullptr;
}

// The property file's value text of a value, or false when the value is not of the key's type.
bool FormatValue(const KnownKey& known, const PROPVARIANT& value, std::wstring* text)
{
    wchar_t number[32];
    switch (known.type) {
    case Type::Text:
        if (value.vt != VT_LPWSTR)
            return false;
        *text = value.pwszVal ? value.pwszVal : L"";
        // One line per property: line breaks are kept as blanks.
        std::replace(text->begin(), text->end(), L'\r', L' ');
        std::replace(text->begin(), text->end(), L'\n', L' ');
        return true;
    case Type::U32:
        if (value.vt != VT_UI4)
            return false;
        swprintf(number, 32, L"%lu", value.ulVal);
        *text = number;
        return true;
    case Type::U64:
        if (value.vt != VT_UI8)
            return false;
        swprintf(number, 32, L"%llu", static_cast<unsigned long long>(value.uhVal.QuadPart));
        *text = number;
        return true;
    case Type::Bool:
        if (value.vt != VT_BOOL)
            return false;
        *text = value.boolVal ? L"1" : L"0";
        return true;
    case Type::Guid:
        if (value.vt != VT_CLSID || !value.puuid)
            return false;
        *text = GuidToText(*value.puuid);
        return true;
    }
    return false;
}

HRESULT StoreValue(IPortableDeviceValues* into, const KnownKey& known, const std::wstring& text)
{
    switch (known.type) {
    case Type::Text:
        return into->SetStringValue(known.key, text.c_str());
    case Type::U32:
        return into->SetUnsignedIntegerValue(known.key, std::wcstoul(text.c_str(), nullptr, 0));
    case Type::U64:
        return into->SetUnsignedLargeIntegerValue(known.key, std::wcstoull(text.c_str(), nullptr, 0));
    case Type::Bool:
        return into->SetBoolValue(known.key, text == L"1" || CString(text.c_str()).CompareNoCase(L"true") == 0);
    case Type::Guid: {
        GUID guid{};
        return TextToGuid(text, &guid) ? into->SetGuidValue(known.key, guid) : E_INVALIDARG;
    }
    }
    return E_INVALIDARG;
}

// Content type and format of a file by its extension.
void TypeOfFile(const std::wstring& name, GUID* contentType, GUID* format)
{
    const size_t dot = name.rfind(L'.');
    const CString extension(dot == std::wstring::npos ? L"" : name.substr(dot).c_str());
    *contentType = wpd::CONTENT_TYPE_UNSPECIFIED;
    *format = wpd::Format(0x3000);
    if (extension.CompareNoCase(L".mp3") == 0) {
        *contentType = wpd::CONTENT_TYPE_AUDIO;
        *format = wpd::FORMAT_MP3;
    } else if (extension.CompareNoCase(L".wma") == 0) {
        *contentType = wpd::CONTENT_TYPE_AUDIO;
        *format = wpd::FORMAT_WMA;
    } else if (extension.CompareNoCase(L".wav") == 0) {
        *contentType = wpd::CONTENT_TYPE_AUDIO;
        *format = wpd::Format(0x3008);
    } else if (extension.CompareNoCase(L".jpg") == 0 || extension.CompareNoCase(L".jpeg") == 0) {
        *contentType = wpd::CONTENT_TYPE_IMAGE;
        *format = wpd::FORMAT_EXIF;
    } else if (extension.CompareNoCase(L".wpl") == 0 || extension.CompareNoCase(L".zpl") == 0) {
        *contentType = wpd::CONTENT_TYPE_PLAYLIST;
        *format = wpd::Format(0xBA10);
    }
}

std::wstring NameOf(const std::wstring& id)
{
    const size_t slash = id.rfind(L'\\');
    return slash == std::wstring::npos ? id : id.substr(slash + 1);
}

std::wstring PropertyFileOf(const DeviceDescription& device, const std::wstring& id)
{
    return PathOf(device, id) + L".props";
}

}  // namespace

std::vector<DeviceDescription> ReadFixture()
{
    std::vector<DeviceDescription> devices;
    const standin::FixtureFile fixture(L"VESPERLIN_PORTABLE_DEVICES");
    if (!fixture.Exists())
        return devices;
    const std::vector<std::wstring> sections = fixture.Sections(L"Devices", L"Device", 64);
    for (size_t i = 1; i <= sections.size(); ++i) {
        const std::wstring& section = sections[i - 1];
        DeviceDescription device;
        device.id = fixture.Text(section, L"Id", (L"\\\\?\\usb#vid_045e&pid_0710#standin" + std::to_wstring(i)).c_str());
        device.friendlyName = fixture.Text(section, L"FriendlyName");
        device.hasFirmware = fixture.Has(section, L"Firmware");
        device.firmware = fixture.Text(section, L"Firmware");
        device.hasHoldingClient = fixture.Has(section, L"HoldingClient");
        device.holdingClient = fixture.Text(section, L"HoldingClient");
        device.folder = fixture.Folder(section, L"Folder", section.c_str());
        device.optimalBufferSize = static_cast<DWORD>(fixture.Number(section, L"OptimalBufferSize", 256 * 1024));
        device.busyOpens = static_cast<unsigned>(fixture.Number(section, L"BusyOpens", 0));
        device.busyTransfers = static_cast<unsigned>(fixture.Number(section, L"BusyTransfers", 0));
        device.removeAfterBytes = fixture.Number(section, L"RemoveAfterBytes", 0);
        device.shortWriteAt = fixture.Number(section, L"ShortWriteAt", 0);
        device.refuseExifArt = fixture.Number(section, L"RefuseExifArt", 0) != 0;
        device.refuseAlbumArt = fixture.Number(section, L"RefuseAlbumArt", 0) != 0;
        device.refuseFolders = fixture.Number(section, L"RefuseFolders", 0) != 0;
        devices.push_back(std::move(device));
    }
    return devices;
}

std::mutex& StateLock()
{
    static std::mutex lock;
    return lock;
}

DeviceState& StateOf(const DeviceDescription& device)
{
    // By folder: a test that makes a new fixture gets a new device.
    static std::map<std::wstring, std::unique_ptr<DeviceState>> states;
    std::wstring key = CString(device.folder.c_str()).MakeLower().str() + L"|" + device.id;
    std::unique_ptr<DeviceState>& state = states[key];
    if (!state)
        state = std::make_unique<DeviceState>();
    return *state;
}

void LogEvent(const DeviceDescription& device, const std::wstring& line)
{
    standin::AppendLine(device.folder + L"\\events.log", line);
}

void RemoveDevice(const DeviceDescription& device)
{
    std::vector<IPortableDeviceEventCallback*> callbacks;
    {
        std::lock_guard<std::mutex> hold(StateLock());
        DeviceState& state = StateOf(device);
        if (state.removed)
            return;
        state.removed = true;
        for (const DeviceState::Sink& sink : state.sinks) {
            sink.callback->AddRef();
            callbacks.push_back(sink.callback);
        }
    }
    unsigned delivered = 0;
    std::thread notifier([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        for (IPortableDeviceEventCallback* callback : callbacks) {
            com::ComPtr<IPortableDeviceValues> parameters;
            if (SUCCEEDED(com::Object<CValues>::Create(IID_IPortableDeviceValues, parameters.PutVoid()))) {
                parameters->SetStringValue(wpd::EVENT_PARAMETER_PNP_DEVICE_ID, device.id.c_str());
                parameters->SetGuidValue(wpd::EVENT_PARAMETER_EVENT_ID, wpd::EVENT_DEVICE_REMOVED);
                if (SUCCEEDED(callback->OnEvent(parameters.Get())))
                    ++delivered;
            }
            callback->Release();
        }
        CoUninitialize();
    });
    notifier.join();
    LogEvent(device, L"removed; event delivered to " + std::to_wstring(delivered) + L" of " +
                         std::to_wstring(callbacks.size()) + L" sink(s)");
}

ObjectKind KindOf(const DeviceDescription& device, const std::wstring& id)
{
    if (id == wpd::kDeviceObjectId)
        return ObjectKind::Device;
    if (id.empty() || id.front() == L'\\' || id.back() == L'\\')
        return ObjectKind::None;
    // Every step of the id names an entry exactly as it is stored: the file system would also
    // take "s10001\\ ", "s10001\\." or "S10001" for the storage, and the device has no such ids.
    std::wstring path = device.folder;
    bool directory = true;
    size_t start = 0;
    while (start <= id.size()) {
        size_t end = id.find(L'\\', start);
        if (end == std::wstring::npos)
            end = id.size();
        const std::wstring part = id.substr(start, end - start);
        if (!directory || !IsValidName(part) || SafeFileNameComponent(part.c_str()) != part.c_str())
            return ObjectKind::None;
        path += L"\\" + part;
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW(path.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return ObjectKind::None;
        FindClose(search);
        if (part != found.cFileName)
            return ObjectKind::None;
        directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        start = end + 1;
    }
    if (id.find(L'\\') == std::wstring::npos)
        return directory ? ObjectKind::Storage : ObjectKind::None;
    return directory ? ObjectKind::Folder : ObjectKind::File;
}

std::wstring PathOf(const DeviceDescription& device, const std::wstring& id)
{
    return id == wpd::kDeviceObjectId ? device.folder : device.folder + L"\\" + id;
}

std::wstring ParentOf(const std::wstring& id)
{
    if (id == wpd::kDeviceObjectId)
        return L"";
    const size_t slash = id.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring(wpd::kDeviceObjectId) : id.substr(0, slash);
}

std::wstring ChildId(const std::wstring& parent, const std::wstring& name)
{
    return parent == wpd::kDeviceObjectId ? name : parent + L"\\" + name;
}

std::vector<std::wstring> ChildrenOf(const DeviceDescription& device, const std::wstring& id)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((PathOf(device, id) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        const bool directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (name == L"." || name == L".." || IsSideFile(name))
            continue;
        if (id == wpd::kDeviceObjectId && !directory)
            continue;  // only storages sit at the root
        names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    for (std::wstring& name : names)
        name = ChildId(id, name);
    return names;
}

bool IsValidName(const std::wstring& name)
{
    return !name.empty() && name != L"." && name != L".." && name.size() < 200 &&
           name.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos && !IsSideFile(name) &&
           name.back() != L'.' && name.back() != L' ';
}

std::wstring UniqueName(const DeviceDescription& device, const std::wstring& parent, const std::wstring& name)
{
    const auto taken = [&](const std::wstring& candidate) {
        return PathExists(PathOf(device, ChildId(parent, candidate))) ||
               PathExists(PathOf(device, ChildId(parent, candidate)) + L".partial");
    };
    const std::wstring stored = SafeFileNameComponent(name.c_str()).GetString();
    if (!taken(stored))
        return stored;
    const size_t dot = stored.rfind(L'.');
    const std::wstring stem = dot == std::wstring::npos || dot == 0 ? stored : stored.substr(0, dot);
    const std::wstring extension = dot == std::wstring::npos || dot == 0 ? L"" : stored.substr(dot);
    for (int n = 2; n <= kMaxNameNumber; ++n) {
        const std::wstring candidate = stem + L" (" + std::to_wstring(n) + L")" + extension;
        if (!taken(candidate))
            return candidate;
    }
    return std::wstring();
}

HRESULT ReadProperties(const DeviceDescription& device, const std::wstring& id, IPortableDeviceValues* into)
{
    const ObjectKind kind = KindOf(device, id);
    if (kind == ObjectKind::None)
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    into->SetStringValue(wpd::OBJECT_ID, id.c_str());
    into->SetStringValue(wpd::OBJECT_PARENT_ID, ParentOf(id).c_str());
    const std::wstring name = NameOf(id);
    switch (kind) {
    case ObjectKind::Device:
        into->SetStringValue(wpd::OBJECT_NAME, device.friendlyName.c_str());
        into->SetGuidValue(wpd::OBJECT_CONTENT_TYPE, wpd::CONTENT_TYPE_FUNCTIONAL_OBJECT);
        if (device.hasFirmware)
            into->SetStringValue(wpd::DEVICE_FIRMWARE_VERSION, device.firmware.c_str());
        return S_OK;  // the device's properties are the fixture's
    case ObjectKind::Storage:
        into->SetStringValue(wpd::OBJECT_NAME, name.c_str());
        into->SetGuidValue(wpd::OBJECT_CONTENT_TYPE, wpd::CONTENT_TYPE_FUNCTIONAL_OBJECT);
        break;
    case ObjectKind::Folder:
        into->SetStringValue(wpd::OBJECT_NAME, name.c_str());
        into->SetStringValue(wpd::OBJECT_ORIGINAL_FILE_NAME, name.c_str());
        into->SetGuidValue(wpd::OBJECT_CONTENT_TYPE, wpd::CONTENT_TYPE_FOLDER);
        into->SetGuidValue(wpd::OBJECT_FORMAT, wpd::FORMAT_PROPERTIES_ONLY);
        break;
    case ObjectKind::File: {
        const size_t dot = name.rfind(L'.');
        into->SetStringValue(wpd::OBJECT_NAME, (dot == std::wstring::npos ? name : name.substr(0, dot)).c_str());
        into->SetStringValue(wpd::OBJECT_ORIGINAL_FILE_NAME, name.c_str());
        GUID contentType, format;
        TypeOfFile(name, &contentType, &format);
        into->SetGuidValue(wpd::OBJECT_CONTENT_TYPE, contentType);
        into->SetGuidValue(wpd::OBJECT_FORMAT, format);
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExW(PathOf(device, id).c_str(), GetFileExInfoStandard, &data))
            into->SetUnsignedLargeIntegerValue(
                wpd::OBJECT_SIZE, (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
        break;
    }
    case ObjectKind::None:
        break;
    }
    for (const auto& [keyName, text] : standin::ReadPropertyFile(PropertyFileOf(device, id))) {
        if (const KnownKey* known = FindKnown(keyName))
            StoreValue(into, *known, text);
    }
    return S_OK;
}

HRESULT WriteProperties(const DeviceDescription& device, const std::wstring& id, IPortableDeviceValues* values)
{
    const std::wstring path = PropertyFileOf(device, id);
    std::vector<std::pair<std::string, std::wstring>> lines = standin::ReadPropertyFile(path);
    DWORD count = 0;
    values->GetCount(&count);
    for (DWORD i = 0; i < count; ++i) {
        PROPERTYKEY key;
        PROPVARIANT value;
        PropVariantInit(&value);
        if (FAILED(values->GetAt(i, &key, &value)))
            continue;
        const KnownKey* known = FindKnown(key);
        std::wstring text;
        if (known && FormatValue(*known, value, &text)) {
            auto line = std::find_if(lines.begin(), lines.end(), [&](const auto& l) { return l.first == known->name; });
            if (line == lines.end())
                lines.emplace_back(known->name, text);
            else
                line->second = text;
        }
        PropVariantClear(&value);
    }
    std::string text;
    for (const auto& [name, value] : lines)
        text += name + "=" + CString(value.c_str()).ToNarrow(CP_UTF8) + "\r\n";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return HRESULT_FROM_WIN32(GetLastError());
    DWORD written = 0;
    const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size() ? S_OK : E_FAIL;
}

}  // namespace wpdstandin
