// The COM kit through a server of its own (comkit_server.dll): registration with regsvr32,
// creation, dispatch over the type library, class factory, aggregation and unloading.
#include "ComHolders.h"
#include "Object.h"
#include "ComTestSupport.h"
#include "KitTestServer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using comtest::GuidString;
using comtest::KeyExists;
using comtest::ReadText;

CString ServerPath()
{
    return comtest::BuiltModule(KIT_SERVER_PATH);
}

std::vector<CString> RegisteredKeys()
{
    std::vector<CString> keys = comtest::RegisteredKeys({CLSID_Counter, L"KitTest.Counter.2", L"KitTest.Counter",
                                                         APPID_KitTest, L"comkit_server.dll", LIBID_KitTest, L"2.1",
                                                         IID_ICounter});
    keys.push_back(L"CLSID\\" + GuidString(CLSID_Pinger));
    return keys;
}

HRESULT InvokeMethod(IDispatch* dispatch, DISPID id, WORD flags, std::vector<VARIANT> arguments, VARIANT* result)
{
    DISPPARAMS params{arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
    UINT argumentError = 0;
    return dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, &argumentError);
}

class ComKit : public ::testing::Test {
protected:
    comtest::ApartmentScope m_com;
};

TEST_F(ComKit, Regsvr32WritesTheTableAndUnregisteringRemovesEveryKey)
{
    ASSERT_EQ(0, comtest::RunRegsvr32(ServerPath()));
    const CString clsid = L"CLSID\\" + GuidString(CLSID_Counter);
    for (const CString& key : RegisteredKeys())
        EXPECT_TRUE(KeyExists(key)) << key.ToNarrow();
    EXPECT_EQ(CString(L"Counter Object"), ReadText(clsid));
    EXPECT_EQ(0, ReadText(clsid + L"\\InprocServer32").CompareNoCase(ServerPath()));
    EXPECT_EQ(CString(L"Apartment"), ReadText(clsid + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_EQ(CString(L"KitTest.Counter.2"), ReadText(clsid + L"\\ProgID"));
    EXPECT_EQ(CString(L"KitTest.Counter"), ReadText(clsid + L"\\VersionIndependentProgID"));
    EXPECT_EQ(GuidString(LIBID_KitTest), ReadText(clsid + L"\\TypeLib"));
    EXPECT_EQ(GuidString(APPID_KitTest), ReadText(clsid, L"AppID"));
    EXPECT_EQ(GuidString(CLSID_Counter), ReadText(L"KitTest.Counter.2\\CLSID"));
    EXPECT_EQ(CString(L"Counter Object"), ReadText(L"KitTest.Counter"));
    EXPECT_EQ(CString(L"KitTest.Counter.2"), ReadText(L"KitTest.Counter\\CurVer"));
    EXPECT_EQ(CString(L"KitTest"), ReadText(L"AppID\\" + GuidString(APPID_KitTest)));
    EXPECT_EQ(GuidString(APPID_KitTest), ReadText(L"AppID\\comkit_server.dll", L"AppID"));
    const CString pinger = L"CLSID\\" + GuidString(CLSID_Pinger);
    EXPECT_EQ(CString(L"Both"), ReadText(pinger + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_FALSE(KeyExists(pinger + L"\\ProgID"));
    EXPECT_FALSE(KeyExists(pinger + L"\\Programmable"));

    // Created by CLSID and by either ProgID.
    com::ComPtr<ICounter> counter;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, counter.PutVoid()));
    LONG total = 0;
    EXPECT_EQ(S_OK, counter->Add(40, &total));
    EXPECT_EQ(S_OK, counter->Add(2, &total));
    EXPECT_EQ(42, total);
    for (const wchar_t* progId : {L"KitTest.Counter", L"KitTest.Counter.2"}) {
        CLSID found{};
        EXPECT_EQ(S_OK, CLSIDFromProgID(progId, &found));
        EXPECT_TRUE(IsEqualCLSID(CLSID_Counter, found));
    }

    ASSERT_EQ(0, comtest::RunRegsvr32(ServerPath(), true));
    for (const CString& key : RegisteredKeys())
        EXPECT_FALSE(KeyExists(key)) << key.ToNarrow();
    EXPECT_FALSE(KeyExists(L"TypeLib\\" + GuidString(LIBID_KitTest)));
    EXPECT_TRUE(KeyExists(L"CLSID"));
    EXPECT_TRUE(KeyExists(L"AppID"));
    // Unregistering what is not registered is no failure.
    EXPECT_EQ(0, comtest::RunRegsvr32(ServerPath(), true));
}

TEST_F(ComKit, DispatchCallsTheVtableThroughTheTypeLibrary)
{
    comtest::LoadedServer server(ServerPath());
    ASSERT_TRUE(server.Loaded());
    com::ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, server.GetClassObject(CLSID_Counter, IID_IClassFactory, factory.PutVoid()));
    com::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, dispatch.PutVoid()));

    UINT count = 0;
    EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    com::ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put()));
    EXPECT_EQ(DISP_E_BADINDEX, dispatch->GetTypeInfo(1, LOCALE_USER_DEFAULT, info.Put()));
    ASSERT_EQ(S_OK, dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put()));
    // The methods sit after IDispatch's seven in the v-table.
    FUNCDESC* add = nullptr;
    ASSERT_EQ(S_OK, info->GetFuncDesc(0, &add));
    EXPECT_EQ(1, add->memid);
    EXPECT_EQ(static_cast<SHORT>(7 * sizeof(void*)), add->oVft);
    info->ReleaseFuncDesc(add);

    const wchar_t* names[] = {L"Add", L"Name", L"Label", L"Missing"};
    DISPID ids[4] = {};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&names[i]), 1, 0, &ids[i]));
        EXPECT_EQ(i + 1, ids[i]);
    }
    EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&names[3]), 1, 0, &ids[3]));
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, dispatch->GetIDsOfNames(IID_IDispatch, const_cast<LPOLESTR*>(names), 1, 0, ids));

    com::Variant five(5L), result;
    EXPECT_EQ(S_OK, InvokeMethod(dispatch.Get(), 1, DISPATCH_METHOD, {five}, result.Put()));
    EXPECT_EQ(VT_I4, result.vt);
    EXPECT_EQ(5, result.lVal);
    EXPECT_EQ(S_OK, InvokeMethod(dispatch.Get(), 1, DISPATCH_METHOD, {five}, result.Put()));
    EXPECT_EQ(10, result.lVal);
    // The v-table sees the same object.
    com::ComPtr<ICounter> counter;
    ASSERT_EQ(S_OK, dispatch.As(&counter, IID_ICounter));
    LONG total = 0;
    EXPECT_EQ(S_OK, counter->Add(1, &total));
    EXPECT_EQ(11, total);

    EXPECT_EQ(S_OK, InvokeMethod(dispatch.Get(), 2, DISPATCH_PROPERTYGET, {}, result.Put()));
    ASSERT_EQ(VT_BSTR, result.vt);
    EXPECT_STREQ(L"counter", result.bstrVal);
    // An 8-bit text parameter takes a BSTR, or what converts to one, in the ANSI code page.
    com::Variant text(L"caf\u00e9"), number(12345L), zero(0L);
    EXPECT_EQ(S_OK, InvokeMethod(dispatch.Get(), 3, DISPATCH_METHOD, {text}, result.Put()));
    EXPECT_EQ(S_OK, counter->Add(0, &total));
    EXPECT_EQ(static_cast<LONG>(CString(L"caf\u00e9").ToNarrow(CP_ACP).size()), total);
    EXPECT_EQ(S_OK, InvokeMethod(dispatch.Get(), 3, DISPATCH_METHOD, {number}, result.Put()));
    EXPECT_EQ(S_OK, counter->Add(0, &total));
    EXPECT_EQ(5, total);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, InvokeMethod(dispatch.Get(), 3, DISPATCH_METHOD, {}, result.Put()));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, InvokeMethod(dispatch.Get(), 3, DISPATCH_METHOD, {text, text}, result.Put()));
    com::Variant unknown;
    unknown.vt = VT_UNKNOWN;
    unknown.punkVal = nullptr;
    EXPECT_EQ(DISP_E_TYPEMISMATCH, InvokeMethod(dispatch.Get(), 3, DISPATCH_METHOD, {unknown}, result.Put()));
    unknown.vt = VT_EMPTY;
    // A failure of the method comes back as an exception with its code.
    com::Variant nullText;
    nullText.vt = VT_BSTR;
    nullText.bstrVal = nullptr;
    EXCEPINFO exception{};
    DISPPARAMS params{&nullText, nullptr, 1, 0};
    EXPECT_EQ(DISP_E_EXCEPTION,
              dispatch->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &params, result.Put(), &exception, nullptr));
    EXPECT_EQ(E_INVALIDARG, exception.scode);
    // A text cut short by a NUL reaches no method, whichever way it comes.
    com::Variant cut;
    cut.vt = VT_BSTR;
    cut.bstrVal = SysAllocStringLen(L"ab\0cdefg", 8);
    com::Variant inVariant;  // as a script passes its variable
    inVariant.vt = VT_VARIANT | VT_BYREF;
    inVariant.pvarVal = &cut;
    for (const VARIANT& argument : {static_cast<const VARIANT&>(cut), static_cast<const VARIANT&>(inVariant)}) {
        EXPECT_EQ(S_OK, counter->Add(-total, &total));
        VARIANT copy = argument;
        DISPPARAMS one{&copy, nullptr, 1, 0};
        UINT badArgument = 99;
        EXPECT_EQ(DISP_E_TYPEMISMATCH,
                  dispatch->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &one, result.Put(), nullptr, &badArgument));
        EXPECT_EQ(0u, badArgument);
        EXPECT_EQ(S_OK, counter->Add(0, &total));
        EXPECT_EQ(0, total) << "the method ran with the text up to the NUL";
    }
    inVariant.vt = VT_EMPTY;
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, InvokeMethod(dispatch.Get(), 9, DISPATCH_METHOD, {}, result.Put()));
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE,
              dispatch->Invoke(1, IID_IDispatch, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr));
}

