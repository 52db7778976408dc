// The Apple road inside the wizard, against the iTunes stand-in: the real search finds the iPod
// (and for an MP3 title the library) iTunes shows, the Confirm page checks iTunes and the iPod, the Progress page converts each
// Windows Media part to WAV with the real conversion thread and hands it to the real iPod add
// thread, and the Success page ends the run. The iPod's playlist then holds every part with
// its fields, iTunes' encoder is the user's again, and nothing the run made is left.
#include "CarrowindApp.h"
#include "CarrowindSheet.h"
#include "DeviceEnumeration.h"
#include "MediaFixtures.h"
#include "TitleFixtures.h"
#include "TransferFixtures.h"
#include "WindowTestSupport.h"
#include "iTunesAutomation.h"
#include "iTunesImportSettings.h"
#include "iTunesTestSupport.h"
#include "res/ConfirmPageIds.h"

#include "ComTestSupport.h"

#include <gtest/gtest.h>

namespace {

using testsupport::StepRunner;

CWizardApp& App() { return *static_cast<CWizardApp*>(AfxGetWizardApp()); }

constexpr wchar_t kPod[] = L"Ada's iPod";

// The library and one iPod, with an older copy of part 2 of the title and a track of the
// user's whose name only begins like the title's.
const std::string kFixture =
    "[iTunes]\nCurrentEncoder=MP3 Encoder\nConvertPolls=2\n"
    "[Sources]\nCount=2\n"
    "[Source1]\nKind=1\nName=Library\n"
    "[Source2]\nKind=2\nName=Ada's iPod\nFreeSpace=4000000000\n"
    "[Tracks]\nCount=2\n"
    "[Track1]\nSource=2\nName=Harbour-Part02\nGenre=Old\n"
    "[Track2]\nSource=2\nName=Harbour 2\n";

class AppleRoad : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, comtest::RunRegsvr32(comtest::BuiltModule(TESSALINE_PATH))); }
    static void TearDownTestSuite() { comtest::RunRegsvr32(comtest::BuiltModule(TESSALINE_PATH), true); }

    void SetUp() override
    {
        testsupport::WriteAll(m_scratch / L"devices.ini", std::string("[Devices]\nCount=0\n"));
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", m_scratch / L"devices.ini");
        FreeUsbDeviceTable();
        App().m_bannerPath.Empty();
        App().m_stringsFilePath.Empty();
        TheiTunesImportState().Clear();
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
        TheiTunesImportState().Clear();
    }

    // The WAV and AAC files anywhere in the temporary folder.
    static std::vector<CString> AudioInTemp() { return testsupport::TempFilesEndingIn({L".wav", L".m4a", L".m4b"}); }

    testsupport::ScratchFolder m_scratch;
    transfertest::NoiTunesWaits m_noWaits;
};

