#include "Objects.h"

#include "CString.h"
#include "FixtureFiles.h"

#include <algorithm>
#include <cstring>

namespace rapistandin {

namespace {

template <class T, class... Args>
HRESULT Make(REFIID iid, void** result, Args&&... args)
{
    return com::Object<T>::Create(iid, result, std::forward<Args>(args)...);
}

std::wstring RootName(HKEY key)
{
    if (key == HKEY_CLASSES_ROOT)
        return L"HKCR";
    if (key == HKEY_CURRENT_USER)
        return L"HKCU";
    return L"";
}

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

const wchar_t* CreationName(DWORD creation)
{
    switch (creation) {
    case CREATE_NEW: return L"CREATE_NEW";
    case CREATE_ALWAYS: return L"CREATE_ALWAYS";
    case OPEN_EXISTING: return L"OPEN_EXISTING";
    case OPEN_ALWAYS: return L"OPEN_ALWAYS";
    case TRUNCATE_EXISTING: return L"TRUNCATE_EXISTING";
    }
    return L"?";
}

// A search pattern split into its folder (a device path) and its last part (may hold wildcards).
bool SplitPattern(const std::wstring& pattern, std::wstring* folder, std::wstring* last)
{
    const size_t slash = pattern.rfind(L'\\');
    if (slash == std::wstring::npos)
        return false;
    *folder = slash == 0 ? L"\\" : pattern.substr(0, slash);
    *last = pattern.substr(slash + 1);
    return !last->empty() && *last != L"." && *last != L"..";
}

}  // namespace

// CDesktop

STDMETHODIMP CDesktop::FindDevice(const GUID* deviceId, rapi::GetDevice, IRAPIDevice** device)
{
    if (!deviceId || !device)
        return E_POINTER;
    *device = nullptr;
    std::vector<MobileDevice> devices;
    HRESULT hr = ReadFixture(&devices);
    if (FAILED(hr))
        return hr;
    for (MobileDevice& candidate : devices) {
        if (!IsEqualGUID(candidate.id, *deviceId))
            continue;
        hr = InjectedFailure(candidate, L"FindDevice");
        if (FAILED(hr))
            return hr;
        return Make<CMobileDevice>(IID_IRAPIDevice, reinterpret_cast<void**>(device), std::move(candidate));
    }
    return HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
}

STDMETHODIMP CDesktop::EnumDevices(IRAPIEnumDevices** devices)
{
    if (!devices)
        return E_POINTER;
    *devices = nullptr;
    std::vector<MobileDevice> found;
    const HRESULT hr = ReadFixture(&found);
    if (FAILED(hr))
        return hr;
    return Make<CEnumDevices>(IID_IRAPIEnumDevices, reinterpret_cast<void**>(devices), std::move(found));
}

// CEnumDevices

STDMETHODIMP CEnumDevices::Next(IRAPIDevice** device)
{
    if (!device)
        return E_POINTER;
    *device = nullptr;
    if (m_next >= m_devices.size())
        return S_FALSE;
    return Make<CMobileDevice>(IID_IRAPIDevice, reinterpret_cast<void**>(device), m_devices[m_next++]);
}

STDMETHODIMP CEnumDevices::Reset()
{
    m_next = 0;
    return S_OK;
}

// CMobileDevice

STDMETHODIMP CMobileDevice::CreateSession(IRAPISession** session)
{
    if (!session)
        return E_POINTER;
    *session = nullptr;
    const HRESULT hr = InjectedFailure(m_device, L"CreateSession");
    if (FAILED(hr))
        return hr;
    return Make<CSession>(IID_IRAPISession, reinterpret_cast<void**>(session), m_device);
}

STDMETHODIMP CMobileDevice::GetDeviceInfo(RAPI_DEVICEINFO* info)
{
    if (!info)
        return E_POINTER;
    const HRESULT hr = InjectedFailure(m_device, L"GetDeviceInfo");
    if (FAILED(hr))
        return hr;
    info->DeviceId = m_device.id;
    info->dwOsVersionMajor = m_device.osMajor;
    info->dwOsVersionMinor = m_device.osMinor;
    info->bstrName = SysAllocString(m_device.name.c_str());
    info->bstrPlatform = SysAllocString(m_device.platform.c_str());
    return S_OK;
}

// CSession

void CSession::FinalRelease()
{
    for (const auto& [handle, path] : m_files)
        CloseHandle(handle);
    for (const auto& [handle, path] : m_finds)
        FindClose(handle);
}

bool CSession::Fail(DWORD error)
{
    m_lastError = error;
    return false;
}

bool CSession::Succeed(DWORD error)
{
    m_lastError = error;
    return true;
}

STDMETHODIMP CSession::CeRapiInit()
{
    const HRESULT hr = InjectedFailure(m_device, L"CeRapiInit");
    if (FAILED(hr))
        return hr;
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_initialised)
        return CO_E_ALREADYINITIALIZED;
    m_initialised = true;
    return S_OK;
}

