// The service address setting: requests keep their path and query and go to the server a test
// or the run script names; anything that is no server address leaves the default.
#include "ServiceAddress.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

namespace {

const wchar_t kUpdates[] = L"http://services.vesperlin.example/ZKY/ZKYUpdateService.svc/CheckForUpdates";

TEST(ServiceAddress, RedirectsTheServerAndKeepsPathAndQuery)
{
    const struct {
        const wchar_t* url;
        const wchar_t* address;
        const wchar_t* expected;
    } cases[] = {
        {kUpdates, L"", kUpdates},
        {kUpdates, L"  ", kUpdates},
        {kUpdates, L"http://127.0.0.1:8123", L"http://127.0.0.1:8123/ZKY/ZKYUpdateService.svc/CheckForUpdates"},
        {kUpdates, L"http://127.0.0.1:8123/", L"http://127.0.0.1:8123/ZKY/ZKYUpdateService.svc/CheckForUpdates"},
        {kUpdates, L"https://localhost", L"https://localhost/ZKY/ZKYUpdateService.svc/CheckForUpdates"},
        {L"http://a.example/x.svc/Check?Probe=1&b=2", L"http://127.0.0.1:9", L"http://127.0.0.1:9/x.svc/Check?Probe=1&b=2"},
        {L"http://a.example", L"http://127.0.0.1:9", L"http://127.0.0.1:9"},
        // No server address: the default stays.
        {kUpdates, L"127.0.0.1:8123", kUpdates},
        {kUpdates, L"ftp://127.0.0.1", kUpdates},
        {kUpdates, L"file:C:\\x", kUpdates},
        {kUpdates, L"http://127.0.0.1:8123/other/path", kUpdates},
        {L"not a url", L"http://127.0.0.1:9", L"not a url"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.expected), RedirectServiceUrl(c.url, c.address)) << CString(c.address).ToNarrow();
}

TEST(ServiceAddress, ComesFromTheSettingWhenThereIsOne)
{
    const wchar_t* const key = L"Software\\Vesperlin, Inc.\\Vesperlin Brenvale";
    SHDeleteKeyW(HKEY_CURRENT_USER, key);
    CWinApp app{nullptr};
    app.SetRegistryKey(L"Vesperlin, Inc.");
    EXPECT_EQ(CString(kUpdates), ResolveServiceUrl(kUpdates));
    ASSERT_TRUE(app.WriteProfileString(L"Settings", kServiceAddressSetting, L"http://127.0.0.1:8123"));
    EXPECT_EQ(CString(L"http://127.0.0.1:8123/ZKY/ZKYUpdateService.svc/CheckForUpdates"), ResolveServiceUrl(kUpdates));
    SHDeleteKeyW(HKEY_CURRENT_USER, key);
}

}  // namespace
