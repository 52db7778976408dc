#include "ServerRegistration.h"

#include "ComTestSupport.h"
#include "FileUtils.h"
#include "OtherProcessWindows.h"
#include "ProgressObject.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace wizardtest {
namespace {

const wchar_t* const kClsid = L"{2A50E646-7610-48AA-8F31-AA9EB98F9115}";

std::string View() { return sizeof(void*) == 8 ? " /reg:64" : " /reg:32"; }

// wine reg query of a key under HKEY_CLASSES_ROOT with its subkeys; its exit code.
int RegQuery(const CString& key, std::string* output)
{
    return testsupport::RunHostCommand("wine reg query \"HKCR\\" + key.ToNarrow() + "\" /s" + View(), output);
}

GUID Guid(const wchar_t* text)
{
    GUID guid{};
    CLSIDFromString(text, &guid);
    return guid;
}

std::vector<CString> ServerKeys(const WizardServer& server)
{
    const GUID appId = Guid(server.appId);
    const GUID libId = Guid(server.libId);
    std::vector<CString> keys = comtest::RegisteredKeys({CLSID_WMDMProgressObject, L"Vesperlin.WMDMProgressObject.1",
                                                         L"Vesperlin.WMDMProgressObject", appId, server.exeName, libId,
                                                         L"1.0", IID_IWMDMProgressObject});
    for (CString& key : keys)
        key.Replace(L"\\InprocServer32", L"\\LocalServer32");  // a program, not a DLL
    return keys;
}

bool Holds(const std::string& output, const CString& text)
{
    return CString(output.c_str()).MakeUpper().Find(CString(text).MakeUpper()) >= 0;
}

}  // namespace

void ExpectRegistrationAndItsRemoval(const WizardServer& server)
{
    ASSERT_TRUE(FileExists(server.program));
    ASSERT_EQ(0, testsupport::RunProgram(L"\"" + server.program + L"\" /RegServer"));
    for (const CString& key : ServerKeys(server))
        EXPECT_TRUE(comtest::KeyExists(key)) << key.ToNarrow();
    std::string output;
    ASSERT_EQ(0, RegQuery(CString(L"CLSID\\") + kClsid, &output));
    EXPECT_NE(std::string::npos, output.find("WMDMProgressObject Class")) << output;
    EXPECT_NE(std::string::npos, output.find("LocalServer32")) << output;
    EXPECT_TRUE(Holds(output, server.exeName)) << output;  // this program serves the class now
    EXPECT_NE(std::string::npos, output.find("Vesperlin.WMDMProgressObject.1")) << output;
    EXPECT_NE(std::string::npos, output.find("Programmable")) << output;
    EXPECT_TRUE(Holds(output, server.appId)) << output;
    EXPECT_TRUE(Holds(output, server.libId)) << output;
    ASSERT_EQ(0, RegQuery(L"Vesperlin.WMDMProgressObject", &output));
    EXPECT_NE(std::string::npos, output.find("CurVer")) << output;
    EXPECT_NE(std::string::npos, output.find("Vesperlin.WMDMProgressObject.1")) << output;
    ASSERT_EQ(0, RegQuery(CString(L"AppID\\") + server.appId, &output));
    EXPECT_TRUE(Holds(output, server.appName)) << output;
    ASSERT_EQ(0, RegQuery(CString(L"AppID\\") + server.exeName, &output));
    EXPECT_TRUE(Holds(output, server.appId)) << output;
    ASSERT_EQ(0, RegQuery(CString(L"TypeLib\\") + server.libId, &output));
    EXPECT_TRUE(Holds(output, server.libName)) << output;
    // Registering shows nothing and asks for no playlist.
    EXPECT_TRUE(testsupport::BoxesOfOtherProcesses().empty());

    ASSERT_EQ(0, testsupport::RunProgram(L"\"" + server.program + L"\" /UnregServer"));
    for (const CString& key : ServerKeys(server))
        EXPECT_FALSE(comtest::KeyExists(key)) << key.ToNarrow();
    for (const CString& key : {CString(L"CLSID\\") + kClsid, CString(L"Vesperlin.WMDMProgressObject"),
                               CString(L"Vesperlin.WMDMProgressObject.1"), CString(L"AppID\\") + server.appId,
                               CString(L"AppID\\") + server.exeName, CString(L"TypeLib\\") + server.libId})
        EXPECT_NE(0, RegQuery(key, &output)) << key.ToNarrow();
    // What is not the wizard's stays.
    EXPECT_TRUE(comtest::KeyExists(L"CLSID\\{00020424-0000-0000-C000-000000000046}"));
}

}  // namespace wizardtest
