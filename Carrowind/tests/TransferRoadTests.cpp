// The whole transfer road inside the wizard with nothing scripted: the real search finds the
// player of the device manager's stand-in, the Confirm page checks it on Next, the Progress
// page sends each part of a 3-part MP3 or WMA title through the real transfer thread, and the Success
// page follows. Each row of the table is one player's behaviour and what the user then sees.
#include "CarrowindApp.h"
#include "CarrowindSheet.h"
#include "DeviceEnumeration.h"
#include "FileUtils.h"
#include "MediaFixtures.h"
#include "SuiteMessages.h"
#include "TestDrive.h"
#include "TitleFixtures.h"
#include "TransferFixtures.h"
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>

namespace {

using testsupport::MessageBoxRecorder;
using testsupport::ScratchFolder;
using testsupport::StepRunner;

CWizardApp& App() { return *static_cast<CWizardApp*>(AfxGetWizardApp()); }

std::vector<StepRunner::Step> Then(std::vector<StepRunner::Step> first, std::vector<StepRunner::Step> more)
{
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

struct RoadCase {
    const char* name;
    const wchar_t* format;     // the parts' extension: "mp3" or "wma"
    const char* deviceLines;   // added to the player's section
    const char* storageLines;  // added to its storage's section
    int parts;                 // how many parts reach the player (all 3: the Success page follows)
    const wchar_t* box;        // the start of the one message shown, or null
    bool unplugged = false;    // the player is gone once the first part is done; another one stays
};

// Runs an action once, on the thread that makes it, when the first part's transfer has been
// reported done to the Progress page (before the page handles the report).
class WhenTheFirstPartIsDone {
public:
    explicit WhenTheFirstPartIsDone(std::function<void()> action)
    {
        Action() = std::move(action);
        m_hook = SetWindowsHookExW(WH_GETMESSAGE, &Proc, nullptr, GetCurrentThreadId());
    }
    ~WhenTheFirstPartIsDone()
    {
        if (m_hook)
            UnhookWindowsHookEx(m_hook);
        Action() = nullptr;
    }
    WhenTheFirstPartIsDone(const WhenTheFirstPartIsDone&) = delete;
    WhenTheFirstPartIsDone& operator=(const WhenTheFirstPartIsDone&) = delete;
    bool Hooked() const { return m_hook != nullptr; }

private:
    static std::function<void()>& Action()
    {
        static std::function<void()> action;
        return action;
    }
    static LRESULT CALLBACK Proc(int code, WPARAM removal, LPARAM lParam)
    {
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (code == HC_ACTION && removal == PM_REMOVE && msg->message == WM_PART_DONE &&
            msg->wParam == static_cast<WPARAM>(kTransferDone) && Action()) {
            const std::function<void()> action = std::move(Action());
            Action() = nullptr;
            action();
        }
        return CallNextHookEx(nullptr, code, removal, lParam);
    }
    HHOOK m_hook = nullptr;
};

// A title folder "Harbour" of 3 real parts with the console's playlist and order file, and the
// device manager's fixture with one player; the playlist's path. The parts' bytes go to *parts.
// A long second part (10 minutes) takes long enough to be cancelled on its way.
CString MakeRoad(const ScratchFolder& scratch, const wchar_t* format, const std::string& deviceLines,
                 const std::string& storageLines, std::vector<std::string>* parts, bool longSecondPart = false)
{
    const bool wma = CString(format) == L"wma";
    CreateDirectoryW(scratch / L"Harbour", nullptr);
    std::vector<std::wstring> paths, names;
    for (int i = 1; i <= 3; ++i) {
        CString tone, part;
        tone.Format(L"tone%d.%s", i, format);
        part.Format(L"Harbour-Part%02d.%s", i, format);
        CString made = scratch / tone;
        if (longSecondPart && i == 2)
            mediafixtures::RunTool(scratch, "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=330:duration=600 "
                                            "-c:a libmp3lame -b:a 64k " + testsupport::ShellQuoted(made));
        else
            made = wma ? mediafixtures::MakeWma(scratch, tone) : mediafixtures::MakeMp3(scratch, tone, i == 2);
        const CString path = scratch / L"Harbour\\" + part;
        EXPECT_TRUE(CopyFileW(made, path, FALSE));
        parts->push_back(testsupport::ReadAllBytes(path));
        paths.push_back(path.str());
        names.push_back(part.str());
    }
    const CString playlist = scratch / L"Harbour\\Harbour.wax";
    wizardtest::WriteConsolePlaylist(playlist, paths, false);
    wizardtest::WriteUtf16File(scratch / L"Harbour\\Harbour.vpm",
                               wizardtest::OrderFileText(L"title-7", L"Harbour Lights",
                                                         L"http://127.0.0.1/Img100/cover.jpg", L"src9", names));
    CreateDirectoryW(scratch / L"player", nullptr);
    testsupport::WriteAll(scratch / L"devices.ini",
                          // A key of the row's lines comes first and wins.
                          "[Devices]\nCount=1\n[Device1]\n" + deviceLines +
                              "Name=Kitchen Player\nProtocol=MTP\nSerial=0x045E:0A0B0C0D\nFriendlyName=Kitchen Player\n"
                              "Formats=0x3009,0xB901,0xBA03\nChunkBytes=16384\n[Device1.Storage1]\nName=\\\nFolder=player\n" +
                              storageLines);
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", scratch / L"devices.ini");
    FreeUsbDeviceTable();
    App().m_contentType = wma ? L"WMA Audiobook" : L"MP3 Audiobook";
    App().m_bannerPath.Empty();
    App().m_stringsFilePath.Empty();
    return playlist;
}

// The parts on the player of a road's fixture (relative paths); none may be half-written.
std::vector<CString> FilesOnPlayer(const ScratchFolder& scratch, const wchar_t* format)
{
    std::vector<CString> sent;
    for (const CString& file : transfertest::FilesBelow(scratch / L"player")) {
        EXPECT_EQ(-1, file.Find(L".partial")) << file.ToNarrow();
        if (file.Right(4).CompareNoCase(CString(L".") + format) == 0)
            sent.push_back(file);
    }
    return sent;
}

// The steps from the Welcome page to Next on the Confirm page (a picture of it when named).
std::vector<StepRunner::Step> ToConfirmAndNext(CWizardSheet& sheet, const wchar_t* picture)
{
    return {
        [&sheet] {
            sheet.PressButton(PSBTN_NEXT);
            return true;
        },
        [&sheet] {
            return sheet.GetActiveIndex() == sheet.GetPageIndex(&sheet.m_confirm) &&
                   ::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3024));
        },
        [&sheet, picture] {
            testsupport::PumpMessages(50);
            if (picture)
                testsupport::CaptureWindow(sheet.m_hWnd, picture);
            sheet.PressButton(PSBTN_NEXT);
            return true;
        },
    };
}

