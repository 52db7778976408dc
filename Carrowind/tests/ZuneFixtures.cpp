#include "ZuneFixtures.h"

#include "ZuneTestSupport.h"

#include <gtest/gtest.h>

namespace wizardtest {

void SetZuneSoftware(const wchar_t* version)
{
    // The Zune software is a 64-bit program on 64-bit Windows: its key lives in the registry's
    // 64-bit view, which a 32-bit build sees only when it asks for that view.
    const std::string key = "\"HKLM\\SOFTWARE\\Microsoft\\Zune\"";
    if (version) {
        const std::string text = CString(version).ToNarrow();
        ASSERT_EQ(0, testsupport::RunHostCommand("wine reg add " + key + " /v CurrentVersion /t REG_SZ /d \"" + text +
                                                 "\" /f /reg:64"));
    } else {
        testsupport::RunHostCommand("wine reg delete " + key + " /v CurrentVersion /f /reg:64");
    }
    // Nothing in the 32-bit view stands in for it.
    testsupport::RunHostCommand("wine reg delete " + key + " /v CurrentVersion /f /reg:32");
}

void UseUsbZune(const testsupport::ScratchFolder& folder)
{
    testsupport::WriteAll(folder / L"lists.ini",
                          "[Interfaces]\nCount=1\n[Interface1]\nClass=USB\n"
                          "Path=\\\\?\\usb#vid_045e&pid_0710#5&1&0&2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}\n"
                          "Description=Zune\n");
    SetEnvironmentVariableW(L"VESPERLIN_DEVICE_LISTS", folder / L"lists.ini");
}

void ForgetUsbZune() { SetEnvironmentVariableW(L"VESPERLIN_DEVICE_LISTS", nullptr); }

void LoadZuneServer()
{
    static HMODULE loaded = LoadLibraryW(zunetest::ServerPath());
    static const int registered = comtest::RunRegsvr32(zunetest::ServerPath());
    ASSERT_NE(nullptr, loaded);
    ASSERT_EQ(0, registered);
}

ZuneServerRegistration::ZuneServerRegistration() : ZuneServerRegistration(zunetest::ServerPath()) {}

ZuneServerRegistration::ZuneServerRegistration(const CString& module)
    : m_module(module), m_registered(comtest::RunRegsvr32(module) == 0)
{
}

ZuneServerRegistration::~ZuneServerRegistration()
{
    if (m_registered) {
        EXPECT_EQ(0, comtest::RunRegsvr32(m_module, true));
    }
}

}  // namespace wizardtest