// A Windows Media audiobook to the iPod (converted), and an MP3 audiobook to the iPod and to the
// iTunes library (as it is): every part arrives once; on the iPod the older copy of part 2 is
// asked about and replaced, the user's track beside it kept.
TEST_F(AppleRoad, EveryPartReachesTheiPodOrTheLibraryAndNothingOfTheRunIsLeft)
{
    const struct {
        const char* name;
        bool wma;
        int player;  // index in the player list
        const wchar_t* listed;
        const wchar_t* source;
    } cases[] = {
        {"Windows Media audiobook to the iPod", true, 0, L"Apple device (Ada's iPod)", kPod},
        {"MP3 audiobook to the iPod", false, 0, L"Apple device (Ada's iPod)", kPod},
        {"MP3 audiobook to the library", false, 1, L"iTunes Library", L"Library"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        itunestest::StandinRun run(kFixture);
        ASSERT_TRUE(run.Started());
        App().m_contentType = c.wma ? L"WMA Audiobook" : L"MP3 Audiobook";
        testsupport::ScratchFolder titles;
        const CString playlist =
            wizardtest::MakeTitleFolder(titles, L"Harbour", 3, L"Harbour Lights", false, c.wma ? L"wma" : L"mp3");
        const CString folder = playlist.Left(playlist.ReverseFind(L'\\'));
        for (int i = 1; i <= 3; ++i) {
            CString part;
            part.Format(L"%s\\Harbour-Part%02d.%s", folder.GetString(), i, c.wma ? L"wma" : L"mp3");
            const CString made =
                c.wma ? mediafixtures::MakeWma(m_scratch, L"tone.wma") : mediafixtures::MakeMp3(m_scratch, L"tone.mp3");
            ASSERT_TRUE(CopyFileW(made, part, FALSE));
        }
        const std::vector<CString> before = testsupport::FilesBelow(folder);
        const std::vector<CString> tempBefore = AudioInTemp();
        testsupport::MessageBoxRecorder boxes(IDYES);

        CWizardSheet sheet(playlist);
        CString listed;
        bool sawSettings = false;
        StepRunner steps(std::vector<StepRunner::Step>{
            [&] {
                sheet.PressButton(PSBTN_NEXT);
                return true;
            },
            [&] { return sheet.GetActivePage() == &sheet.m_confirm && ::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3024)); },
            [&] {
                testsupport::PumpMessages(100);
                ::SendDlgItemMessageW(sheet.m_confirm.m_hWnd, IDC_CONFIRM_PLAYERS, CB_SETCURSEL, c.player, 0);
                if (PlayerRecord* player = PlayerAt(sheet.m_devices, c.player))
                    listed = player->GetDisplayName();
                sheet.PressButton(PSBTN_NEXT);
                return true;
            },
            [&] {
                // An iTunes older than 12 whose import setting is not the recommended one first
                // shows the Settings page.
                if (sheet.GetActivePage() == &sheet.m_settings && !sawSettings) {
                    sawSettings = true;
                    sheet.PressButton(PSBTN_NEXT);
                }
                return sheet.GetActivePage() == &sheet.m_success || !::IsWindow(sheet.m_hWnd);
            },
            [&] {
                testsupport::PumpMessages(100);
                sheet.PressButton(PSBTN_FINISH);
                return true;
            },
        });
        sheet.DoModal();
        EXPECT_TRUE(steps.Done());
        EXPECT_EQ(CString(c.listed), listed);
        if (c.player == 0) {
            // The one question: the older copy of part 2 found on the iPod, answered Yes.
            ASSERT_EQ(1u, boxes.Boxes().size());
            EXPECT_EQ(CString(L"One or more of the selected parts already exist on the Apple device (Ada's iPod).\n\nDo "
                              L"you want to overwrite the existing part(s) on the Apple device (Ada's iPod)?"),
                      boxes.Boxes()[0].text);
        } else {
            for (const auto& box : boxes.Boxes())
                ADD_FAILURE() << box.text.ToNarrow();
        }
        EXPECT_EQ(3, sheet.m_lastTransferredPart);
        for (int i = 1; i <= 3; ++i) {
            CString name;
            name.Format(L"Harbour-Part%02d", i);
            const std::vector<CString> tracks = run.TrackSections(c.source, name);
            ASSERT_EQ(1u, tracks.size()) << name.ToNarrow();
            EXPECT_EQ(i, run.StateNumber(tracks[0], L"Number"));
            // (The library's tracks get their number; the add gives only an iPod's its album.)
            if (c.player == 0) {
                EXPECT_EQ(CString(L"Harbour Lights"), run.State(tracks[0], L"Album"));
            }
        }
        EXPECT_EQ(1u, run.TrackSections(kPod, L"Harbour 2").size());
        EXPECT_EQ(CString(L"MP3 Encoder"), run.State(L"iTunes", L"CurrentEncoder"));
        // The user's files as they were; no converted file or folder of the run left.
        EXPECT_EQ(before, testsupport::FilesBelow(folder));
        EXPECT_EQ(tempBefore, AudioInTemp());
    }
}

}  // namespace