TEST(TransferRoad, AThreePartTitleFromTheConfirmPageToTheSuccessPage)
{
    const RoadCase cases[] = {
        {"ready player", L"mp3", "", "", 3, nullptr},
        {"Windows Media title", L"wma", "", "", 3, nullptr},
        {"busy three times, then ready", L"mp3", "Fail.Insert3=0x80045000*3\n", "", 3, nullptr},
        {"insertion with metadata refused", L"mp3", "Fail.Insert3=0x80045004\n", "", 3, nullptr},
        {"full player", L"mp3", "", "Free=1000\n", 0, L"There is not enough space available on your portable player"},
        {"a player for MP3 only and a Windows Media title", L"wma", "FriendlyName=Pocket MP3 only\n", "", 0,
         L"The format of this title (WMA Audiobook) is not compatible with the Pocket MP3 only (Kitchen Player)."},
        {"insertion refused outright", L"mp3", "Fail.Insert3=0x80045006\n", "", 0,
         L"An error occurred while attempting to transfer \"Harbour-Part01.mp3\"."},
        {"the player removed between the first and second part", L"mp3", "", "", 1,
         L"The selected portable player (\"Kitchen Player\") could not be found.\n\nThis process will be aborted.",
         true},
    };
    for (const RoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder scratch;
        std::vector<std::string> parts;
        const CString playlist = MakeRoad(scratch, c.format, c.deviceLines, c.storageLines, &parts);
        if (c.unplugged) {
            // A second player beside the first, which stays connected.
            std::string fixture = testsupport::ReadAllBytes(scratch / L"devices.ini");
            fixture.replace(fixture.find("Count=1"), 7, "Count=2");
            testsupport::WriteAll(scratch / L"devices.ini",
                                  fixture + "[Device2]\nName=Garden Player\nProtocol=MTP\nSerial=0x045E:0A0B0C0E\n"
                                            "FriendlyName=Garden Player\nFormats=0x3009,0xB901,0xBA03\n"
                                            "[Device2.Storage1]\nName=\\\nFolder=garden\n");
            CreateDirectoryW(scratch / L"garden", nullptr);
        }
        MessageBoxRecorder boxes(IDNO);
        // Unplugged: the player's storage is out of the device manager's reach.
        WhenTheFirstPartIsDone unplug([&] {
            if (c.unplugged)
                MoveFileW(scratch / L"player", scratch / L"unplugged");
        });
        ASSERT_TRUE(unplug.Hooked());

        CWizardSheet sheet(playlist);
        bool success = false;
        auto ended = [&] {
            return sheet.GetActiveIndex() == sheet.GetPageIndex(&sheet.m_success) || !boxes.Boxes().empty();
        };
        std::vector<StepRunner::Step> road = ToConfirmAndNext(sheet, c.parts == 3 ? L"Carrowind.ConfirmParts" : nullptr);
        // A busy player is asked again every 2 s: more than one step's patience, and on a loaded
        // machine more than a few steps' worth. Each of these waits a while unless the road has ended.
        std::vector<DWORD> started(8, 0);
        for (DWORD& begun : started) {
            road.push_back([&ended, &begun] {
                if (!begun)
                    begun = GetTickCount();
                return ended() || GetTickCount() - begun > 4500;
            });
        }
        StepRunner steps(Then(road, {
            [&] {
                success = sheet.GetActiveIndex() == sheet.GetPageIndex(&sheet.m_success);
                const bool backOnConfirm = sheet.GetActiveIndex() == sheet.GetPageIndex(&sheet.m_confirm) &&
                                           ::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3024));
                return success || (!boxes.Boxes().empty() && backOnConfirm);
            },
            [&] {
                sheet.PressButton(success ? PSBTN_FINISH : PSBTN_CANCEL);
                return true;
            },
        }));
        sheet.DoModal();
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
        if (c.unplugged) {
            ASSERT_TRUE(MoveFileW(scratch / L"unplugged", scratch / L"player"));  // plugged in again
            // The gone player is forgotten: the chosen index points at no player, the other stays.
            EXPECT_EQ(-1, sheet.m_confirmedIndex);
            ASSERT_EQ(1, sheet.m_devices.GetSize());
            EXPECT_EQ(CString(L"Garden Player"), PlayerAt(sheet.m_devices, 0)->GetName());
        }
        EXPECT_TRUE(steps.Done());
        EXPECT_EQ(c.parts == 3, success);
        if (c.box) {
            ASSERT_EQ(1u, boxes.Boxes().size());
            EXPECT_EQ(0, boxes.Boxes()[0].text.Find(c.box)) << boxes.Boxes()[0].text.ToNarrow();
        } else {
            EXPECT_TRUE(boxes.Boxes().empty()) << (boxes.Boxes().empty() ? "" : boxes.Boxes()[0].text.ToNarrow());
        }
        // Only parts (and their property files) on the player, never a half-written one.
        const std::vector<CString> sent = FilesOnPlayer(scratch, c.format);
        ASSERT_EQ(static_cast<size_t>(c.parts), sent.size());
        for (int i = 0; i < c.parts; ++i) {
            CString name;
            name.Format(L"Harbour-Part%02d.%s", i + 1, c.format);
            EXPECT_EQ(name, sent[i].Mid(sent[i].ReverseFind(L'\\') + 1));
            EXPECT_TRUE(parts[i] == testsupport::ReadAllBytes(scratch / L"player\\" + sent[i])) << name.ToNarrow();
        }
        if (success) {
            EXPECT_FALSE(sheet.m_elapsedText.IsEmpty());
        }
    }
}

