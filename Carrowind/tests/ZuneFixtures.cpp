#include "ZuneFixtures.h"

#include "ZuneTestSupport.h"

#include <gtest/gtest.h>

namespace wizardtest {

void SetZuneSoftware(const wchar_t* version)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Zune", 0, nullptr, 0,
                                             KEY_SET_VALUE, nullptr, &key, nullptr));
    if (version)
        RegSetValueExW(key, L"CurrentVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                       static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(key, L"CurrentVersion");
    RegCloseKey(key);
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

ZuneServerRegistration::ZuneServerRegistration() : m_registered(comtest::RunRegsvr32(zunetest::ServerPath()) == 0) {}

ZuneServerRegistration::~ZuneServerRegistration()
{
    if (m_registered) {
        EXPECT_EQ(0, comtest::RunRegsvr32(zunetest::ServerPath(), true));
    }
}

}  // namespace wizardtest
