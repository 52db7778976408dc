// The server as a COM module: registration with regsvr32 and its removal, creation by class
// id and ProgID, the component registrar, and late binding.
#include "ZuneTestSupport.h"

#include <gtest/gtest.h>

namespace {

using comtest::GuidString;
using comtest::KeyExists;
using comtest::ReadText;
using namespace zunetest;

const wchar_t* const kMethods[] = {L"Initialize",        L"GetConnected",      L"CheckConnection",
                                   L"TransferToZune",    L"TransferToZuneEx",  L"DeleteFromZune",
                                   L"DeleteFromZuneEx",  L"GetObjectIdList",   L"GetObjectIdListEx",
                                   L"GetDeviceStorageSize", L"GetDeviceStorageSizeEx", L"DoesTargetExist",
                                   L"ResetDevice"};

// Every key the server's registration writes: ZuneSupport's with the library and AppID, and
// the component registrar's.
std::vector<CString> RegisteredKeys()
{
    std::vector<CString> keys = comtest::RegisteredKeys({CLSID_ZuneSupport, L"Corvatine.ZuneSupport.1",
                                                         L"Corvatine.ZuneSupport", APPID_Corvatine, L"Corvatine.DLL",
                                                         LIBID_CorvatineLib, L"1.0", IID_IZuneSupport});
    const CString compReg = L"CLSID\\" + GuidString(CLSID_CompReg);
    keys.insert(keys.end(), {compReg, compReg + L"\\InprocServer32", compReg + L"\\TypeLib"});
    return keys;
}

TEST(CorvatineServer, Regsvr32WritesEveryKeyCreationWorksByClassIdAndProgIdAndRemovalTakesThemAway)
{
    comtest::ApartmentScope com;
    const CString path = ServerPath();
    ASSERT_EQ(0, comtest::RunRegsvr32(path));
    for (const CString& key : RegisteredKeys())
        EXPECT_TRUE(KeyExists(key)) << key.ToNarrow();
    const CString zune = L"CLSID\\" + GuidString(CLSID_ZuneSupport);
    const CString compReg = L"CLSID\\" + GuidString(CLSID_CompReg);
    EXPECT_EQ(CString(L"ZuneSupport Class"), ReadText(zune));
    EXPECT_EQ(0, ReadText(zune + L"\\InprocServer32").CompareNoCase(path));
    EXPECT_EQ(CString(L"Both"), ReadText(zune + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_EQ(CString(L"Corvatine.ZuneSupport.1"), ReadText(zune + L"\\ProgID"));
    EXPECT_EQ(CString(L"Corvatine.ZuneSupport"), ReadText(zune + L"\\VersionIndependentProgID"));
    EXPECT_EQ(GuidString(LIBID_CorvatineLib), ReadText(zune + L"\\TypeLib"));
    EXPECT_EQ(GuidString(APPID_Corvatine), ReadText(zune, L"AppID"));
    EXPECT_EQ(CString(L"CompReg Class"), ReadText(compReg));
    EXPECT_EQ(CString(L"Both"), ReadText(compReg + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_EQ(GuidString(LIBID_CorvatineLib), ReadText(compReg + L"\\TypeLib"));
    EXPECT_EQ(GuidString(CLSID_ZuneSupport), ReadText(L"Corvatine.ZuneSupport.1\\CLSID"));
    EXPECT_EQ(CString(L"Corvatine.ZuneSupport.1"), ReadText(L"Corvatine.ZuneSupport\\CurVer"));
    EXPECT_EQ(CString(L"Corvatine"), ReadText(L"AppID\\" + GuidString(APPID_Corvatine)));
    EXPECT_EQ(GuidString(APPID_Corvatine), ReadText(L"AppID\\Corvatine.DLL", L"AppID"));
    EXPECT_EQ(CString(L"Corvatine 1.0 Type Library"), ReadText(L"TypeLib\\" + GuidString(LIBID_CorvatineLib) + L"\\1.0"));
    EXPECT_EQ(CString(L"IZuneSupport"), ReadText(L"Interface\\" + GuidString(IID_IZuneSupport)));

    for (const wchar_t* progId : {L"Corvatine.ZuneSupport", L"Corvatine.ZuneSupport.1"}) {
        CLSID clsid{};
        ASSERT_EQ(S_OK, CLSIDFromProgID(progId, &clsid));
        com::ComPtr<IZuneSupport> zune;
        EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IZuneSupport, zune.PutVoid()));
        ASSERT_TRUE(zune);
        EXPECT_EQ(S_OK, zune->ResetDevice(2));
    }
    com::ComPtr<IComponentRegistrar> registrar;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_CompReg, nullptr, CLSCTX_INPROC_SERVER, IID_IComponentRegistrar,
                                     registrar.PutVoid()));
    SAFEARRAY* clsids = nullptr;
    SAFEARRAY* descriptions = nullptr;
    ASSERT_EQ(S_OK, registrar->GetComponents(&clsids, &descriptions));
    LONG upper = -1;
    SafeArrayGetUBound(clsids, 1, &upper);
    EXPECT_EQ(1, upper);
    BSTR first = nullptr;
    LONG zero = 0;
    SafeArrayGetElement(descriptions, &zero, &first);
    EXPECT_STREQ(L"ZuneSupport Class", first);
    SysFreeString(first);
    SafeArrayDestroy(clsids);
    SafeArrayDestroy(descriptions);
    // One class at a time.
    const com::Bstr compRegId(GuidString(CLSID_CompReg));
    EXPECT_EQ(S_OK, registrar->UnregisterComponent(compRegId));
    EXPECT_FALSE(KeyExists(compReg));
    EXPECT_TRUE(KeyExists(zune));
    EXPECT_EQ(S_OK, registrar->RegisterComponent(compRegId));
    EXPECT_EQ(CString(L"CompReg Class"), ReadText(compReg));
    EXPECT_EQ(E_INVALIDARG, registrar->RegisterComponent(com::Bstr(L"{00000000-0000-0000-0000-000000000001}")));
    registrar.Reset();
    CoFreeUnusedLibraries();

    ASSERT_EQ(0, comtest::RunRegsvr32(path, true));
    for (const CString& key : RegisteredKeys())
        EXPECT_FALSE(KeyExists(key)) << key.ToNarrow();
    EXPECT_FALSE(KeyExists(L"TypeLib\\" + GuidString(LIBID_CorvatineLib)));
    CLSID clsid{};
    EXPECT_NE(S_OK, CLSIDFromProgID(L"Corvatine.ZuneSupport", &clsid));
}

TEST(CorvatineServer, LateBindingNamesEveryMethodRunsResetDeviceAndRefusesTheBufferWritingOnes)
{
    MtaScope com;
    Server server;
    ASSERT_TRUE(server.Loaded());
    com::ComPtr<IZuneSupport> zune = server.Create();
    ASSERT_TRUE(zune);
    EXPECT_EQ(S_FALSE, server.CanUnloadNow());
    com::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, zune.As(&dispatch, IID_IDispatch));