// Cancel while the second part is on its way: the first part stays, the half-written second
// is gone, the third never starts, and the Confirm page is back without a message.
TEST(TransferRoad, CancelInTheMiddleOfTheSecondPart)
{
    ScratchFolder scratch;
    std::vector<std::string> parts;
    const CString playlist = MakeRoad(scratch, L"mp3", "ChunkBytes=4096\n", "", &parts, true);
    MessageBoxRecorder boxes(IDNO);
    CWizardSheet sheet(playlist);
    bool cancelled = false;
    std::vector<StepRunner::Step> steps = ToConfirmAndNext(sheet, nullptr);
    steps.push_back([&] {
        for (const CString& file : transfertest::FilesBelow(scratch / L"player")) {
            if (file.Find(L"Harbour-Part02.mp3.partial") >= 0) {
                sheet.PressButton(PSBTN_CANCEL);
                cancelled = true;
            }
        }
        return cancelled;
    });
    steps.push_back([&] {
        return sheet.GetActiveIndex() == sheet.GetPageIndex(&sheet.m_confirm) &&
               ::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3024));
    });
    steps.push_back([&] {
        sheet.PressButton(PSBTN_CANCEL);
        return true;
    });
    StepRunner runner(steps, 10);
    sheet.DoModal();
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
    EXPECT_TRUE(runner.Done());
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(boxes.Boxes().empty()) << (boxes.Boxes().empty() ? "" : boxes.Boxes()[0].text.ToNarrow());
    const std::vector<CString> sent = FilesOnPlayer(scratch, L"mp3");
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(CString(L"Harbour-Part01.mp3"), sent[0].Mid(sent[0].ReverseFind(L'\\') + 1));
    EXPECT_TRUE(parts[0] == testsupport::ReadAllBytes(scratch / L"player\\" + sent[0]));
    EXPECT_EQ(1, sheet.m_lastTransferredPart);
}

