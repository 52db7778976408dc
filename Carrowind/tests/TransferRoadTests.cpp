// The whole transfer road inside the wizard with nothing scripted: the real search finds the
// player of the device manager's stand-in, the Confirm page checks it on Next, the Progress
// page sends each part of a 3-part MP3 or WMA title through the real transfer thread, and the Success
// page follows. Each row of the table is one player's behaviour and what the user then sees.
#include "CarrowindApp.h"
#include "CarrowindSheet.h"
#include "DeviceEnumeration.h"
#include "MediaFixtures.h"
#include "TitleFixtures.h"
#include "TransferFixtures.h"
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

namespace {

using testsupport::MessageBoxRecorder;
using testsupport::ScratchFolder;
using testsupport::StepRunner;

CWizardApp& App() { return *static_cast<CWizardApp*>(AfxGetWizardApp()); }

struct RoadCase {
    const char* name;
    const wchar_t* format;     // the parts' extension: "mp3" or "wma"
    const char* deviceLines;   // added to the player's section
    const char* storageLines;  // added to its storage's section
    bool arrives;              // every part reaches the player
    const wchar_t* box;        // the start of the one message shown, or null
};

TEST(TransferRoad, AThreePartTitleFromTheConfirmPageToTheSuccessPage)
{
    const RoadCase cases[] = {
        {"ready player", L"mp3", "", "", true, nullptr},
        {"Windows Media title", L"wma", "", "", true, nullptr},
        {"busy three times, then ready", L"mp3", "Fail.Insert3=0x80045000*3\n", "", true, nullptr},
        {"insertion with metadata refused", L"mp3", "Fail.Insert3=0x80045004\n", "", true, nullptr},
        {"full player", L"mp3", "", "Free=1000\n", false, L"There is not enough space available on your portable player"},
        {"insertion refused outright", L"mp3", "Fail.Insert3=0x80045006\n", "", false,
         L"An error occurred while attempting to transfer \"Harbour-Part01.mp3\"."},
    };
    for (const RoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder scratch;
        // Real parts, each a little different, with the console's playlist and order file.
        const bool wma = CString(c.format) == L"wma";
        CreateDirectoryW(scratch / L"Harbour", nullptr);
        std::vector<std::string> parts;
        std::vector<std::wstring> paths, names;
        for (int i = 1; i <= 3; ++i) {
            CString tone, part;
            tone.Format(L"tone%d.%s", i, c.format);
            part.Format(L"Harbour-Part%02d.%s", i, c.format);
            const CString made = wma ? mediafixtures::MakeWma(scratch, tone) : mediafixtures::MakeMp3(scratch, tone, i == 2);
            ASSERT_TRUE(CopyFileW(made, scratch / L"Harbour\\" + part, FALSE));
            parts.push_back(testsupport::ReadAllBytes(scratch / L"Harbour\\" + part));
            paths.push_back((scratch / L"Harbour\\" + part).str());
            names.push_back(part.str());
        }
        const CString playlist = scratch / L"Harbour\\Harbour.wax";
        wizardtest::WriteConsolePlaylist(playlist, paths, false);
        wizardtest::WriteUtf16File(scratch / L"Harbour\\Harbour.vpm",
                                   wizardtest::OrderFileText(L"title-7", L"Harbour Lights",
                                                             L"http://127.0.0.1/Img100/cover.jpg", L"src9", names));
        CreateDirectoryW(scratch / L"player", nullptr);
        const std::string fixture = std::string("[Devices]\nCount=1\n[Device1]\nName=Kitchen Player\nProtocol=MTP\n"
                                                "Serial=0x045E:0A0B0C0D\nFriendlyName=Kitchen Player\n"
                                                "Formats=0x3009,0xB901,0xBA03\nChunkBytes=16384\n") +
                                    c.deviceLines + "[Device1.Storage1]\nName=\\\nFolder=player\n" + c.storageLines;
        testsupport::WriteAll(scratch / L"devices.ini", fixture);
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", scratch / L"devices.ini");
        FreeUsbDeviceTable();
        App().m_contentType = wma ? L"WMA Audiobook" : L"MP3 Audiobook";
        App().m_bannerPath.Empty();
        App().m_stringsFilePath.Empty();
        MessageBoxRecorder boxes(IDNO);

        CWizardSheet sheet(playlist);
        bool success = false;
        DWORD started = 0;
        auto ended = [&] {
            return sheet.GetActiveIndex() == sheet.GetPageIndex(&sheet.m_success) || !boxes.Boxes().empty();
        };
        StepRunner steps(std::vector<StepRunner::Step>{
            [&] {
                sheet.PressButton(PSBTN_NEXT);
                return true;
            },
            [&] {
                return sheet.GetActiveIndex() == sheet.GetPageIndex(&sheet.m_confirm) &&
                       ::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3024));
            },
            [&] {
                testsupport::PumpMessages(50);
                started = GetTickCount();
                if (c.arrives)
                    testsupport::CaptureWindow(sheet.m_hWnd, L"Carrowind.ConfirmParts");
                sheet.PressButton(PSBTN_NEXT);
                return true;
            },
            // A busy player is asked again every 2 s: more than one step's patience.
            [&] { return ended() || GetTickCount() - started > 4500; },
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
        }, 30);
        sheet.DoModal();
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
        EXPECT_TRUE(steps.Done());
        EXPECT_EQ(c.arrives, success);
        if (c.box) {
            ASSERT_EQ(1u, boxes.Boxes().size());
            EXPECT_EQ(0, boxes.Boxes()[0].text.Find(c.box)) << boxes.Boxes()[0].text.ToNarrow();
        } else {
            EXPECT_TRUE(boxes.Boxes().empty()) << (boxes.Boxes().empty() ? "" : boxes.Boxes()[0].text.ToNarrow());
        }
        // Only parts (and their property files) on the player, never a half-written one.
        std::vector<CString> sent;
        for (const CString& file : transfertest::FilesBelow(scratch / L"player")) {
            EXPECT_EQ(-1, file.Find(L".partial")) << file.ToNarrow();
            if (file.Right(4).CompareNoCase(CString(L".") + c.format) == 0)
                sent.push_back(file);
        }
        if (!c.arrives) {
            EXPECT_TRUE(sent.empty());
            continue;
        }
        ASSERT_EQ(3u, sent.size());
        for (int i = 0; i < 3; ++i) {
            CString name;
            name.Format(L"Harbour-Part%02d.%s", i + 1, c.format);
            EXPECT_EQ(name, sent[i].Mid(sent[i].ReverseFind(L'\\') + 1));
            EXPECT_TRUE(parts[i] == testsupport::ReadAllBytes(scratch / L"player\\" + sent[i])) << name.ToNarrow();
        }
        EXPECT_FALSE(sheet.m_elapsedText.IsEmpty());
    }
}

}  // namespace