// An outer object that aggregates the counter and counts its own references.
class Outer : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** result) override
    {
        if (IsEqualIID(iid, IID_IUnknown)) {
            *result = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(iid, result) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    ULONG refs = 1;
    IUnknown* inner = nullptr;
};

TEST_F(ComKit, ClassFactoryAggregatesAndTheModuleUnloadsOnlyWithNothingAlive)
{
    comtest::LoadedServer server(ServerPath());
    ASSERT_TRUE(server.Loaded());
    EXPECT_EQ(S_OK, server.CanUnloadNow());
    com::ComPtr<IClassFactory> factory;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, server.GetClassObject(IID_ICounter, IID_IClassFactory, factory.PutVoid()));
    ASSERT_EQ(S_OK, server.GetClassObject(CLSID_Counter, IID_IClassFactory, factory.PutVoid()));
    EXPECT_EQ(S_FALSE, server.CanUnloadNow());

    // A lock alone keeps the module.
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory.Reset();
    EXPECT_EQ(S_FALSE, server.CanUnloadNow());
    ASSERT_EQ(S_OK, server.GetClassObject(CLSID_Counter, IID_IClassFactory, factory.PutVoid()));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));

    // An object alone keeps the module.
    com::ComPtr<ICounter> counter;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ICounter, counter.PutVoid()));
    com::ComPtr<IUnknown> unknown;
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, unknown.PutVoid()));
    factory.Reset();
    EXPECT_EQ(S_FALSE, server.CanUnloadNow());
    counter.Reset();
    EXPECT_EQ(S_OK, server.CanUnloadNow());

    // Aggregated: only IUnknown may be asked for; the inner object's interfaces delegate to
    // the outer object, and the aggregate keeps the module too.
    ASSERT_EQ(S_OK, server.GetClassObject(CLSID_Counter, IID_IClassFactory, factory.PutVoid()));
    Outer outer;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_ICounter, unknown.PutVoid()));
    ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)));
    factory.Reset();
    ICounter* inner = nullptr;
    ASSERT_EQ(S_OK, outer.QueryInterface(IID_ICounter, reinterpret_cast<void**>(&inner)));
    EXPECT_EQ(2u, outer.refs);
    IUnknown* controlling = nullptr;
    ASSERT_EQ(S_OK, inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&controlling)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), controlling);
    EXPECT_EQ(3u, outer.refs);
    controlling->Release();
    LONG total = 0;
    EXPECT_EQ(S_OK, inner->Add(3, &total));
    EXPECT_EQ(3, total);
    inner->Release();
    EXPECT_EQ(1u, outer.refs);
    EXPECT_EQ(S_FALSE, server.CanUnloadNow());
    EXPECT_EQ(0u, outer.inner->Release());
    EXPECT_EQ(S_OK, server.CanUnloadNow());
}

