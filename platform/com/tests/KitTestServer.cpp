// The kit's test server DLL.
#include "KitTestServer.h"

#include "ClassFactory.h"
#include "Dispatch.h"
#include "Module.h"
#include "Object.h"

#include <cstring>

namespace {

class CCounter : public com::ObjectRoot<com::ApartmentThreading>, public com::Dispatch<ICounter, &IID_ICounter> {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CCounter, ICounter>(IID_ICounter),
            com::Implements<CCounter, IDispatch>(IID_IDispatch),
            {},
        };
        return table;
    }

    STDMETHODIMP Add(LONG value, LONG* total) override
    {
        if (!total)
            return E_POINTER;
        m_total += value;
        *total = m_total;
        return S_OK;
    }
    STDMETHODIMP get_Name(BSTR* name) override
    {
        if (!name)
            return E_POINTER;
        *name = SysAllocString(L"counter");
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP Label(LPSTR text) override
    {
        if (!text || !*text)
            return E_INVALIDARG;
        m_total = static_cast<LONG>(std::strlen(text));
        return S_OK;
    }

private:
    LONG m_total = 0;
};

class CPinger : public com::ObjectRoot<com::FreeThreading>, public IUnknown {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CPinger, IUnknown>(IID_IUnknown),
            {},
        };
        return table;
    }
};

const com::ClassEntry kClasses[] = {
    {&CLSID_Counter, &com::CreateInstance<CCounter>,
     {L"Counter Object", L"KitTest.Counter.2", L"KitTest.Counter", L"Apartment", true, com::ServerKind::InProcess}},
    {&CLSID_Pinger, &com::CreateInstance<CPinger>,
     {L"Pinger Object", nullptr, nullptr, L"Both", false, com::ServerKind::InProcess}},
};
const com::TypeLibRegistration kTypeLib{&LIBID_KitTest, 2, 1};
const com::AppIdRegistration kAppId{&APPID_KitTest, L"KitTest", L"comkit_server.dll"};
com::Module g_module(kClasses, &kTypeLib, &kAppId);

}  // namespace
