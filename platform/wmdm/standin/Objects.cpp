#include "Objects.h"

#include "CString.h"
#include "ComHolders.h"
#include "FixtureFiles.h"

#include <algorithm>
#include <cwchar>

namespace wmdmstandin {

namespace {

constexpr const wchar_t* kSideSuffixes[] = {L".props", L".refs", L".partial", L".bin"};

bool EndsWithNoCase(const std::wstring& text, const wchar_t* suffix)
{
    const size_t length = std::wcslen(suffix);
    return text.size() >= length && CString(text.substr(text.size() - length).c_str()).CompareNoCase(suffix) == 0;
}

bool IsSideFile(const std::wstring& name)
{
    for (const wchar_t* suffix : kSideSuffixes) {
        if (EndsWithNoCase(name, suffix))
            return true;
    }
    return false;
}

// The names in a folder that are storages (side files left out), sorted.
std::vector<std::wstring> NamesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L".." && !IsSideFile(name))
            names.push_back(name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end(),
              [](const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) < 0; });
    return names;
}

// The side files of an object: the property file, references, binary items and, when asked,
// the file being inserted in its place.
std::vector<std::wstring> SideFilesOf(const std::wstring& path, bool withPartial = true)
{
    std::vector<std::wstring> files;
    const size_t slash = path.rfind(L'\\');
    const std::wstring folder = path.substr(0, slash);
    const std::wstring name = path.substr(slash + 1);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((path + L".*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return files;
    do {
        const std::wstring file = found.cFileName;
        if (file.size() <= name.size() || _wcsnicmp(file.c_str(), name.c_str(), name.size()) != 0)
            continue;
        const CString rest = file.substr(name.size()).c_str();
        const bool binaryItem = EndsWithNoCase(rest.str(), L".bin") && rest.GetLength() > 5 &&
                                rest.Mid(1, rest.GetLength() - 5).Find(L'.') < 0;
        if (rest.CompareNoCase(L".props") == 0 || rest.CompareNoCase(L".refs") == 0 ||
            (withPartial && rest.CompareNoCase(L".partial") == 0) || binaryItem)
            files.push_back(folder + L"\\" + file);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return files;
}

void DeleteSideFiles(const std::wstring& path, bool withPartial = true)
{
    for (const std::wstring& file : SideFilesOf(path, withPartial)) {
        SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(file.c_str());
    }
}

bool HasReadOnly(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return true;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        for (const std::wstring& name : NamesIn(path)) {
            if (HasReadOnly(path + L"\\" + name))
                return true;
        }
    }
    return false;
}

bool DeleteTree(const std::wstring& path)
{
    bool folder = false;
    if (!standin::PathExists(path, &folder))
        return false;
    DeleteSideFiles(path);
    if (!folder)
        return DeleteFileW(path.c_str()) != FALSE;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(path + L"\\" + name);
            else
                DeleteFileW((path + L"\\" + name).c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    return RemoveDirectoryW(path.c_str()) != FALSE;
}

bool CopyTree(const std::wstring& from, const std::wstring& to)
{
    bool folder = false;
    if (!standin::PathExists(from, &folder))
        return false;
    if (!folder)
        return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
    if (!CreateDirectoryW(to.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    for (const std::wstring& name : NamesIn(from)) {
        if (!CopyTree(from + L"\\" + name, to + L"\\" + name))
            return false;
    }
    return true;
}

// How the property file spells the metadata the suite writes, and their types when read back.
struct KnownItem {
    const wchar_t* name;
    wmdm::TagType type;
};
constexpr KnownItem kKnownItems[] = {
    {wmdm::kTitle, wmdm::TagType::String},          {wmdm::kAuthor, wmdm::TagType::String},
    {wmdm::kAlbumTitle, wmdm::TagType::String},     {wmdm::kGenre, wmdm::TagType::String},
    {wmdm::kYear, wmdm::TagType::String},           {wmdm::kIsProtected, wmdm::TagType::Dword},
    {wmdm::kBitrate, wmdm::TagType::Dword},         {wmdm::kTrack, wmdm::TagType::Dword},
    {wmdm::kDuration, wmdm::TagType::Qword},        {wmdm::kFormatCode, wmdm::TagType::Dword},
    {wmdm::kAlbumCoverData, wmdm::TagType::Binary}, {wmdm::kAlbumCoverFormat, wmdm::TagType::Dword},
    {wmdm::kAlbumCoverWidth, wmdm::TagType::Dword}, {wmdm::kAlbumCoverHeight, wmdm::TagType::Dword},
};

std::string Narrow(const std::wstring& text)
{
    return CString(text.c_str()).ToNarrow(CP_UTF8);
}

std::wstring Wide(const std::string& text)
{
    return CString::FromNarrow(text.data(), static_cast<int>(text.size()), CP_UTF8).str();
}

// The file that holds a binary item of an object: "<path>.<name after the last '/'>.bin".
std::wstring BinaryFileOf(const std::wstring& path, const std::wstring& item)
{
    const size_t slash = item.rfind(L'/');
    return path + L"." + (slash == std::wstring::npos ? item : item.substr(slash + 1)) + L".bin";
}

// The text a property file keeps of an item (binary items go to their own file).
std::wstring ItemText(const std::wstring& path, const std::wstring& name, wmdm::TagType type, const BYTE* value,
                      UINT length)
{
    wchar_t number[40] = L"";
    switch (type) {
    case wmdm::TagType::String:
        return std::wstring(reinterpret_cast<const wchar_t*>(value),
                            wcsnlen(reinterpret_cast<const wchar_t*>(value), length / sizeof(wchar_t)));
    case wmdm::TagType::Dword:
    case wmdm::TagType::Bool:
        if (length >= sizeof(DWORD))
            swprintf(number, 40, L"%lu", static_cast<unsigned long>(*reinterpret_cast<const DWORD*>(value)));
        return number;
    case wmdm::TagType::Word:
        if (length >= sizeof(WORD))
            swprintf(number, 40, L"%u", static_cast<unsigned>(*reinterpret_cast<const WORD*>(value)));
        return number;
    case wmdm::TagType::Qword:
        if (length >= sizeof(ULONGLONG))
            swprintf(number, 40, L"%llu", *reinterpret_cast<const unsigned long long*>(value));
        return number;
    case wmdm::TagType::Guid:
        if (length >= sizeof(GUID))
            StringFromGUID2(*reinterpret_cast<const GUID*>(value), number, 40);
        return number;
    case wmdm::TagType::Binary:
    case wmdm::TagType::Date: {
        standin::WriteFileBytes(BinaryFileOf(path, name), value, length);
        return std::to_wstring(length) + L" bytes";
    }
    }
    return L"";
}

HRESULT WriteMetadata(const std::wstring& path, IWMDMMetaData* metadata)
{
    UINT count = 0;
    HRESULT hr = metadata->GetItemCount(&count);
    if (FAILED(hr))
        return hr;
    std::vector<std::pair<std::string, std::wstring>> lines = standin::ReadPropertyFile(path + L".props");
    for (UINT i = 0; i < count; ++i) {
        LPWSTR name = nullptr;
        wmdm::TagType type{};
        BYTE* value = nullptr;
        UINT length = 0;
        hr = metadata->QueryByIndex(i, &name, &type, &value, &length);
        if (FAILED(hr))
            return hr;
        standin::SetProperty(lines, Narrow(name), ItemText(path, name, type, value, length));
        CoTaskMemFree(name);
        CoTaskMemFree(value);
    }
    return standin::WritePropertyFile(path + L".props", lines) ? S_OK : E_FAIL;
}

HRESULT CopyWithProgress(const DeviceDescription& device, const std::wstring& source, const std::wstring& target,
                         IWMDMProgress* progress)
{
    HANDLE from = CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (from == INVALID_HANDLE_VALUE)
        return HRESULT_FROM_WIN32(GetLastError());
    HANDLE to = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (to == INVALID_HANDLE_VALUE) {
        const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
        CloseHandle(from);
        return hr;
    }
    LARGE_INTEGER size{};
    GetFileSizeEx(from, &size);
    // Ticks are KiB, so that files of any size fit the 32-bit count.
    const DWORD total = static_cast<DWORD>(std::max<ULONGLONG>(1, (static_cast<ULONGLONG>(size.QuadPart) + 1023) / 1024));
    HRESULT hr = progress ? progress->Begin(total) : S_OK;
    std::vector<BYTE> buffer(device.chunkBytes);
    ULONGLONG done = 0;
    while (SUCCEEDED(hr)) {
        DWORD read = 0;
        if (!ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
            hr = HRESULT_FROM_WIN32(GetLastError());
            break;
        }
        if (read == 0)
            break;
        DWORD written = 0;
        if (!WriteFile(to, buffer.data(), read, &written, nullptr) || written != read) {
            hr = HRESULT_FROM_WIN32(ERROR_DISK_FULL);
            break;
        }
        done += read;
        if (progress) {
            const HRESULT answer = progress->Progress(static_cast<DWORD>(std::min<ULONGLONG>(total, (done + 1023) / 1024)));
            if (FAILED(answer))
                hr = wmdm::kUserCancelled;
        }
    }
    CloseHandle(from);
    CloseHandle(to);
    if (progress)
        progress->End();
    if (FAILED(hr))
        DeleteFileW(target.c_str());
    return hr;
}

template <class T, class... Args>
HRESULT Make(REFIID iid, void** result, Args&&... args)
{
    return com::Object<T>::Create(iid, result, std::forward<Args>(args)...);
}

// What an enumeration's Next does: up to count new objects, one made from each next item;
// S_FALSE when fewer were left.
template <class Made, class Interface, class Item>
HRESULT NextObjects(const std::vector<Item>& items, LONG* next, REFIID iid, ULONG count, Interface** objects,
                    ULONG* fetched)
{
    if (!objects)
        return E_POINTER;
    ULONG made = 0;
    while (made < count && *next < static_cast<LONG>(items.size())) {
        if (FAILED(Make<Made>(iid, reinterpret_cast<void**>(&objects[made]), items[*next])))
            break;
        ++made;
        ++*next;
    }
    if (fetched)
        *fetched = made;
    return made == count ? S_OK : S_FALSE;
}

HRESULT CopyName(const std::wstring& text, LPWSTR name, UINT chars)
{
    if (!name || chars == 0)
        return E_INVALIDARG;
    if (text.size() >= chars) {
        name[0] = 0;
        return wmdm::kBufferTooSmall;
    }
    std::copy(text.begin(), text.end(), name);
    name[text.size()] = 0;
    return S_OK;
}

HRESULT Win32Failure()
{
    const DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace

// Location

std::wstring Location::Name() const
{
    if (relative.empty())
        return Storage().name;
    const size_t slash = relative.rfind(L'\\');
    return slash == std::wstring::npos ? relative : relative.substr(slash + 1);
}

Location Location::Child(const std::wstring& name) const
{
    Location child = *this;
    child.relative = relative.empty() ? name : relative + L"\\" + name;
    return child;
}

// CDeviceManager

STDMETHODIMP CDeviceManager::EnumDevices(IWMDMEnumDevice** devices)
{
    if (!devices)
        return E_POINTER;
    *devices = nullptr;
    std::vector<DeviceDescription> found;
    const HRESULT hr = ReadFixture(&found);
    if (FAILED(hr))
        return hr;
    return Make<CEnumDevice>(IID_IWMDMEnumDevice, reinterpret_cast<void**>(devices), std::move(found));
}

// CEnumDevice

STDMETHODIMP CEnumDevice::Next(ULONG count, IWMDMDevice** devices, ULONG* fetched)
{
    return NextObjects<CDevice>(m_devices, &m_next, IID_IWMDMDevice, count, devices, fetched);
}

STDMETHODIMP CEnumDevice::Reset()
{
    m_next = 0;
    return S_OK;
}

// CDevice

HRESULT CDevice::QueryDevice3(void* object, REFIID, void** result)
{
    CDevice* device = static_cast<CDevice*>(object);
    if (!device->m_device.offersDevice3)
        return E_NOINTERFACE;
    *result = static_cast<IWMDMDevice3*>(device);
    device->AddRef();
    return S_OK;
}

STDMETHODIMP CDevice::GetName(LPWSTR name, UINT chars)
{
    const HRESULT hr = InjectedFailure(m_device, L"GetName");
    return FAILED(hr) ? hr : CopyName(m_device.name, name, chars);
}

STDMETHODIMP CDevice::GetManufacturer(LPWSTR name, UINT chars)
{
    HRESULT hr = InjectedFailure(m_device, L"GetManufacturer");
    if (SUCCEEDED(hr) && !m_device.hasManufacturer)
        hr = wmdm::kNotSupported;
    return FAILED(hr) ? hr : CopyName(m_device.manufacturer, name, chars);
}

STDMETHODIMP CDevice::GetType(DWORD* type)
{
    if (!type)
        return E_POINTER;
    const HRESULT hr = InjectedFailure(m_device, L"GetType");
    *type = SUCCEEDED(hr) ? m_device.type : 0;
    return hr;
}

STDMETHODIMP CDevice::GetSerialNumber(WMDMID* serial)
{
    if (!serial)
        return E_POINTER;
    HRESULT hr = InjectedFailure(m_device, L"GetSerialNumber");
    if (SUCCEEDED(hr) && !m_device.hasSerial)
        hr = wmdm::kNotSupported;
    if (FAILED(hr))
        return hr;
    serial->cbSize = sizeof(WMDMID);
    serial->dwVendorID = m_device.serialVendor;
    std::fill(std::begin(serial->pID), std::end(serial->pID), BYTE(0));
    std::copy(m_device.serial.begin(), m_device.serial.end(), serial->pID);
    serial->SerialNumberLength = static_cast<UINT>(m_device.serial.size());
    return S_OK;
}

STDMETHODIMP CDevice::GetStatus(DWORD* status)
{
    if (!status)
        return E_POINTER;
    *status = 0;
    if (!StillAttached(m_device))
        return wmdm::kInterfaceDead;
    *status = NextStatus(m_device);
    wchar_t line[40];
    swprintf(line, 40, L"GetStatus 0x%lX", static_cast<unsigned long>(*status));
    LogEvent(m_device, line);
    return S_OK;
}

STDMETHODIMP CDevice::EnumStorage(IWMDMEnumStorage** storages)
{
    if (!storages)
        return E_POINTER;
    *storages = nullptr;
    if (!StillAttached(m_device))
        return wmdm::kInterfaceDead;
    const HRESULT hr = InjectedFailure(m_device, L"EnumStorage");
    if (FAILED(hr))
        return hr;
    std::vector<Location> roots;
    for (size_t i = 0; i < m_device.storages.size(); ++i)
        roots.push_back(Location{m_device, i, L""});
    return Make<CEnumStorage>(IID_IWMDMEnumStorage, reinterpret_cast<void**>(storages), std::move(roots));
}

STDMETHODIMP CDevice::GetProperty(LPCWSTR name, PROPVARIANT* value)
{
    if (!name || !value)
        return E_POINTER;
    PropVariantInit(value);
    HRESULT hr = InjectedFailure(m_device, L"GetProperty");
    if (SUCCEEDED(hr))
        hr = InjectedFailure(m_device, std::wstring(L"GetProperty.") + name);
    if (FAILED(hr))
        return hr;
    const CString property(name);
    auto text = [value](const std::wstring& s) {
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(s.c_str());
        return value->bstrVal ? S_OK : E_OUTOFMEMORY;
    };
    if (property.CompareNoCase(wmdm::kDeviceProtocol) == 0 && m_device.hasProtocol) {
        value->puuid = static_cast<CLSID*>(CoTaskMemAlloc(sizeof(CLSID)));
        if (!value->puuid)
            return E_OUTOFMEMORY;
        *value->puuid = m_device.protocol;
        value->vt = VT_CLSID;
        return S_OK;
    }
    if (property.CompareNoCase(wmdm::kDeviceFriendlyName) == 0 && m_device.hasFriendlyName)
        return text(m_device.friendlyName);
    if (property.CompareNoCase(wmdm::kDeviceModelName) == 0 && m_device.hasModelName)
        return text(m_device.modelName);
    if (property.CompareNoCase(wmdm::kFormatsSupported) == 0 && !m_device.formats.empty()) {
        if (m_device.formatsAsNumber) {
            value->vt = VT_UI4;
            value->ulVal = m_device.formats[0];
            return S_OK;
        }
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI4, 0, static_cast<ULONG>(m_device.formats.size()));
        if (!array)
            return E_OUTOFMEMORY;
        for (LONG i = 0; i < static_cast<LONG>(m_device.formats.size()); ++i)
            SafeArrayPutElement(array, &i, &m_device.formats[i]);
        value->vt = VT_ARRAY | VT_UI4;
        value->parray = array;
        return S_OK;
    }
    return wmdm::kNotSupported;
}

// CEnumStorage

STDMETHODIMP CEnumStorage::Next(ULONG count, IWMDMStorage** storages, ULONG* fetched)
{
    return NextObjects<CStorage>(m_storages, &m_next, IID_IWMDMStorage, count, storages, fetched);
}

STDMETHODIMP CEnumStorage::Reset()
{
    m_next = 0;
    return S_OK;
}

// CStorageGlobals

namespace {

void SplitNumber(ULONGLONG value, DWORD* low, DWORD* high)
{
    *low = static_cast<DWORD>(value & 0xFFFFFFFFu);
    if (high)
        *high = static_cast<DWORD>(value >> 32);
}

}  // namespace

STDMETHODIMP CStorageGlobals::GetTotalSize(DWORD* low, DWORD* high)
{
    if (!low)
        return E_POINTER;
    ULARGE_INTEGER total{};
    if (!m_storage.hasTotal && !GetDiskFreeSpaceExW(m_storage.folder.c_str(), nullptr, &total, nullptr))
        return Win32Failure();
    SplitNumber(m_storage.hasTotal ? m_storage.total : total.QuadPart, low, high);
    return S_OK;
}

STDMETHODIMP CStorageGlobals::GetTotalFree(DWORD* low, DWORD* high)
{
    if (!low)
        return E_POINTER;
    ULARGE_INTEGER free{};
    if (!m_storage.hasFree && !GetDiskFreeSpaceExW(m_storage.folder.c_str(), &free, nullptr, nullptr))
        return Win32Failure();
    SplitNumber(m_storage.hasFree ? m_storage.free : free.QuadPart, low, high);
    return S_OK;
}

// CMetaData

STDMETHODIMP CMetaData::AddItem(wmdm::TagType type, LPCWSTR name, const BYTE* value, UINT length)
{
    if (!name || (!value && length))
        return E_INVALIDARG;
    std::lock_guard<std::mutex> hold(m_lock);
    Item item{name, type, std::vector<BYTE>(value, value + length)};
    for (Item& existing : m_items) {
        if (existing.name == item.name) {
            existing = std::move(item);
            return S_OK;
        }
    }
    m_items.push_back(std::move(item));
    return S_OK;
}

STDMETHODIMP CMetaData::QueryByName(LPCWSTR name, wmdm::TagType* type, BYTE** value, UINT* length)
{
    if (!name || !type || !value || !length)
        return E_POINTER;
    std::lock_guard<std::mutex> hold(m_lock);
    for (UINT i = 0; i < m_items.size(); ++i) {
        if (m_items[i].name == name) {
            *type = m_items[i].type;
            *length = static_cast<UINT>(m_items[i].value.size());
            *value = static_cast<BYTE*>(CoTaskMemAlloc(std::max<size_t>(1, *length)));
            if (!*value)
                return E_OUTOFMEMORY;
            std::copy(m_items[i].value.begin(), m_items[i].value.end(), *value);
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

STDMETHODIMP CMetaData::GetItemCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    std::lock_guard<std::mutex> hold(m_lock);
    *count = static_cast<UINT>(m_items.size());
    return S_OK;
}

STDMETHODIMP CMetaData::QueryByIndex(UINT index, LPWSTR* name, wmdm::TagType* type, BYTE** value, UINT* length)
{
    if (!name)
        return E_POINTER;
    std::wstring itemName;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (index >= m_items.size())
            return E_INVALIDARG;
        itemName = m_items[index].name;
    }
    *name = static_cast<LPWSTR>(CoTaskMemAlloc((itemName.size() + 1) * sizeof(wchar_t)));
    if (!*name)
        return E_OUTOFMEMORY;
    std::copy(itemName.c_str(), itemName.c_str() + itemName.size() + 1, *name);
    const HRESULT hr = QueryByName(itemName.c_str(), type, value, length);
    if (FAILED(hr)) {
        CoTaskMemFree(*name);
        *name = nullptr;
    }
    return hr;
}

// CStorage

HRESULT CStorage::Usable(const wchar_t* call) const
{
    if (!StillAttached(m_where.device) || !standin::PathExists(m_where.Path()))
        return wmdm::kInterfaceDead;
    return call ? InjectedFailure(m_where.device, call) : S_OK;
}

STDMETHODIMP CStorage::GetName(LPWSTR name, UINT chars)
{
    return CopyName(m_where.Name(), name, chars);
}

STDMETHODIMP CStorage::GetAttributes(DWORD* attributes)
{
    if (!attributes)
        return E_POINTER;
    *attributes = 0;
    const HRESULT hr = Usable(nullptr);
    if (FAILED(hr))
        return hr;
    bool folder = false;
    standin::PathExists(m_where.Path(), &folder);
    DWORD word = m_where.IsRoot() ? m_where.Storage().attributes
                                  : (folder ? wmdm::kAttrFolder : 0) | wmdm::kAttrCanDelete;
    for (const auto& [name, value] : standin::ReadPropertyFile(m_where.Path() + L".props")) {
        if (name == "Attributes")
            word = static_cast<DWORD>(std::wcstoul(value.c_str(), nullptr, 0));
    }
    if (folder) {
        for (const std::wstring& child : NamesIn(m_where.Path())) {
            bool childFolder = false;
            standin::PathExists(m_where.Path() + L"\\" + child, &childFolder);
            word |= childFolder ? wmdm::kAttrHasFolders : wmdm::kAttrHasFiles;
        }
    }
    const DWORD fileAttributes = GetFileAttributesW(m_where.Path().c_str());
    word = (fileAttributes & FILE_ATTRIBUTE_READONLY) ? (word | wmdm::kAttrReadOnly) : (word & ~wmdm::kAttrReadOnly);
    *attributes = word;
    return S_OK;
}

STDMETHODIMP CStorage::SetAttributes(DWORD attributes)
{
    HRESULT hr = Usable(L"SetAttributes");
    if (FAILED(hr))
        return hr;
    const std::wstring path = m_where.Path();
    DWORD fileAttributes = GetFileAttributesW(path.c_str());
    fileAttributes = (attributes & wmdm::kAttrReadOnly) ? (fileAttributes | FILE_ATTRIBUTE_READONLY)
                                                        : (fileAttributes & ~FILE_ATTRIBUTE_READONLY);
    if (!SetFileAttributesW(path.c_str(), fileAttributes))
        return Win32Failure();
    std::vector<std::pair<std::string, std::wstring>> lines = standin::ReadPropertyFile(path + L".props");
    wchar_t word[16];
    swprintf(word, 16, L"0x%08lX", static_cast<unsigned long>(attributes));
    standin::SetProperty(lines, "Attributes", word);
    if (!m_where.IsRoot())
        standin::WritePropertyFile(path + L".props", lines);
    LogEvent(m_where.device, L"SetAttributes " + m_where.relative + L" " + word);
    return S_OK;
}

STDMETHODIMP CStorage::GetSize(DWORD* low, DWORD* high)
{
    if (!low)
        return E_POINTER;
    const HRESULT hr = Usable(nullptr);
    if (FAILED(hr))
        return hr;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(m_where.Path().c_str(), GetFileExInfoStandard, &data))
        return Win32Failure();
    const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    SplitNumber(folder ? 0 : (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow, low, high);
    return S_OK;
}

STDMETHODIMP CStorage::GetStorageGlobals(IWMDMStorageGlobals** globals)
{
    if (!globals)
        return E_POINTER;
    *globals = nullptr;
    const HRESULT hr = Usable(L"GetStorageGlobals");
    if (FAILED(hr))
        return hr;
    return Make<CStorageGlobals>(IID_IWMDMStorageGlobals, reinterpret_cast<void**>(globals), m_where.Storage());
}

STDMETHODIMP CStorage::EnumStorage(IWMDMEnumStorage** children)
{
    if (!children)
        return E_POINTER;
    *children = nullptr;
    const HRESULT hr = Usable(L"EnumChildren");
    if (FAILED(hr))
        return hr;
    std::vector<Location> found;
    bool folder = false;
    if (standin::PathExists(m_where.Path(), &folder) && folder) {
        for (const std::wstring& name : NamesIn(m_where.Path()))
            found.push_back(m_where.Child(name));
    }
    return Make<CEnumStorage>(IID_IWMDMEnumStorage, reinterpret_cast<void**>(children), std::move(found));
}

STDMETHODIMP CStorage::CreateEmptyMetadataObject(IWMDMMetaData** metadata)
{
    if (!metadata)
        return E_POINTER;
    *metadata = nullptr;
    const HRESULT hr = InjectedFailure(m_where.device, L"CreateEmptyMetadataObject");
    if (FAILED(hr))
        return hr;
    return Make<CMetaData>(IID_IWMDMMetaData, reinterpret_cast<void**>(metadata));
}

STDMETHODIMP CStorage::GetMetadata(IWMDMMetaData** metadata)
{
    if (!metadata)
        return E_POINTER;
    *metadata = nullptr;
    HRESULT hr = Usable(nullptr);
    com::ComPtr<IWMDMMetaData> made;
    if (SUCCEEDED(hr))
        hr = Make<CMetaData>(IID_IWMDMMetaData, made.PutVoid());
    if (FAILED(hr))
        return hr;
    for (const auto& [name, value] : standin::ReadPropertyFile(m_where.Path() + L".props")) {
        const std::wstring wideName = Wide(name);
        wmdm::TagType type = wmdm::TagType::String;
        for (const KnownItem& known : kKnownItems) {
            if (wideName == known.name)
                type = known.type;
        }
        if (type == wmdm::TagType::Dword) {
            const DWORD number = static_cast<DWORD>(std::wcstoul(value.c_str(), nullptr, 0));
            made->AddItem(type, wideName.c_str(), reinterpret_cast<const BYTE*>(&number), sizeof(number));
        } else if (type == wmdm::TagType::Qword) {
            const ULONGLONG number = std::wcstoull(value.c_str(), nullptr, 0);
            made->AddItem(type, wideName.c_str(), reinterpret_cast<const BYTE*>(&number), sizeof(number));
        } else if (type == wmdm::TagType::Binary) {
            const std::string bytes = standin::ReadFileBytes(BinaryFileOf(m_where.Path(), wideName));
            made->AddItem(type, wideName.c_str(), reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<UINT>(bytes.size()));
        } else if (name != "Attributes") {
            made->AddItem(type, wideName.c_str(), reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<UINT>((value.size() + 1) * sizeof(wchar_t)));
        }
    }
    *metadata = made.Detach();
    return S_OK;
}

STDMETHODIMP CStorage::SetMetadata(IWMDMMetaData* metadata)
{
    if (!metadata)
        return E_POINTER;
    HRESULT hr = Usable(L"SetMetadata");
    if (SUCCEEDED(hr) && m_where.IsRoot())
        hr = wmdm::kNotSupported;
    if (SUCCEEDED(hr))
        hr = WriteMetadata(m_where.Path(), metadata);
    if (SUCCEEDED(hr))
        LogEvent(m_where.device, L"SetMetadata " + m_where.relative);
    return hr;
}

STDMETHODIMP CStorage::SetReferences(DWORD count, IWMDMStorage** storages)
{
    if (count && !storages)
        return E_POINTER;
    HRESULT hr = Usable(L"SetReferences");
    if (FAILED(hr))
        return hr;
    std::wstring text;
    for (DWORD i = 0; i < count; ++i) {
        com::ComPtr<IStandInStorage> own;
        if (!storages[i] || FAILED(storages[i]->QueryInterface(IID_IStandInStorage, own.PutVoid())))
            return E_INVALIDARG;
        const Location& where = own->Where();
        if (where.device.section != m_where.device.section || where.storage != m_where.storage || where.IsRoot())
            return E_INVALIDARG;
        text += where.relative + L"\n";
    }
    const std::string utf8 = Narrow(text);
    if (!standin::WriteFileBytes(m_where.Path() + L".refs", utf8.data(), utf8.size()))
        return Win32Failure();
    LogEvent(m_where.device, L"SetReferences " + m_where.relative + L" " + std::to_wstring(count));
    return S_OK;
}

STDMETHODIMP CStorage::GetReferences(DWORD* count, IWMDMStorage*** storages)
{
    if (!count || !storages)
        return E_POINTER;
    *count = 0;
    *storages = nullptr;
    const HRESULT hr = Usable(L"GetReferences");
    if (FAILED(hr))
        return hr;
    const std::string text = standin::ReadFileBytes(m_where.Path() + L".refs");
    std::vector<std::wstring> paths;
    for (const std::string& line : standin::SplitLines(text)) {
        if (!line.empty())
            paths.push_back(Wide(line));
    }
    if (paths.empty())
        return S_OK;
    IWMDMStorage** array = static_cast<IWMDMStorage**>(CoTaskMemAlloc(paths.size() * sizeof(IWMDMStorage*)));
    if (!array)
        return E_OUTOFMEMORY;
    DWORD made = 0;
    for (const std::wstring& path : paths) {
        Location where = m_where;
        where.relative = path;
        if (SUCCEEDED(Make<CStorage>(IID_IWMDMStorage, reinterpret_cast<void**>(&array[made]), where)))
            ++made;
    }
    *count = made;
    *storages = array;
    return S_OK;
}

HRESULT CStorage::InsertObject(UINT mode, LPCWSTR source, const std::wstring& name, IWMDMProgress* progress,
                               IWMDMMetaData* metadata, IWMDMStorage** created, const wchar_t* call)
{
    if (created)
        *created = nullptr;
    HRESULT hr = Usable(call);
    if (FAILED(hr))
        return hr;
    bool intoFolder = false;
    standin::PathExists(m_where.Path(), &intoFolder);
    if (!intoFolder)  // into a folder, with or without the "into" bit
        return E_INVALIDARG;
    if (!standin::IsPlainName(name) || IsSideFile(name))
        return E_INVALIDARG;
    const Location target = m_where.Child(name);
    const std::wstring path = target.Path();
    bool existingFolder = false;
    const bool exists = standin::PathExists(path, &existingFolder);
    if (mode & wmdm::kContentFolder) {
        if (exists)
            return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
        if (!CreateDirectoryW(path.c_str(), nullptr))
            return Win32Failure();
        LogEvent(m_where.device, std::wstring(call) + L" folder " + target.relative);
    } else {
        if (exists && (existingFolder || !(mode & wmdm::kFileCreateOverwrite)))
            return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
        if (exists && HasReadOnly(path))
            return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
        if (source && *source) {
            const std::wstring partial = path + L".partial";
            hr = CopyWithProgress(m_where.device, source, partial, progress);
            if (FAILED(hr)) {
                LogEvent(m_where.device, std::wstring(call) + L" " + target.relative + L" abandoned");
                return hr;
            }
            if (exists) {
                DeleteSideFiles(path, false);  // the old file's; the new one waits in its partial file
                DeleteFileW(path.c_str());
            }
            if (!MoveFileW(partial.c_str(), path.c_str())) {
                hr = Win32Failure();
                DeleteFileW(partial.c_str());
                return hr;
            }
        } else {
            HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE)
                return Win32Failure();
            CloseHandle(file);
        }
        LogEvent(m_where.device, std::wstring(call) + L" " + target.relative);
    }
    if (metadata) {
        hr = WriteMetadata(path, metadata);
        if (FAILED(hr))
            return hr;
    }
    return created ? Make<CStorage>(IID_IWMDMStorage, reinterpret_cast<void**>(created), target) : S_OK;
}

STDMETHODIMP CStorage::Insert(UINT mode, LPCWSTR source, IWMDMOperation*, IWMDMProgress* progress,
                              IWMDMStorage** created)
{
    if (!source)
        return E_INVALIDARG;
    std::wstring name = source;
    if (!(mode & wmdm::kContentFolder)) {
        const size_t slash = name.find_last_of(L"\\/");
        if (slash != std::wstring::npos)
            name = name.substr(slash + 1);
    }
    return InsertObject(mode, (mode & wmdm::kContentFolder) ? nullptr : source, name, progress, nullptr, created,
                        L"Insert");
}

STDMETHODIMP CStorage::Insert3(UINT mode, UINT, LPCWSTR source, LPCWSTR destinationName, IWMDMOperation*,
                               IWMDMProgress* progress, IWMDMMetaData* metadata, IWMDMStorage** created)
{
    std::wstring name = destinationName ? destinationName : L"";
    if (name.empty() && source) {
        name = source;
        const size_t slash = name.find_last_of(L"\\/");
        if (slash != std::wstring::npos)
            name = name.substr(slash + 1);
    }
    return InsertObject(mode, (mode & wmdm::kContentFolder) ? nullptr : source, name, progress, metadata, created,
                        L"Insert3");
}

STDMETHODIMP CStorage::Delete(UINT mode, IWMDMProgress*)
{
    HRESULT hr = Usable(L"Delete");
    if (FAILED(hr))
        return hr;
    if (m_where.IsRoot())
        return wmdm::kNotSupported;
    const std::wstring path = m_where.Path();
    bool folder = false;
    standin::PathExists(path, &folder);
    if (folder && !(mode & wmdm::kModeRecursive) && !NamesIn(path).empty())
        return HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY);
    if (HasReadOnly(path))
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    if (!DeleteTree(path))
        return Win32Failure();
    LogEvent(m_where.device, L"Delete " + m_where.relative);
    return S_OK;
}

STDMETHODIMP CStorage::Rename(UINT, LPCWSTR newName, IWMDMProgress*)
{
    HRESULT hr = Usable(L"Rename");
    if (FAILED(hr))
        return hr;
    if (m_where.IsRoot())
        return wmdm::kNotSupported;
    if (!newName || !standin::IsPlainName(newName) || IsSideFile(newName))
        return E_INVALIDARG;
    const std::wstring path = m_where.Path();
    const std::wstring folder = path.substr(0, path.rfind(L'\\'));
    const std::wstring target = folder + L"\\" + newName;
    if (_wcsicmp(m_where.Name().c_str(), newName) != 0 && standin::PathExists(target))
        return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    const std::vector<std::wstring> sideFiles = SideFilesOf(path);
    if (!MoveFileW(path.c_str(), target.c_str()))
        return Win32Failure();
    for (const std::wstring& side : sideFiles)
        MoveFileW(side.c_str(), (target + side.substr(path.size())).c_str());
    const std::wstring old = m_where.relative;
    const size_t slash = m_where.relative.rfind(L'\\');
    m_where.relative = (slash == std::wstring::npos ? L"" : m_where.relative.substr(0, slash + 1)) + newName;
    LogEvent(m_where.device, L"Rename " + old + L" -> " + newName);
    return S_OK;
}

STDMETHODIMP CStorage::Read(UINT, LPCWSTR localPath, IWMDMProgress*, IWMDMOperation*)
{
    if (!localPath)
        return E_INVALIDARG;
    const HRESULT hr = Usable(L"Read");
    if (FAILED(hr))
        return hr;
    if (!CopyTree(m_where.Path(), localPath))
        return Win32Failure();
    LogEvent(m_where.device, L"Read " + m_where.relative);
    return S_OK;
}

}  // namespace wmdmstandin
