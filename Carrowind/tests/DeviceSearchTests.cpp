// The device search over the device manager's and the mobile link's stand-ins and a removable
// test drive: what records it makes, the questions it asks and its one report.
#include "DeviceSearch.h"
#include "SearchRunner.h"
#include "PlayerRecord.h"
#include "SuiteMessages.h"
#include "TestDrive.h"
#include "DeviceEnumeration.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A case label as a test name: its letters and digits.
std::string TestName(const char* label)
{
    std::string name;
    for (const char* p = label; *p; ++p)
        if (isalnum(static_cast<unsigned char>(*p)))
            name += *p;
    return name;
}

struct Found {
    CString name;
    CString displayName;
    int storageLayout;
    int isMp3Only;
    BOOL mobileDevice;
    int isMobileStorageCard;
    CString mobileAppFolder;
    BOOL massStorage;
    CString targetFolder;
};

struct SearchCase {
    const char* label;
    std::string devices;          // the device manager's fixture; "%D" stands for the test drive's letter
    std::string mobiles;          // the mobile link's fixture (empty: none)
    const char* profileName;      // a profile file written to the test drive's root (null: none)
    std::vector<int> answers;     // the boxes' answers, in order
    std::vector<Found> expected;
    std::vector<const wchar_t*> boxes;  // a piece of each box's text, in order
    const wchar_t* minVersion = L"";
    const wchar_t* curVersion = L"";
};

const char kProfile[] = "<?xml version=\"1.0\"?>\r\n<Carrowind><VPM>\\Books\\[title]</VPM><Thumbnail>1</Thumbnail>"
                        "<ClientID>R-7</ClientID></Carrowind>\r\n";

const char kMobileRegistry[] =
    "[Device1.Registry]\n"
    "HKCR\\Vesperlin.Media\\Shell\\Open\\Command|=\"\\Program Files\\Reader\\Reader.exe\" \"%1\"\n"
    "HKCU\\Software\\Vesperlin, Inc.\\Brenvale\\Settings|DownloadFolder=\\My Documents\\Audiobooks\n"
    "HKCU\\Software\\Vesperlin, Inc.\\Brenvale\\Settings|MediaDBFolder=\\My Documents\\Library\n"
    "HKCU\\Software\\Vesperlin, Inc.\\Brenvale\\Settings|ProductVersion=1.5.0.0\n"
    "HKCU\\Software\\Vesperlin, Inc.\\Brenvale\\Settings|MobileID=PPC-42\n";

const char kMobileDevices[] =
    "[Devices]\nCount=3\n"
    "[Device1]\nName=Pocket PC\nSerial=0x0001:0A0B0C0D\nProtocol=RAPI\n[Device1.Storage1]\nName=\\\nFolder=ppc\n"
    "[Device2]\nName=Storage Card\nSerial=0x0001:0A0B0C0E\nProtocol=RAPI\n[Device2.Storage1]\nName=\\\nFolder=ppc\n"
    "[Device3]\nName=SD Card\nSerial=0x0001:0A0B0C0F\nProtocol=RAPI\n[Device3.Storage1]\nName=\\\nFolder=ppc\n";

const char kMobileLink[] = "[Devices]\nCount=1\n[Device1]\nName=Pocket PC\nFolder=ppc\nCards=Storage Card,SD Card\n";

