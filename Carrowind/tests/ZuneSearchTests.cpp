// The device search's Zune branch: a Zune the USB device list shows, reached through the Zune
// device server over the portable-devices stand-in, and the questions when it cannot be had.
#include "ComTestSupport.h"
#include "DeviceSearch.h"
#include "SearchRunner.h"
#include "PlayerRecord.h"
#include "SuiteMessages.h"
#include "DeviceEnumeration.h"
#include "TestSupport.h"
#include "ZuneClient.h"
#include "ZuneFixtures.h"
#include "ZuneTestSupport.h"

#include <gtest/gtest.h>

namespace {

using wizardtest::SetZuneSoftware;

struct ZuneCase {
    const char* label;
    const wchar_t* deviceName;   // the portable device's friendly name
    const wchar_t* extra;        // more lines of its fixture section
    const wchar_t* software;     // the Zune software's version
    int serverAnswer;            // what the server's own question is answered
    std::vector<int> answers;    // our boxes' answers
    bool found;                  // one Zune record
    size_t serverBoxes;
    std::vector<const wchar_t*> boxes;  // a piece of each of our boxes' texts
};

const ZuneCase kCases[] = {
    {"a connected Zune", L"Microsoft Zune", L"", L"3.1", IDOK, {}, true, 0, {}},
    {"a busy Zune the user retries", L"Microsoft Zune", L"BusyOpens=1\r\n", L"4.0", IDRETRY, {}, true, 1, {}},
    // The server asked and the user cancelled: no record, and no not-found question either.
    {"a busy Zune the user gives up", L"Microsoft Zune", L"BusyOpens=5\r\n", L"4.0", IDCANCEL, {}, false, 1, {}},
    // The list shows a Zune the server does not know by that name: never another player.
    {"a Zune of another name", L"Kitchen Zune", L"", L"3.1", IDCANCEL, {IDCANCEL}, false, 0, {L"Can't access the device 'Microsoft Zune'."}},
    {"old Zune software", L"Microsoft Zune", L"", L"2.5", IDOK, {IDOK, IDCANCEL}, false, 0,
     {L"Zune software is needed to copy titles to your Zune; version 2.5 is installed.", L"No portable players could be found."}},
};

class ZuneSearch : public ::testing::TestWithParam<ZuneCase> {
protected:
    static void SetUpTestSuite() { wizardtest::LoadZuneServer(); }
    void TearDown() override
    {
        // The USB device table is kept for the process: the next test lists its own devices.
        FreeUsbDeviceTable();
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
        wizardtest::ForgetUsbZune();
        SetZuneSoftware(nullptr);
    }
    testsupport::ScratchFolder m_folder;
};

TEST_P(ZuneSearch, FindsTheZuneThroughTheServer)
{
    const ZuneCase& c = GetParam();
    SCOPED_TRACE(c.label);
    testsupport::WriteAll(m_folder / L"devices.ini", "[Devices]\nCount=0\n");
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", m_folder / L"devices.ini");
    wizardtest::UseUsbZune(m_folder);
    SetZuneSoftware(c.software);
    zunetest::Device device{c.deviceName};
    device.extra = c.extra;
    zunetest::Devices zunes({device});

    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    comtest::ServerMessageBoxes serverBoxes(L"Corvatine.dll", c.serverAnswer);
    ASSERT_TRUE(serverBoxes.Installed());
    testsupport::MessageBoxRecorder boxes(c.answers.empty() ? std::vector<int>{IDCANCEL} : c.answers);
    CObArray found;
    SearchRun run(&found, L"No portable players could be found.");
    ASSERT_TRUE(run.Run());
    EXPECT_EQ(1, run.reports);

    ASSERT_EQ(c.found ? 1 : 0, found.GetSize());
    if (c.found) {
        PlayerRecord* zune = PlayerAt(found, 0);
        EXPECT_EQ(CString(L"Microsoft Zune"), zune->name);
        EXPECT_EQ(CString(L"Microsoft Zune"), zune->GetDisplayName());
        EXPECT_EQ(1, zune->IsZune());
        EXPECT_EQ(0, zune->zuneIndex);
        ASSERT_EQ(1, ZuneDeviceCount());
        EXPECT_EQ(0, FindZuneDevice(L"Microsoft Zune"));
        EXPECT_EQ(-1, FindZuneDevice(L"microsoft zune"));
        // This thread uses the table's server directly, as the pages do.
        EXPECT_TRUE(ConnectZuneDevice(nullptr, L"Microsoft Zune"));
        ULONGLONG capacity = 0, freeSpace = 0;
        CString status;
        EXPECT_EQ(S_OK, GetZuneStorageSize(ZuneDevices()[0].server, &capacity, &freeSpace, &status));
        EXPECT_EQ(6000000000ull, freeSpace);
    } else {
        EXPECT_EQ(0, ZuneDeviceCount());
    }
    EXPECT_EQ(c.serverBoxes, serverBoxes.Boxes().size());
    ASSERT_EQ(c.boxes.size(), boxes.Boxes().size());
    for (size_t i = 0; i < c.boxes.size(); ++i)
        EXPECT_GE(boxes.Boxes()[i].text.Find(c.boxes[i]), 0) << static_cast<const wchar_t*>(boxes.Boxes()[i].text);
    DeleteRecords(found);
    ReleaseZuneDevices();
    CoUninitialize();
}

INSTANTIATE_TEST_SUITE_P(Zunes, ZuneSearch, ::testing::ValuesIn(kCases));

TEST(ZuneClient, SoftwareVersions)
{
    const struct {
        const wchar_t* version;
        BOOL newer;
    } cases[] = {{L"2.5", FALSE}, {L"3.0", TRUE}, {L"4", FALSE}, {L"", FALSE}, {L"11.2", TRUE}};
    for (const auto& c : cases)
        EXPECT_EQ(c.newer, IsZuneSoftware3OrNewer(c.version)) << c.version;
}

// A delete the server refuses is told, with the server's words, through the message-box funnel
// when there is an owner; without one the caller tells it (no box).
TEST(ZuneClient, ARefusedDeleteIsToldThroughTheFunnel)
{
    wizardtest::LoadZuneServer();
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    IZuneSupport* server = nullptr;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ZuneSupport, nullptr, CLSCTX_INPROC_SERVER, IID_IZuneSupport,
                                           reinterpret_cast<void**>(&server))));
    // Never connected: the server refuses every delete.
    HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, owner);
    const struct {
        HWND owner;
        size_t boxes;
    } cases[] = {{owner, 1}, {nullptr, 0}};
    for (const auto& c : cases) {
        testsupport::MessageBoxRecorder boxes(IDOK);
        EXPECT_FALSE(DeleteZuneObject(c.owner, server, L"Microsoft Zune", L"o1"));
        ASSERT_EQ(c.boxes, boxes.Boxes().size());
        if (c.boxes) {
            EXPECT_EQ(CString(L"Delete ERROR:  device is not connected"), boxes.Boxes()[0].text);
            EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), boxes.Boxes()[0].type);
            EXPECT_EQ(owner, boxes.Boxes()[0].owner);
        }
    }
    DestroyWindow(owner);
    server->Release();
    CoUninitialize();
}

}  // namespace