// A mass-storage player on a removable drive with its profile: the parts go into the folder
// the profile names, then the title's order file beside them; nothing half-written stays.
TEST(TransferRoad, ARemovableDriveGetsThePartsAndThenTheOrderFile)
{
    ScratchFolder scratch, driveFolder;
    testsupport::TestDrive drive(driveFolder.Path(), testsupport::DriveKind::Removable);
    ASSERT_TRUE(drive.Made());
    testsupport::WriteAll(drive.Root() + L"Vesperlin.xml", "<?xml version=\"1.0\"?>\r\n<Carrowind><VPM>\\Books\\[title]"
                                                           "</VPM><Thumbnail>1</Thumbnail></Carrowind>\r\n");
    std::vector<std::string> parts;
    const CString playlist = MakeRoad(scratch, L"mp3", "", "", &parts);
    CString driveName;
    driveName.Format(L"Removable Disk (%c:)", drive.Letter());
    testsupport::WriteAll(scratch / L"devices.ini", "[Devices]\nCount=1\n[Device1]\nName=" + driveName.ToNarrow() +
                                                        "\nSerial=0x0781:0102\n[Device1.Storage1]\nName=\\\nFolder=" +
                                                        driveFolder.Path().ToNarrow() + "\n");
    MessageBoxRecorder boxes(IDNO);
    CWizardSheet sheet(playlist);
    bool success = false;
    StepRunner runner(Then(ToConfirmAndNext(sheet, nullptr), {
        [&] {
            success = sheet.GetActiveIndex() == sheet.GetPageIndex(&sheet.m_success);
            return success || !boxes.Boxes().empty();
        },
        [&] {
            testsupport::PumpMessages(50);
            sheet.PressButton(success ? PSBTN_FINISH : PSBTN_CANCEL);
            return true;
        },
    }));
    sheet.DoModal();
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
    EXPECT_TRUE(runner.Done());
    EXPECT_TRUE(success);
    EXPECT_TRUE(boxes.Boxes().empty()) << (boxes.Boxes().empty() ? "" : boxes.Boxes()[0].text.ToNarrow());
    const std::vector<CString> files = transfertest::FilesBelow(driveFolder.Path());
    std::vector<CString> sent;
    bool orderFile = false;
    for (const CString& file : files) {
        EXPECT_EQ(-1, file.Find(L".partial")) << file.ToNarrow();
        EXPECT_EQ(-1, file.Find(L".tmp")) << file.ToNarrow();
        if (file.Right(4) == L".mp3")
            sent.push_back(file);
        orderFile = orderFile || file.Right(4) == L".vpm";
    }
    ASSERT_EQ(3u, sent.size());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(0, sent[i].Find(L"Books\\")) << sent[i].ToNarrow();
        EXPECT_TRUE(parts[i] == testsupport::ReadAllBytes(driveFolder / sent[i])) << sent[i].ToNarrow();
    }
    EXPECT_TRUE(orderFile);
}