const SearchCase kCases[] = {
    {"an MTP player",
     "[Devices]\nCount=1\n[Device1]\nName=Kitchen Player\nSerial=0x045E:0A0B0C0D\nProtocol=MTP\n"
     "FriendlyName=Kitchen Player\nModelName=KP-1 Kitchen Player\n[Device1.Storage1]\nName=\\\nFolder=player\n",
     "", nullptr, {}, {{L"Kitchen Player", L"KP-1 Kitchen Player (Kitchen Player)", 1, 0, FALSE, kUnknownValue, L"", FALSE, L""}},
     {}},
    {"a mass-storage player with a profile file",
     "[Devices]\nCount=1\n[Device1]\nName=Removable Disk (%D:)\nSerial=0x0781:0102\n[Device1.Storage1]\nName=\\\nFolder=player\n",
     "", "Vesperlin.xml", {},
     {{L"Removable Disk (%D:)", L"Removable Disk (%D:)", kUnknownValue, 0, FALSE, kUnknownValue, L"", TRUE, L"%D:\\Books"}},
     {}},
    {"a mass-storage player with a hidden profile file",
     "[Devices]\nCount=1\n[Device1]\nName=Removable Disk (%D:)\nSerial=0x0781:0102\n[Device1.Storage1]\nName=\\\nFolder=player\n",
     "", ".Vesperlin.xml", {},
     {{L"Removable Disk (%D:)", L"Removable Disk (%D:)", kUnknownValue, 0, FALSE, kUnknownValue, L"", TRUE, L"%D:\\Books"}},
     {}},
    {"a Windows Mobile device with two storage cards and an old reader", kMobileDevices, kMobileLink, nullptr, {IDOK},
     {{L"Pocket PC", L"Windows Mobile device (Pocket PC)", 0, 0, TRUE, 0, L"", FALSE, L""},
      {L"Storage Card", L"Windows Mobile device (Storage Card)", 0, 0, TRUE, 1, L"\\Program Files\\Reader\\", FALSE, L""},
      {L"SD Card", L"Windows Mobile device (SD Card)", 0, 0, TRUE, 1, L"\\Program Files\\Reader\\", FALSE, L""}},
     {L"version 2.0.0.0 or higher"}, L"2.0.0.0", L"2.0.0.0"},
    {"a Windows Mobile device whose reader has a newer version", kMobileDevices, kMobileLink, nullptr, {IDOK},
     {{L"Pocket PC", L"Windows Mobile device (Pocket PC)", 0, 0, TRUE, 0, L"\\Program Files\\Reader\\", FALSE, L""},
      {L"Storage Card", L"Windows Mobile device (Storage Card)", 0, 0, TRUE, 1, L"\\Program Files\\Reader\\", FALSE, L""},
      {L"SD Card", L"Windows Mobile device (SD Card)", 0, 0, TRUE, 1, L"\\Program Files\\Reader\\", FALSE, L""}},
     {L"Version 2.0.0.0 of the Vesperlin reader"}, L"1.0.0.0", L"2.0.0.0"},
    {"a device that is not ready",
     "[Devices]\nCount=1\n[Device1]\nName=Busy Player\nStatus=2\nSerial=0x045E:0A0B\nProtocol=MTP\n",
     "", nullptr, {IDCANCEL}, {}, {L"No portable players could be found."}},
    {"a device without a serial number that has the extended interface",
     "[Devices]\nCount=1\n[Device1]\nName=Old Player\nProtocol=MTP\nFriendlyName=Old Player\n",
     "", nullptr, {}, {{L"Old Player", L"Old Player", 1, 1, FALSE, kUnknownValue, L"", FALSE, L""}}, {}},
    {"a device without a serial number or the extended interface",
     "[Devices]\nCount=1\n[Device1]\nName=Older Player\nDevice3=0\n",
     "", nullptr, {IDCANCEL}, {}, {L"No portable players could be found."}},
    {"no player: Retry, then Cancel", "[Devices]\nCount=0\n", "", nullptr, {IDRETRY, IDCANCEL}, {},
     {L"No portable players could be found.", L"No portable players could be found."}},
};

CString WithDrive(const wchar_t* text, wchar_t letter)
{
    CString result = text;
    result.Replace(L"%D", CString(letter));
    return result;
}

class DeviceSearch : public ::testing::TestWithParam<SearchCase> {
protected:
    void SetUp() override { FreeUsbDeviceTable(); }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
        SetEnvironmentVariableW(L"VESPERLIN_RAPI_DEVICES", nullptr);
    }

    testsupport::ScratchFolder m_folder;
};

