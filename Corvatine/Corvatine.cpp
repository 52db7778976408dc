// The module: its two classes (ZuneSupport, and the component registrar), its type library,
// its AppID; the in-process exports come from the COM kit.
#include "ClassFactory.h"
#include "Dispatch.h"
#include "Module.h"
#include "ZuneSupport.h"

#include <oleauto.h>

#include <iterator>

namespace {

// The registrar of the module's classes, one by one or all together.
class CCompReg : public com::ObjectRoot<com::FreeThreading>,
                 public com::Dispatch<IComponentRegistrar, &IID_IComponentRegistrar> {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CCompReg, IComponentRegistrar>(IID_IComponentRegistrar),
            com::Implements<CCompReg, IDispatch>(IID_IDispatch),
            {},
        };
        return table;
    }

    STDMETHODIMP Attach(BSTR) override { return S_OK; }  // the module registers itself
    STDMETHODIMP RegisterAll() override { return com::Module::Current().RegisterServer(); }
    STDMETHODIMP UnregisterAll() override { return com::Module::Current().UnregisterServer(); }
    STDMETHODIMP GetComponents(SAFEARRAY** clsids, SAFEARRAY** descriptions) override;
    STDMETHODIMP RegisterComponent(BSTR clsid) override;
    STDMETHODIMP UnregisterComponent(BSTR clsid) override;
};

const com::ClassEntry kClasses[] = {
    {&CLSID_ZuneSupport, &com::CreateInstance<CZuneSupport>,
     {L"ZuneSupport Class", L"Corvatine.ZuneSupport.1", L"Corvatine.ZuneSupport", L"Both", true,
      com::ServerKind::InProcess}},
    {&CLSID_CompReg, &com::CreateInstance<CCompReg>,
     {L"CompReg Class", nullptr, nullptr, L"Both", false, com::ServerKind::InProcess}},
};
const com::TypeLibRegistration kTypeLib{&LIBID_CorvatineLib, 1, 0};
const com::AppIdRegistration kAppId{&APPID_Corvatine, L"Corvatine", L"Corvatine.DLL"};
com::Module g_module(kClasses, &kTypeLib, &kAppId);

const com::ClassEntry* FindClass(BSTR clsid)
{
    CLSID id{};
    if (!clsid || FAILED(CLSIDFromString(clsid, &id)))
        return nullptr;
    for (const com::ClassEntry& entry : kClasses) {
        if (IsEqualCLSID(*entry.clsid, id))
            return &entry;
    }
    return nullptr;
}

STDMETHODIMP CCompReg::GetComponents(SAFEARRAY** clsids, SAFEARRAY** descriptions)
{
    if (!clsids || !descriptions)
        return E_POINTER;
    const ULONG count = static_cast<ULONG>(std::size(kClasses));
    *clsids = SafeArrayCreateVector(VT_BSTR, 0, count);
    *descriptions = SafeArrayCreateVector(VT_BSTR, 0, count);
    HRESULT hr = *clsids && *descriptions ? S_OK : E_OUTOFMEMORY;
    for (LONG i = 0; SUCCEEDED(hr) && i < static_cast<LONG>(count); ++i) {
        BSTR id = SysAllocString(com::GuidText(*kClasses[i].clsid).text);
        BSTR description = SysAllocString(kClasses[i].registration.description);
        hr = SafeArrayPutElement(*clsids, &i, id);
        if (SUCCEEDED(hr))
            hr = SafeArrayPutElement(*descriptions, &i, description);
        SysFreeString(id);
        SysFreeString(description);
    }
    if (FAILED(hr)) {
        if (*clsids)
            SafeArrayDestroy(*clsids);
        if (*descriptions)
            SafeArrayDestroy(*descriptions);
        *clsids = *descriptions = nullptr;
    }
    return hr;
}

STDMETHODIMP CCompReg::RegisterComponent(BSTR clsid)
{
    const com::ClassEntry* entry = FindClass(clsid);
    if (!entry)
        return E_INVALIDARG;
    wchar_t path[MAX_PATH];
    if (!com::Module::Current().GetPath(path, MAX_PATH))
        return E_FAIL;
    return com::RegisterClassKeys(*entry->clsid, entry->registration, path, &kTypeLib, &kAppId);
}

STDMETHODIMP CCompReg::UnregisterComponent(BSTR clsid)
{
    const com::ClassEntry* entry = FindClass(clsid);
    return entry ? com::UnregisterClassKeys(*entry->clsid, entry->registration) : E_INVALIDARG;
}

}  // namespace
