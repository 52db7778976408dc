// The device search's Apple side over the device manager's and the device lists' stand-ins, an
// iPod drive and the iTunes stand-in: every iPod found once, whether iTunes runs or not, with
// its kind and texts, and a shuffle recognised by its USB device.
#include "ConfirmPage.h"
#include "DeviceEnumeration.h"
#include "DeviceSearch.h"
#include "PlayerRecord.h"
#include "SearchRunner.h"
#include "TestDrive.h"
#include "TestSupport.h"
#include "iTunesAutomation.h"
#include "iTunesTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct AppleFound {
    const wchar_t* name;
    const wchar_t* displayName;
    DWORD kind;  // GetAppleDeviceKind of the display name
    BOOL isShuffle;
};

struct AppleCase {
    const char* label;
    bool iTunesOpen;        // the stand-in runs before the search (else the search starts it)
    bool mp3Title;
    const char* usbDevice;  // the Apple USB device's path (null: none plugged in)
    std::string wmdm;       // the device manager's devices; "%D" is the iPod drive's letter
    std::string sources;    // the iTunes stand-in's iPod sources (after the library)
    std::vector<AppleFound> expected;
    DWORD sourceFlag = 1;   // the Apple records' iTunes source flag: iTunes shows iPods
};

const char kPodUsb[] = "\\\\?\\usb#vid_05ac&pid_1261#000a2700138f4c11#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
const char kShuffleUsb[] = "\\\\?\\usb#vid_05ac&pid_1301#000a27001a2b3c4d#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

const char kPodDrive[] =
    "[Device1]\nName=Ada's iPod (%D:)\nManufacturer=Apple\nProtocol=MSC\n[Device1.Storage1]\nName=\\\nFolder=pod\n";
const char kAdasPod[] = "[Source2]\nKind=2\nName=Ada's iPod\nFreeSpace=4000000000\n";

const wchar_t kLibrary[] = L"iTunes Library";

const AppleCase kAppleCases[] = {
    {"an iPod with iTunes closed", false, true, kPodUsb, std::string("[Devices]\nCount=1\n") + kPodDrive, kAdasPod,
     {{L"Ada's iPod", L"Apple device (Ada's iPod)", kAppleDevice, FALSE}, {kLibrary, kLibrary, kAppleLibraryBit, FALSE}}},
    {"an iPod with iTunes open", true, true, kPodUsb, std::string("[Devices]\nCount=1\n") + kPodDrive, kAdasPod,
     {{L"Ada's iPod", L"Apple device (Ada's iPod)", kAppleDevice, FALSE}, {kLibrary, kLibrary, kAppleLibraryBit, FALSE}}},
    {"an iPod for a Windows Media title with iTunes closed", false, false, kPodUsb,
     std::string("[Devices]\nCount=1\n") + kPodDrive, kAdasPod,
     {{L"Ada's iPod", L"Apple device (Ada's iPod)", kAppleDevice, FALSE}}},
    {"an iPod shuffle", true, true, kShuffleUsb,
     "[Devices]\nCount=1\n[Device1]\nName=Ada's shuffle (%D:)\nManufacturer=Apple\n[Device1.Storage1]\nName=\\\nFolder=pod\n",
     "[Source2]\nKind=2\nName=Ada's shuffle\nFreeSpace=1000000000\n",
     {{L"Ada's shuffle", L"Apple iPod Shuffle (Ada's shuffle)", kAppleIPodShuffle, TRUE},
      {kLibrary, kLibrary, kAppleLibraryBit, TRUE}}},
    {"two iPods, one of them without a drive", false, true, kPodUsb, std::string("[Devices]\nCount=1\n") + kPodDrive,
     std::string(kAdasPod) + "[Source3]\nKind=2\nName=Ben's Nano\nFreeSpace=2000000000\n",
     {{L"Ada's iPod", L"Apple device (Ada's iPod)", kAppleDevice, FALSE},
      {kLibrary, kLibrary, kAppleLibraryBit, FALSE},
      {L"Ben's Nano", L"Apple device (Ben's Nano)", kAppleDevice, FALSE},
      {kLibrary, kLibrary, kAppleLibraryBit, FALSE}}},
    {"an iPod beside an MTP player", true, true, kPodUsb,
     "[Devices]\nCount=2\n[Device1]\nName=Kitchen Player\nManufacturer=Generic\nSerial=0x045E:0A0B0C0D\nProtocol=MTP\n"
     "FriendlyName=Kitchen Player\n[Device1.Storage1]\nName=\\\nFolder=player\n"
     "[Device2]\nName=Ada's iPod (%D:)\nManufacturer=Apple\n[Device2.Storage1]\nName=\\\nFolder=pod\n",
     kAdasPod,
     {{L"Kitchen Player", L"Kitchen Player", 0, FALSE},
      {L"Ada's iPod", L"Apple device (Ada's iPod)", kAppleDevice, FALSE},
      {kLibrary, kLibrary, kAppleLibraryBit, FALSE}}},
    {"an iPod known to iTunes by its drive's short name", true, false, kPodUsb,
     "[Devices]\nCount=1\n[Device1]\nName=ada_s ipod (%D:)\nManufacturer=Apple\n[Device1.Storage1]\nName=\\\nFolder=pod\n",
     kAdasPod, {{L"Ada's iPod", L"Apple device (Ada's iPod)", kAppleDevice, FALSE}}},
    {"an iPod drive iTunes does not show", true, false, kPodUsb,
     "[Devices]\nCount=2\n[Device1]\nName=Old iPod (%D:)\nManufacturer=Apple\n[Device1.Storage1]\nName=\\\nFolder=pod\n"
     "[Device2]\nName=Kitchen Player\nSerial=0x045E:0A0B0C0D\nProtocol=MTP\nFriendlyName=Kitchen Player\n"
     "[Device2.Storage1]\nName=\\\nFolder=player\n",
     "", {{L"Kitchen Player", L"Kitchen Player", 0, FALSE}}},
    {"an MP3 title while iTunes shows no iPod", true, true, nullptr, "[Devices]\nCount=0\n", "",
     {{kLibrary, kLibrary, kAppleLibraryBit, FALSE}}, 0},
};