STDMETHODIMP CSession::CeRapiUninit()
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_initialised)
        return E_UNEXPECTED;
    m_initialised = false;
    return S_OK;
}

DWORD CSession::CeGetLastError()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_lastError;
}

STDMETHODIMP CSession::CeRapiFreeBuffer(void* buffer)
{
    LocalFree(buffer);
    return S_OK;
}

std::wstring CSession::KeyPath(HKEY key) const
{
    const std::wstring root = RootName(key);
    if (!root.empty())
        return root;
    const auto found = m_keys.find(key);
    return found == m_keys.end() ? L"" : found->second;
}

bool CSession::KeyExists(const std::wstring& path) const
{
    for (const RegistryValue& value : m_device.registry) {
        if (SameText(value.key, path) ||
            (value.key.size() > path.size() && value.key[path.size()] == L'\\' && SameText(value.key.substr(0, path.size()), path)))
            return true;
    }
    return false;
}

LONG CSession::CeRegOpenKeyEx(HKEY parent, LPCWSTR subKey, DWORD, REGSAM, HKEY* key)
{
    if (!key)
        return ERROR_INVALID_PARAMETER;
    *key = nullptr;
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_initialised)
        return ERROR_NOT_READY;
    const std::wstring parentPath = KeyPath(parent);
    if (parentPath.empty())
        return ERROR_INVALID_HANDLE;
    const std::wstring path = subKey && *subKey ? parentPath + L"\\" + subKey : parentPath;
    if (!KeyExists(path))
        return ERROR_FILE_NOT_FOUND;
    *key = reinterpret_cast<HKEY>(m_nextKey++);
    m_keys[*key] = path;
    return ERROR_SUCCESS;
}

LONG CSession::CeRegQueryValueEx(HKEY key, LPCWSTR name, DWORD*, DWORD* type, BYTE* data, DWORD* size)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_initialised)
        return ERROR_NOT_READY;
    const std::wstring path = KeyPath(key);
    if (path.empty())
        return ERROR_INVALID_HANDLE;
    const std::wstring wanted = name ? name : L"";
    for (const RegistryValue& value : m_device.registry) {
        if (!SameText(value.key, path) || !SameText(value.name, wanted))
            continue;
        const DWORD needed = static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t));
        if (type)
            *type = REG_SZ;
        if (!data) {
            if (size)
                *size = needed;
            return ERROR_SUCCESS;
        }
        if (!size)
            return ERROR_INVALID_PARAMETER;
        if (*size < needed) {
            *size = needed;
            return ERROR_MORE_DATA;
        }
        std::memcpy(data, value.text.c_str(), needed);
        *size = needed;
        return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
}

LONG CSession::CeRegCloseKey(HKEY key)
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_keys.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

DWORD CSession::AttributesOf(const std::wstring& devicePath, DWORD hostAttributes) const
{
    DWORD attributes = hostAttributes & ~FILE_ATTRIBUTE_TEMPORARY;
    const size_t slash = devicePath.rfind(L'\\');
    if ((hostAttributes & FILE_ATTRIBUTE_DIRECTORY) && slash == 0 && m_device.IsCard(devicePath.substr(1)))
        attributes |= FILE_ATTRIBUTE_TEMPORARY;
    return attributes;
}