TEST_P(DeviceSearch, ListsThePlayersAndReportsOnce)
{
    const SearchCase& c = GetParam();
    testsupport::ScratchFolder driveFolder;
    testsupport::TestDrive drive(driveFolder.Path(), testsupport::DriveKind::Removable);
    ASSERT_TRUE(drive.Made());
    const wchar_t letter = drive.Letter();
    if (c.profileName)
        testsupport::WriteAll(drive.Root() + CString(c.profileName), kProfile);
    CreateDirectoryW(m_folder / L"player", nullptr);
    CreateDirectoryW(m_folder / L"ppc", nullptr);
    CreateDirectoryW(m_folder / L"ppc\\Storage Card", nullptr);
    CreateDirectoryW(m_folder / L"ppc\\SD Card", nullptr);

    std::string devices = c.devices;
    for (size_t at = devices.find("%D"); at != std::string::npos; at = devices.find("%D"))
        devices.replace(at, 2, 1, static_cast<char>(letter));
    testsupport::WriteAll(m_folder / L"devices.ini", devices);
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", m_folder / L"devices.ini");
    if (!c.mobiles.empty()) {
        testsupport::WriteAll(m_folder / L"mobiles.ini", c.mobiles + kMobileRegistry);
        SetEnvironmentVariableW(L"VESPERLIN_RAPI_DEVICES", m_folder / L"mobiles.ini");
    }

    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    testsupport::MessageBoxRecorder boxes(c.answers.empty() ? std::vector<int>{IDOK} : c.answers);
    CObArray found;
    SearchRun run(&found, L"No portable players could be found.");
    run.job->mobileMinVersion = c.minVersion;
    run.job->mobileCurVersion = c.curVersion;
    run.job->mp3Title = TRUE;
    ASSERT_TRUE(run.Run());
    EXPECT_EQ(1, run.reports);
    ASSERT_EQ(c.expected.size(), static_cast<size_t>(found.GetSize()));
    for (size_t i = 0; i < c.expected.size(); ++i) {
        const Found& want = c.expected[i];
        auto* record = PlayerAt(found, static_cast<INT_PTR>(i));
        SCOPED_TRACE(static_cast<int>(i));
        EXPECT_EQ(WithDrive(want.name, letter), record->name);
        EXPECT_EQ(WithDrive(want.displayName, letter), record->GetDisplayName());
        EXPECT_EQ(want.storageLayout, record->storageLayout);
        EXPECT_EQ(want.isMp3Only, record->IsMp3Only());
        EXPECT_EQ(want.mobileDevice, record->mobileDevice);
        EXPECT_EQ(want.isMobileStorageCard, record->isMobileStorageCard);
        EXPECT_EQ(CString(want.mobileAppFolder), record->mobileAppFolder);
        EXPECT_EQ(want.massStorage, record->massStorage);
        EXPECT_EQ(WithDrive(want.targetFolder, letter), record->targetFolder);
        if (record->mobileDevice && !record->mobileAppFolder.IsEmpty()) {
            EXPECT_EQ(CString(L"PPC-42"), record->clientId);
            EXPECT_EQ(CString(L"\\My Documents\\Audiobooks\\"), record->mobileDownloadFolder);
        }
        if (record->massStorage) {
            EXPECT_TRUE(record->joinTarget);
            EXPECT_TRUE(record->thumbnailFlag);
            EXPECT_EQ(CString(L"R-7"), record->clientId);
        }
        // The device interface crosses to this thread through its stream.
        EXPECT_NE(nullptr, record->GetDeviceInterface());
    }
    ASSERT_EQ(c.boxes.size(), boxes.Boxes().size());
    for (size_t i = 0; i < c.boxes.size(); ++i)
        EXPECT_GE(boxes.Boxes()[i].text.Find(c.boxes[i]), 0) << static_cast<const wchar_t*>(boxes.Boxes()[i].text);
    DeleteRecords(found);
    CoUninitialize();
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DeviceSearch, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SearchCase>& info) { return TestName(info.param.label); });

}  // namespace