DWORD WINAPI AddRefAndRelease(void* object)
{
    auto* unknown = static_cast<IUnknown*>(object);
    for (int i = 0; i < 100000; ++i) {
        unknown->AddRef();
        unknown->Release();
    }
    return 0;
}

TEST_F(ComKit, FreeThreadedObjectCountsReferencesFromManyThreads)
{
    comtest::LoadedServer server(ServerPath());
    ASSERT_TRUE(server.Loaded());
    com::ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, server.GetClassObject(CLSID_Pinger, IID_IClassFactory, factory.PutVoid()));
    IUnknown* pinger = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&pinger)));
    factory.Reset();
    HANDLE threads[4];
    for (HANDLE& thread : threads)
        thread = CreateThread(nullptr, 0, AddRefAndRelease, pinger, 0, nullptr);
    WaitForMultipleObjects(4, threads, TRUE, INFINITE);
    for (HANDLE thread : threads)
        CloseHandle(thread);
    EXPECT_EQ(S_FALSE, server.CanUnloadNow());
    EXPECT_EQ(0u, pinger->Release());
    EXPECT_EQ(S_OK, server.CanUnloadNow());
}

// A class of a program's own module, served as a local server would serve it.
class CServedThing : public com::ObjectRoot<com::ApartmentThreading>, public IPersist {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CServedThing, IPersist>(IID_IPersist),
            {},
        };
        return table;
    }
    STDMETHODIMP GetClassID(CLSID* clsid) override
    {
        *clsid = kServedClass;
        return S_OK;
    }
    static constexpr CLSID kServedClass = {0x6B1E04F2, 0x35C8, 0x4A57, {0x9D, 0x0B, 0x2C, 0x91, 0xA4, 0xE7, 0xF3, 0x20}};
};