void CSession::Fill(const std::wstring& devicePath, const WIN32_FIND_DATAW& host, CE_FIND_DATA* found) const
{
    *found = CE_FIND_DATA{};
    found->dwFileAttributes = AttributesOf(devicePath, host.dwFileAttributes);
    found->ftCreationTime = host.ftCreationTime;
    found->ftLastAccessTime = host.ftLastAccessTime;
    found->ftLastWriteTime = host.ftLastWriteTime;
    found->nFileSizeHigh = host.nFileSizeHigh;
    found->nFileSizeLow = host.nFileSizeLow;
    wcsncpy(found->cFileName, host.cFileName, MAX_PATH - 1);
}

BOOL CSession::CeFindAllFiles(LPCWSTR pattern, DWORD flags, DWORD* count, CE_FIND_DATA** found)
{
    if (!pattern || !count || !found)
        return Fail(ERROR_INVALID_PARAMETER);
    *count = 0;
    *found = nullptr;
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_initialised)
        return Fail(ERROR_NOT_READY);
    std::wstring folder, last;
    if (!SplitPattern(pattern, &folder, &last))
        return Fail(ERROR_INVALID_PARAMETER);
    const std::wstring host = m_device.HostPath(folder);
    if (host.empty() || last.find(L'\\') != std::wstring::npos)
        return Fail(ERROR_PATH_NOT_FOUND);
    std::vector<CE_FIND_DATA> entries;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((host + L"\\" + last).c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if ((flags & rapi::kFindFoldersOnly) && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                continue;
            entries.emplace_back();
            Fill((folder == L"\\" ? L"" : folder) + L"\\" + name, data, &entries.back());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    if (!entries.empty()) {
        *found = static_cast<CE_FIND_DATA*>(LocalAlloc(LMEM_FIXED, entries.size() * sizeof(CE_FIND_DATA)));
        if (!*found)
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        std::copy(entries.begin(), entries.end(), *found);
    }
    *count = static_cast<DWORD>(entries.size());
    return Succeed();
}

HANDLE CSession::CeFindFirstFile(LPCWSTR pattern, CE_FIND_DATA* found)
{
    if (!pattern || !found) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::lock_guard<std::mutex> hold(m_lock);
    std::wstring folder, last;
    const std::wstring host = SplitPattern(pattern, &folder, &last) ? m_device.HostPath(folder) : L"";
    if (!m_initialised || host.empty()) {
        Fail(m_initialised ? ERROR_PATH_NOT_FOUND : ERROR_NOT_READY);
        return INVALID_HANDLE_VALUE;
    }
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((host + L"\\" + last).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        Fail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    Fill((folder == L"\\" ? L"" : folder) + L"\\" + data.cFileName, data, found);
    m_finds[find] = folder;
    Succeed();
    return find;
}

BOOL CSession::CeFindClose(HANDLE find)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_finds.erase(find))
        return Fail(ERROR_INVALID_HANDLE);
    FindClose(find);
    return Succeed();
}

