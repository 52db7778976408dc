// The detect object stand-in's server (see DetectObject.h).
#include "DetectObject.h"

#include "Dispatch.h"
#include "Module.h"
#include "Object.h"

#include <string>

namespace {

// The text of an environment variable; false when it is not set.
bool ReadVariable(const wchar_t* name, std::wstring& value)
{
    wchar_t buffer[256];
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetEnvironmentVariableW(name, buffer, 256);
    if (length == 0)
        return GetLastError() != ERROR_ENVVAR_NOT_FOUND ? (value.clear(), true) : false;
    if (length < 256) {
        value.assign(buffer, length);
        return true;
    }
    value.resize(length);
    const DWORD again = GetEnvironmentVariableW(name, value.data(), length);
    value.resize(again < length ? again : 0);
    return true;
}

// "a.b.c.d" of a system module's version resource; empty when it has none.
std::wstring SystemFileVersion(const wchar_t* fileName)
{
    wchar_t path[MAX_PATH];
    const UINT folder = GetSystemDirectoryW(path, MAX_PATH);
    if (folder == 0 || folder + 2 + wcslen(fileName) >= MAX_PATH)
        return {};
    wcscat(path, L"\\");
    wcscat(path, fileName);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0)
        return {};
    std::string data(size, '\0');
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!GetFileVersionInfoW(path, 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || infoSize < sizeof(*info))
        return {};
    wchar_t text[64];
    swprintf(text, 64, L"%u.%u.%u.%u", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
             HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    return text;
}

std::wstring SystemVersion()
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&info))
        return {};
#pragma GCC diagnostic pop
    wchar_t text[64];
    swprintf(text, 64, L"%lu.%lu.%lu", info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
    return text;
}

HRESULT Answer(BSTR* version, const wchar_t* variable, std::wstring (*fallback)())
{
    if (!version)
        return E_POINTER;
    std::wstring text;
    if (!ReadVariable(variable, text))
        text = fallback();
    *version = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *version ? S_OK : E_OUTOFMEMORY;
}

class CZKYDetectObject : public com::ObjectRoot<com::FreeThreading>,
                         public com::Dispatch<IZKYDetectObject, &IID_IZKYDetectObject> {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CZKYDetectObject, IZKYDetectObject>(IID_IZKYDetectObject),
            com::Implements<CZKYDetectObject, IDispatch>(IID_IDispatch),
            {},
        };
        return table;
    }

    STDMETHODIMP GetConsoleVersion(BSTR* version) override
    {
        return Answer(version, L"VESPERLIN_DETECT_CONSOLE_VERSION", [] { return std::wstring(L"3.6.0.0"); });
    }
    STDMETHODIMP GetPlayerVersion(BSTR* version) override
    {
        return Answer(version, L"VESPERLIN_DETECT_PLAYER_VERSION", [] { return SystemFileVersion(L"wmp.dll"); });
    }
    STDMETHODIMP GetPlatformVersion(BSTR* version) override
    {
        return Answer(version, L"VESPERLIN_DETECT_PLATFORM_VERSION", [] { return SystemFileVersion(L"wmvcore.dll"); });
    }
    STDMETHODIMP GetOSVersion(BSTR* version) override
    {
        return Answer(version, L"VESPERLIN_DETECT_OS_VERSION", SystemVersion);
    }
};

// Where the real object is not installed, creation fails as it would there.
HRESULT CreateDetectObject(IUnknown* outer, REFIID iid, void** result)
{
    std::wstring unavailable;
    if (ReadVariable(L"VESPERLIN_DETECT_UNAVAILABLE", unavailable) && unavailable == L"1") {
        if (result)
            *result = nullptr;
        return REGDB_E_CLASSNOTREG;
    }
    return com::CreateInstance<CZKYDetectObject>(outer, iid, result);
}

const com::ClassEntry kClasses[] = {
    {&CLSID_ZKYDetectObject, &CreateDetectObject,
     {L"ZKYDetectObject Class", L"Vesperlin.ZKYDetectObject.1", L"Vesperlin.ZKYDetectObject", L"Both", true,
      com::ServerKind::InProcess}},
};
const com::TypeLibRegistration kTypeLib{&LIBID_ZKYDetectLib, 1, 0};
com::Module g_module(kClasses, &kTypeLib);

}  // namespace