std::string TestName(const char* label)
{
    std::string name;
    for (const char* p = label; *p; ++p)
        if (isalnum(static_cast<unsigned char>(*p)))
            name += *p;
    return name;
}

std::string Replaced(std::string text, const std::string& what, const std::string& with)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

class AppleSearch : public ::testing::TestWithParam<AppleCase> {
protected:
    void SetUp() override { FreeUsbDeviceTable(); }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
        SetEnvironmentVariableW(L"VESPERLIN_DEVICE_LISTS", nullptr);
        FreeUsbDeviceTable();
    }
    testsupport::ScratchFolder m_folder;
};

TEST_P(AppleSearch, FindsEveryiPodOnceWithItsKind)
{
    const AppleCase& c = GetParam();
    testsupport::ScratchFolder podFolder;
    testsupport::TestDrive drive(podFolder.Path(), testsupport::DriveKind::Removable);
    ASSERT_TRUE(drive.Made());
    // The drive holds iTunes' folder, as an iPod's does.
    ASSERT_TRUE(CreateDirectoryW(drive.Root() + L"iPod_Control", nullptr));
    ASSERT_TRUE(CreateDirectoryW(drive.Root() + L"iPod_Control\\iTunes", nullptr));
    CreateDirectoryW(m_folder / L"player", nullptr);
    CreateDirectoryW(m_folder / L"pod", nullptr);

    testsupport::WriteAll(m_folder / L"devices.ini", Replaced(c.wmdm, "%D", std::string(1, static_cast<char>(drive.Letter()))));
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", m_folder / L"devices.ini");
    if (c.usbDevice) {
        testsupport::WriteAll(m_folder / L"lists.ini", std::string("[Interfaces]\nCount=1\n[Interface1]\nClass=USB\nPath=") +
                                                           c.usbDevice + "\nDescription=Apple Mobile Device USB Driver\n");
        SetEnvironmentVariableW(L"VESPERLIN_DEVICE_LISTS", m_folder / L"lists.ini");
    }
    int iPods = 0;
    for (const char sign : c.sources)
        iPods += sign == '[';
    itunestest::StandinRun iTunes("[Sources]\nCount=" + std::to_string(1 + iPods) + "\n[Source1]\nKind=1\nName=Library\n" +
                                      c.sources,
                                  c.iTunesOpen);
    if (c.iTunesOpen)
        ASSERT_TRUE(iTunes.Started());
    else
        ASSERT_FALSE(IsiTunesRunning());

    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    testsupport::MessageBoxRecorder boxes({IDCANCEL});
    CObArray found;
    SearchRun run(&found, L"No portable players could be found.");
    run.job->mp3Title = c.mp3Title;
    run.job->iTunesInstalled = TRUE;
    ASSERT_TRUE(run.Run());
    EXPECT_EQ(1, run.reports);
    EXPECT_TRUE(boxes.Boxes().empty()) << static_cast<const wchar_t*>(boxes.Boxes().front().text);
    ASSERT_EQ(c.expected.size(), static_cast<size_t>(found.GetSize()));
    for (size_t i = 0; i < c.expected.size(); ++i) {
        SCOPED_TRACE(static_cast<int>(i));
        const AppleFound& want = c.expected[i];
        PlayerRecord* record = PlayerAt(found, static_cast<INT_PTR>(i));
        EXPECT_EQ(CString(want.name), record->GetName());
        EXPECT_EQ(CString(want.displayName), record->GetDisplayName());
        EXPECT_EQ(static_cast<int>(want.kind), record->IsApple());
        EXPECT_EQ(want.isShuffle, record->isShuffle);
        if (want.kind) {
            // Reached through iTunes, never through the device manager.
            EXPECT_EQ(nullptr, record->GetDeviceInterface());
            EXPECT_EQ(c.sourceFlag, record->iTunesSourceFlag);
            EXPECT_EQ(0, record->IsMp3Only());
            // Were iTunes to refuse changes to it, the Confirm page would ask for what it needs.
            EXPECT_EQ(want.isShuffle ? 8026u : c.sourceFlag == 1 ? 8027u : 8028u, LockedApplePlayerTextId(*record));
        }
    }
    // iTunes started for the search was kept out of the user's way.
    if (!c.iTunesOpen) {
        const HWND window = FindWindowW(L"iTunes", L"iTunes");
        ASSERT_NE(nullptr, window);
        EXPECT_FALSE(IsWindowVisible(window));
    }
    DeleteRecords(found);
    CoUninitialize();
}

