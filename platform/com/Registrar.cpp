#include "Registrar.h"

#include "RegistryKey.h"

#include <oleauto.h>
#include <shlwapi.h>

#include <cwchar>
#include <string>

namespace com {

namespace {

// Creates HKCR\path and sets one text value on it (the default value when name is null).
HRESULT SetText(const std::wstring& path, const wchar_t* name, const wchar_t* value)
{
    CRegistryKey key;
    LONG status = key.Create(HKEY_CLASSES_ROOT, path.c_str(), KEY_SET_VALUE);
    if (status == ERROR_SUCCESS && value) {
        const DWORD bytes = static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(wchar_t));
        status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
    }
    return HRESULT_FROM_WIN32(status);
}

// Deletes HKCR\path with everything below it; a key that is already gone is no failure.
HRESULT DeleteTree(const std::wstring& path)
{
    const DWORD status = SHDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

// The ProgID keys name the class; both carry the description.
HRESULT RegisterProgId(const wchar_t* progId, const wchar_t* description, const wchar_t* clsid, const wchar_t* curVer)
{
    const std::wstring key(progId);
    HRESULT hr = SetText(key, nullptr, description);
    if (SUCCEEDED(hr))
        hr = SetText(key + L"\\CLSID", nullptr, clsid);
    if (SUCCEEDED(hr) && curVer)
        hr = SetText(key + L"\\CurVer", nullptr, curVer);
    return hr;
}

}  // namespace

GuidText::GuidText(const GUID& guid)
{
    if (StringFromGUID2(guid, text, static_cast<int>(sizeof(text) / sizeof(text[0]))) == 0)
        text[0] = L'\0';
}

HRESULT RegisterClassKeys(const CLSID& clsid, const ClassRegistration& registration, const wchar_t* modulePath,
                          const TypeLibRegistration* typeLib, const AppIdRegistration* appId)
{
    const GuidText clsidText(clsid);
    const std::wstring key = std::wstring(L"CLSID\\") + clsidText.text;
    HRESULT hr = SetText(key, nullptr, registration.description);
    if (SUCCEEDED(hr) && appId)
        hr = SetText(key, L"AppID", GuidText(*appId->appId).text);
    const std::wstring serverKey =
        key + (registration.server == ServerKind::InProcess ? L"\\InprocServer32" : L"\\LocalServer32");
    if (SUCCEEDED(hr))
        hr = SetText(serverKey, nullptr, modulePath);
    if (SUCCEEDED(hr) && registration.threadingModel)
        hr = SetText(serverKey, L"ThreadingModel", registration.threadingModel);
    if (SUCCEEDED(hr) && registration.progId)
        hr = SetText(key + L"\\ProgID", nullptr, registration.progId);
    if (SUCCEEDED(hr) && registration.versionIndependentProgId)
        hr = SetText(key + L"\\VersionIndependentProgID", nullptr, registration.versionIndependentProgId);
    if (SUCCEEDED(hr) && registration.programmable)
        hr = SetText(key + L"\\Programmable", nullptr, nullptr);
    if (SUCCEEDED(hr) && typeLib)
        hr = SetText(key + L"\\TypeLib", nullptr, GuidText(*typeLib->libId).text);
    if (SUCCEEDED(hr) && registration.progId)
        hr = RegisterProgId(registration.progId, registration.description, clsidText.text, nullptr);
    if (SUCCEEDED(hr) && registration.versionIndependentProgId)
        hr = RegisterProgId(registration.versionIndependentProgId, registration.description, clsidText.text,
                            registration.progId);
    return hr;
}

HRESULT UnregisterClassKeys(const CLSID& clsid, const ClassRegistration& registration)
{
    HRESULT hr = DeleteTree(std::wstring(L"CLSID\\") + GuidText(clsid).text);
    if (SUCCEEDED(hr) && registration.progId)
        hr = DeleteTree(registration.progId);
    if (SUCCEEDED(hr) && registration.versionIndependentProgId)
        hr = DeleteTree(registration.versionIndependentProgId);
    return hr;
}

HRESULT RegisterAppId(const AppIdRegistration& appId)
{
    const GuidText id(*appId.appId);
    HRESULT hr = SetText(std::wstring(L"AppID\\") + id.text, nullptr, appId.name);
    if (SUCCEEDED(hr) && appId.moduleName)
        hr = SetText(std::wstring(L"AppID\\") + appId.moduleName, L"AppID", id.text);
    return hr;
}

HRESULT UnregisterAppId(const AppIdRegistration& appId)
{
    HRESULT hr = DeleteTree(std::wstring(L"AppID\\") + GuidText(*appId.appId).text);
    if (SUCCEEDED(hr) && appId.moduleName)
        hr = DeleteTree(std::wstring(L"AppID\\") + appId.moduleName);
    return hr;
}

HRESULT RegisterTypeLibOf(const wchar_t* modulePath)
{
    ITypeLib* library = nullptr;
    const HRESULT hr = LoadTypeLibEx(modulePath, REGKIND_REGISTER, &library);
    if (library)
        library->Release();
    return hr;
}

HRESULT UnregisterTypeLibOf(const TypeLibRegistration& typeLib, const wchar_t* modulePath)
{
    wchar_t version[32];
    swprintf(version, 32, L"\\%x.%x", typeLib.majorVersion, typeLib.minorVersion);
    CRegistryKey key;
    if (key.Open(HKEY_CLASSES_ROOT, (std::wstring(L"TypeLib\\") + GuidText(*typeLib.libId).text + version).c_str(),
                 KEY_READ) != ERROR_SUCCESS)
        return S_OK;  // not registered: nothing to remove
    // The locale and platform the library was registered under are its own.
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(modulePath, REGKIND_NONE, &library);
    if (FAILED(hr))
        return hr;
    TLIBATTR* attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (SUCCEEDED(hr)) {
        hr = UnRegisterTypeLib(*typeLib.libId, typeLib.majorVersion, typeLib.minorVersion, attributes->lcid,
                               attributes->syskind);
        library->ReleaseTLibAttr(attributes);
    }
    library->Release();
    return hr;
}

}  // namespace com