// A profile whose folder ends in "[title]" keeps each title in a folder of its own: the parts,
// the order file and the cover go together into "\Books\Harbour\". The title has no picture of
// its own, so the cover the drive gets is the program's default picture.
TEST(TransferRoad, AProfilesTitleFolderHoldsThePartsTheOrderFileAndTheDefaultCover)
{
    ScratchFolder scratch, driveFolder;
    testsupport::TestDrive drive(driveFolder.Path(), testsupport::DriveKind::Removable);
    ASSERT_TRUE(drive.Made());
    testsupport::WriteAll(drive.Root() + L"Vesperlin.xml", "<?xml version=\"1.0\"?>\r\n<Carrowind><VPM>\\Books\\[title]"
                                                           "</VPM><Thumbnail>1</Thumbnail></Carrowind>\r\n");
    std::vector<std::string> parts;
    const CString playlist = MakeRoad(scratch, L"mp3", "", "", &parts);
    for (const wchar_t* picture : {L"Harbour\\Harbour.jpg", L"Harbour\\Harbour.png", L"Harbour\\Harbour.gif"})
        ASSERT_FALSE(FileExists(scratch / picture));
    const CString shipped = GetProgramFolder() + L"\\WMDefaultAlbum.jpg";
    ASSERT_TRUE(FileExists(shipped)) << "the default picture is not beside the program";
    CString driveName;
    driveName.Format(L"Removable Disk (%c:)", drive.Letter());
    testsupport::WriteAll(scratch / L"devices.ini", "[Devices]\nCount=1\n[Device1]\nName=" + driveName.ToNarrow() +
                                                        "\nSerial=0x0781:0102\n[Device1.Storage1]\nName=\\\nFolder=" +
                                                        driveFolder.Path().ToNarrow() + "\n");
    const std::vector<CString> titleFiles = transfertest::FilesBelow(scratch / L"Harbour");
    MessageBoxRecorder boxes(IDNO);
    CWizardSheet sheet(playlist);
    bool success = false;
    StepRunner runner(Then(ToConfirmAndNext(sheet, nullptr), {
        [&] {
            success = sheet.GetActiveIndex() == sheet.GetPageIndex(&sheet.m_success);
            return success || !boxes.Boxes().empty();
        },
        [&] {
            testsupport::PumpMessages(50);
            sheet.PressButton(success ? PSBTN_FINISH : PSBTN_CANCEL);
            return true;
        },
    }));
    sheet.DoModal();
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
    EXPECT_TRUE(runner.Done());
    EXPECT_TRUE(success);
    EXPECT_TRUE(boxes.Boxes().empty()) << (boxes.Boxes().empty() ? "" : boxes.Boxes()[0].text.ToNarrow());
    std::vector<CString> expected;
    for (int i = 1; i <= 3; ++i) {
        CString name;
        name.Format(L"Books\\Harbour\\Harbour-Part%02d.mp3", i);
        expected.push_back(name);
        EXPECT_TRUE(parts[i - 1] == testsupport::ReadAllBytes(driveFolder / name)) << name.ToNarrow();
    }
    expected.push_back(L"Books\\Harbour\\Harbour.vpm");
    expected.push_back(L"Books\\Harbour\\HarbourImg200.jpg");
    std::vector<CString> onDrive;
    for (const CString& file : transfertest::FilesBelow(driveFolder.Path())) {
        if (file.Left(6) == L"Books\\")
            onDrive.push_back(file);
    }
    std::sort(onDrive.begin(), onDrive.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, onDrive);
    EXPECT_TRUE(testsupport::ReadAllBytes(shipped) ==
                testsupport::ReadAllBytes(driveFolder / L"Books\\Harbour\\HarbourImg200.jpg"));
    // Nothing was written into the title's own folder.
    EXPECT_EQ(titleFiles, transfertest::FilesBelow(scratch / L"Harbour"));
}

}  // namespace