INSTANTIATE_TEST_SUITE_P(Players, AppleSearch, ::testing::ValuesIn(kAppleCases),
                         [](const ::testing::TestParamInfo<AppleCase>& info) { return TestName(info.param.label); });

// The USB scan: Apple devices counted by their vendor, the first shuffle named.
TEST(AppleUsbScan, CountsAppleDevicesAndNamesTheShuffle)
{
    testsupport::ScratchFolder folder;
    testsupport::WriteAll(folder / L"lists.ini",
                          std::string("[Interfaces]\nCount=4\n"
                                      "[Interface1]\nClass=USB\nPath=\\\\?\\usb#vid_045e&pid_0710#5&1&0&2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}\nDescription=Zune\n"
                                      "[Interface2]\nClass=USB\nPath=") +
                              kPodUsb + "\nDescription=iPod\n[Interface3]\nClass=USB\nPath=" + kShuffleUsb +
                              "\nDescription=iPod\n[Interface4]\nClass=USB\nPath=\\\\?\\usb#vid_05ac&pid_1300#000a27000001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}\nDescription=iPod\n");
    SetEnvironmentVariableW(L"VESPERLIN_DEVICE_LISTS", folder / L"lists.ini");
    FreeUsbDeviceTable();
    AppleUsbScan scan;
    EXPECT_EQ(3, CountAppleUsbDevices(&scan));
    EXPECT_TRUE(scan.shuffleFound);
    EXPECT_EQ(CString(L"USB#VID_05AC&PID_1301#000A27001A2B3C4D"), scan.appleUsbPath);
    // An empty fragment counts nothing and leaves the scan as it was.
    EXPECT_EQ(0, CountUsbDevices(CString(), &scan));
    EXPECT_TRUE(scan.shuffleFound);
    // The Zune alone: no shuffle, the scan cleared.
    EXPECT_EQ(1, CountUsbDevices(L"USB#VID_045E", &scan));
    EXPECT_FALSE(scan.shuffleFound);
    EXPECT_TRUE(scan.appleUsbPath.IsEmpty());
    SetEnvironmentVariableW(L"VESPERLIN_DEVICE_LISTS", nullptr);
    FreeUsbDeviceTable();
}

// A player from a search whose iTunes answered its listing otherwise needs both.
TEST(AppleLockedText, ByKindAndSourceFlag)
{
    PlayerRecord pod(L"Ada's iPod", nullptr, L"Apple device", NoSerialNumber(), kUnknownValue);
    pod.iTunesSourceFlag = 1;
    EXPECT_EQ(8027u, LockedApplePlayerTextId(pod));
    pod.iTunesSourceFlag = 0;
    EXPECT_EQ(8028u, LockedApplePlayerTextId(pod));
    pod.isShuffle = TRUE;
    EXPECT_EQ(8026u, LockedApplePlayerTextId(pod));
}

TEST(AppleSourceMatch, MatchesByNameOrShortDriveName)
{
    const struct {
        const wchar_t* recordName;
        const wchar_t* sources;
        const wchar_t* match;
    } cases[] = {
        {L"Ada's iPod", L"Ada's iPod|Ben's Nano|", L"Ada's iPod"},
        {L"ben's", L"Ada's iPod|Ben's Nano|", L"Ben's Nano"},
        {L"ada_s ipod", L"Ada's iPod|", L"Ada's iPod"},
        {L"kitchen_ip", L"Kitchen:iPod/Touch|", L""},
        {L"kitchen_ipo", L"Kitchen:iPod/Touch|", L"Kitchen:iPod/Touch"},
        {L"Old iPod", L"Ada's iPod|", L""},
        {L"", L"Ada's iPod|", L""},
        {L"Ada's iPod", L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.match), MatchiTunesSource(c.recordName, c.sources)) << static_cast<const wchar_t*>(c.recordName);
}

}  // namespace