HANDLE CSession::CeCreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD creation,
                              DWORD flags, HANDLE)
{
    const HRESULT injected = InjectedFailure(m_device, L"CeCreateFile");
    std::lock_guard<std::mutex> hold(m_lock);
    const std::wstring host = name ? m_device.HostPath(name) : L"";
    if (!m_initialised || host.empty() || FAILED(injected) || injected > 0) {
        Fail(!m_initialised ? ERROR_NOT_READY : host.empty() ? ERROR_PATH_NOT_FOUND : static_cast<DWORD>(injected));
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = CreateFileW(host.c_str(), access, share, nullptr, creation, flags, nullptr);
    const DWORD error = GetLastError();
    if (file == INVALID_HANDLE_VALUE) {
        Fail(error);
        return INVALID_HANDLE_VALUE;
    }
    // Opening or replacing an existing file answers "already exists", as the device does.
    Succeed((creation == OPEN_ALWAYS || creation == CREATE_ALWAYS) ? error : 0);
    m_files[file] = name;
    wchar_t attributes[16];
    swprintf(attributes, 16, L"0x%lX", static_cast<unsigned long>(flags & 0xFFFF));
    LogEvent(m_device, std::wstring(L"CeCreateFile ") + name + L" " + attributes + L" " + CreationName(creation));
    return file;
}

DWORD CSession::CeSetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_files.count(file)) {
        Fail(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    const DWORD position = SetFilePointer(file, distance, distanceHigh, method);
    m_lastError = position == INVALID_SET_FILE_POINTER ? GetLastError() : 0;
    return position;
}

BOOL CSession::CeWriteFile(HANDLE file, const void* data, DWORD size, DWORD* written, LPOVERLAPPED)
{
    const HRESULT injected = InjectedFailure(m_device, L"CeWriteFile");
    std::lock_guard<std::mutex> hold(m_lock);
    if (written)
        *written = 0;
    if (!m_files.count(file))
        return Fail(ERROR_INVALID_HANDLE);
    if (injected != S_OK)
        return Fail(static_cast<DWORD>(injected));
    // A device that takes fewer bytes than it is given, and says so only in the count.
    const UINT shortWrite = GetPrivateProfileIntW(m_device.section.c_str(), L"ShortWrite", 0, m_device.fixture.c_str());
    if (shortWrite > 0 && size > shortWrite)
        size = shortWrite;
    DWORD done = 0;
    if (!WriteFile(file, data, size, &done, nullptr))
        return Fail(GetLastError());
    if (written)
        *written = done;
    return Succeed();
}

BOOL CSession::CeCloseHandle(HANDLE handle)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_files.erase(handle))
        return Fail(ERROR_INVALID_HANDLE);
    CloseHandle(handle);
    return Succeed();
}

BOOL CSession::CeDeleteFile(LPCWSTR name)
{
    std::lock_guard<std::mutex> hold(m_lock);
    const std::wstring host = name ? m_device.HostPath(name) : L"";
    if (!m_initialised || host.empty())
        return Fail(m_initialised ? ERROR_PATH_NOT_FOUND : ERROR_NOT_READY);
    if (!DeleteFileW(host.c_str()))
        return Fail(GetLastError());
    LogEvent(m_device, std::wstring(L"CeDeleteFile ") + name);
    return Succeed();
}

BOOL CSession::CeRemoveDirectory(LPCWSTR name)
{
    std::lock_guard<std::mutex> hold(m_lock);
    const std::wstring host = name ? m_device.HostPath(name) : L"";
    if (!m_initialised || host.empty() || host == m_device.folder)
        return Fail(m_initialised ? ERROR_PATH_NOT_FOUND : ERROR_NOT_READY);
    if (!RemoveDirectoryW(host.c_str()))
        return Fail(GetLastError());
    LogEvent(m_device, std::wstring(L"CeRemoveDirectory ") + name);
    return Succeed();
}

STDMETHODIMP CSession::CeRapiInvoke(LPCWSTR library, LPCWSTR function, DWORD, BYTE* input, DWORD* outputSize,
                                    BYTE** output, IRAPIStream** stream, DWORD)
{
    if (outputSize)
        *outputSize = 0;
    if (output)
        *output = nullptr;
    if (stream)
        *stream = nullptr;
    LocalFree(input);  // the input buffer is the callee's to free
    if (!library || !function)
        return E_INVALIDARG;
    HRESULT hr = InjectedFailure(m_device, L"CeRapiInvoke");
    if (FAILED(hr))
        return hr;
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_initialised)
        return E_UNEXPECTED;
    const std::wstring host = m_device.HostPath(library);
    bool folder = true;
    if (host.empty() || !standin::PathExists(host, &folder) || folder)
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    LogEvent(m_device, std::wstring(L"CeRapiInvoke ") + library + L" " + function);
    const std::wstring fileName = host.substr(host.rfind(L'\\') + 1);
    if (!SameText(fileName, L"ZKYMobileRapi.DLL") || !SameText(function, L"ZKYMInvokableFunction"))
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    standin::AppendLine(host.substr(0, host.rfind(L'\\')) + L"\\ZKYMobileRapi.log", function);
    if (output && outputSize) {
        *output = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, 2));
        if (*output) {
            (*output)[0] = 'O';
            (*output)[1] = 'K';
            *outputSize = 2;
        }
    }
    return S_OK;
}

}  // namespace rapistandin