bool QuitIsQueued()
{
    MSG msg;
    bool quit = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        quit = quit || msg.message == WM_QUIT;
    return quit;
}

TEST_F(ComKit, ServedClassObjectsAreFoundByCoGetClassObjectAndTheServerQuitsWhenUnused)
{
    const com::ClassEntry classes[] = {
        {&CServedThing::kServedClass, &com::CreateInstance<CServedThing>,
         {L"Served", nullptr, nullptr, nullptr, false, com::ServerKind::LocalServer}},
    };
    com::Module module(classes);
    ASSERT_EQ(S_OK, module.RegisterClassObjects(CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE));
    const LONG held = module.LockCount();  // what the registered class object holds
    EXPECT_GE(held, 1);
    module.QuitWhenUnused(GetCurrentThreadId());

    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, CoGetClassObject(CServedThing::kServedClass, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory,
                                     reinterpret_cast<void**>(&factory)));
    IPersist* thing = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(&thing)));
    factory->Release();
    CLSID clsid{};
    EXPECT_EQ(S_OK, thing->GetClassID(&clsid));
    EXPECT_TRUE(IsEqualCLSID(clsid, CServedThing::kServedClass));
    EXPECT_FALSE(QuitIsQueued());  // a client still holds an object
    thing->Release();
    EXPECT_EQ(held, module.LockCount());
    EXPECT_TRUE(QuitIsQueued());

    // Revoked, the class is no longer served and nothing more asks to quit.
    module.RevokeClassObjects();
    EXPECT_EQ(0, module.LockCount());
    EXPECT_FALSE(QuitIsQueued());
    EXPECT_NE(S_OK, CoGetClassObject(CServedThing::kServedClass, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory,
                                     reinterpret_cast<void**>(&factory)));
}

}  // namespace