    for (DISPID expected = 1; expected <= 13; ++expected) {
        LPOLESTR name = const_cast<LPOLESTR>(kMethods[expected - 1]);
        DISPID id = 0;
        EXPECT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id)) << expected;
        EXPECT_EQ(expected, id);
    }
    // The help strings are the type library's.
    com::ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put()));
    BSTR help = nullptr;
    EXPECT_EQ(S_OK, info->GetDocumentation(13, nullptr, &help, nullptr, nullptr));
    EXPECT_STREQ(L"method ResetDevice", help);
    SysFreeString(help);

    com::Variant steps(2L), result;
    DISPPARAMS params{&steps, nullptr, 1, 0};
    EXPECT_EQ(S_OK, dispatch->Invoke(13, IID_NULL, 0, DISPATCH_METHOD, &params, result.Put(), nullptr, nullptr));
    // A script's string is no caller buffer: every method that writes one is refused, whatever
    // it is handed.
    wchar_t shortText[] = L"ab";
    com::Variant text;
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(shortText);
    DISPPARAMS one{&text, nullptr, 1, 0};
    for (DISPID id = 1; id <= 12; ++id)
        EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
                  dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &one, result.Put(), nullptr, nullptr))
            << id;
    dispatch.Reset();
    zune.Reset();
    EXPECT_EQ(S_OK, server.CanUnloadNow());
}

}  // namespace
