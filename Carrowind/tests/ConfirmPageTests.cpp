// The real device search in the running wizard against the device manager's stand-in: the
// Search page moves on by itself, the Confirm page lists the players found, and the verbose
// log names each of them.
#include "CarrowindApp.h"
#include "CarrowindSheet.h"
#include "DeviceEnumeration.h"
#include "PlayerRecord.h"
#include "MarkupLabel.h"
#include "MediaElements.h"
#include "TitleFixtures.h"
#include "WindowTestSupport.h"
#include "res/ConfirmPageIds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <commctrl.h>

namespace {

using testsupport::ScratchFolder;
using testsupport::StepRunner;

CWizardApp& App() { return *static_cast<CWizardApp*>(AfxGetWizardApp()); }

const char kTwoPlayers[] =
    "[Devices]\nCount=2\n"
    "[Device1]\nName=Kitchen Player\nSerial=0x045E:0A0B0C0D\nProtocol=MTP\nFriendlyName=Kitchen Player\n"
    "ModelName=KP-1 Kitchen Player\n[Device1.Storage1]\nName=\\\nFolder=player1\n"
    "[Device2]\nName=Garden Player\nProtocol=MTP\nFriendlyName=Garden Player\n[Device2.Storage1]\nName=\\\nFolder=player2\n";

TEST(ConfirmPage, TheSearchFindsThePlayersAndTheConfirmPageListsThem)
{
    ScratchFolder scratch;
    CreateDirectoryW(scratch / L"player1", nullptr);
    CreateDirectoryW(scratch / L"player2", nullptr);
    testsupport::WriteAll(scratch / L"devices.ini", kTwoPlayers);
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", scratch / L"devices.ini");
    FreeUsbDeviceTable();
    const CString playlist = wizardtest::MakeTitleFolder(scratch, L"Harbour", 2, L"Harbour Lights");
    App().m_contentType = L"WMA Audiobook";
    App().m_bannerPath.Empty();
    App().m_stringsFilePath.Empty();
    App().m_logFilePath = scratch / L"Carrowind.log";
    App().m_verbose = TRUE;
    testsupport::MessageBoxRecorder boxes(IDCANCEL);

    CWizardSheet sheet(playlist);
    std::vector<CString> listed;
    BOOL comboShown = FALSE;
    StepRunner steps(std::vector<StepRunner::Step>{
        [&] {
            sheet.PressButton(PSBTN_NEXT);
            return true;
        },
        [&] { return sheet.GetActiveIndex() == 2 && ::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3024)); },
        [&] {
            testsupport::PumpMessages(100);
            HWND combo = ::GetDlgItem(sheet.m_confirm.m_hWnd, IDC_CONFIRM_PLAYERS);
            comboShown = ::IsWindowVisible(combo);
            const int count = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                wchar_t text[256] = {};
                ::SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                listed.emplace_back(text);
            }
            testsupport::CaptureWindow(sheet.m_hWnd, L"Carrowind.Confirm");
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    });
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());
    App().m_verbose = FALSE;
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);

    EXPECT_TRUE(comboShown);
    EXPECT_EQ((std::vector<CString>{L"KP-1 Kitchen Player (Kitchen Player)", L"Garden Player"}), listed);
    // Only the log's own notice that it is on.
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(0, boxes.Boxes()[0].text.Find(L"Verbose logging is enabled."));
    // The program holds its log open for good: read through the host.
    std::string bytes;
    EXPECT_EQ(0, testsupport::RunHostCommand("cat " + testsupport::ShellQuoted(scratch / L"Carrowind.log"), &bytes));
    const CString log(reinterpret_cast<const wchar_t*>(bytes.data()), static_cast<int>(bytes.size() / sizeof(wchar_t)));
    EXPECT_GE(log.Find(L"DeviceSearch: found \"KP-1 Kitchen Player (Kitchen Player)\" (Kitchen Player)"), 0)
        << log.ToNarrow();
    EXPECT_GE(log.Find(L"DeviceSearch: found \"Garden Player\" (Garden Player)"), 0);
}


// A title holding markup characters is shown as it is, and the parts' columns fit their
// texts however long the title and its targets on the player are.
TEST(ConfirmPage, ALongTitleWithMarkupCharactersAndLongTargetsAreShownWhole)
{
    ScratchFolder scratch;
    CreateDirectoryW(scratch / L"player1", nullptr);
    CreateDirectoryW(scratch / L"player2", nullptr);
    testsupport::WriteAll(scratch / L"devices.ini", kTwoPlayers);
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", scratch / L"devices.ini");
    FreeUsbDeviceTable();
    const wchar_t* title = L"Nightfall on the Long Shelf <A> |B| & Tales of the \u00C9tang \"Sea-Road\" Chronicles";
    const CString playlist =
        wizardtest::MakeTitleFolder(scratch, L"Nightfall on the Long Shelf of Tales Told at Sea", 3, title);
    App().m_contentType = L"WMA Audiobook";
    App().m_bannerPath.Empty();
    App().m_stringsFilePath.Empty();
    testsupport::MessageBoxRecorder boxes(IDCANCEL);

    CWizardSheet sheet(playlist);
    CString label;
    std::vector<CMarkupLabel::DrawnRun> titleRuns;
    CRect titleArea;
    std::vector<int> widths, needed;
    StepRunner steps(std::vector<StepRunner::Step>{
        [&] {
            sheet.PressButton(PSBTN_NEXT);
            return true;
        },
        [&] { return sheet.GetActiveIndex() == 2 && ::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3024)); },
        [&] {
            testsupport::PumpMessages(100);
            if (CMarkupLabel* shown = sheet.FindMarkupLabel(&sheet.m_confirm, IDC_CONFIRM_TITLE)) {
                label = shown->GetWindowText();
                titleRuns = shown->LayOut();
                shown->GetClientRect(&titleArea);
            }
            HWND list = ::GetDlgItem(sheet.m_confirm.m_hWnd, IDC_CONFIRM_PARTS);
            const int columns = Header_GetItemCount(ListView_GetHeader(list));
            for (int column = 0; column < columns; ++column) {
                widths.push_back(ListView_GetColumnWidth(list, column));
                int widest = 0;
                for (int row = 0; row < ListView_GetItemCount(list); ++row) {
                    wchar_t text[MAX_PATH] = {};
                    ListView_GetItemText(list, row, column, text, MAX_PATH);
                    widest = std::max(widest, ListView_GetStringWidth(list, text));
                }
                if (column == 0) {  // after the check boxes
                    int cx = 0, cy = 0;
                    ImageList_GetIconSize(ListView_GetImageList(list, LVSIL_STATE), &cx, &cy);
                    widest += cx;
                }
                needed.push_back(widest);
            }
            testsupport::CaptureWindow(sheet.m_hWnd, L"Carrowind.Confirm.LongTitle");
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    });
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);

    // The title goes into the label as text: its "<", ">" and "&" as entities.
    EXPECT_NE(-1, label.Find(L"Nightfall on the Long Shelf &lt;A&gt; |B| &amp; Tales")) << label.ToNarrow();
    const CString decoded = DecodeMarkupText(ReplaceMarkupEntities(label));
    EXPECT_NE(-1, decoded.Find(title)) << decoded.ToNarrow();
    ASSERT_EQ(4u, widths.size());
    for (size_t column = 0; column < widths.size(); ++column)
        EXPECT_GT(widths[column], needed[column]) << "column " << column;
    // The long title wraps inside its label and is shown whole (it used to be cut after one line).
    ASSERT_FALSE(titleRuns.empty());
    CString drawn;
    for (const CMarkupLabel::DrawnRun& run : titleRuns)
        drawn += run.text;
    EXPECT_NE(-1, drawn.Find(title)) << drawn.ToNarrow();
    EXPECT_GT(titleRuns.back().rect.top, titleRuns.front().rect.top);
    EXPECT_LE(titleRuns.back().rect.bottom, titleArea.bottom);
    for (const CMarkupLabel::DrawnRun& run : titleRuns)
        EXPECT_LE(run.rect.right, titleArea.right) << run.text.ToNarrow();
}

// How the import mode and the AAC bit rate follow from the installed iTunes, its settings and
// the chapter server's value: an iTunes of version 12 or later (or of no known version) is
// used as it is; an older one answers from its settings; a read that throws keeps the mode
// before; without a rate from iTunes the chapter server's counts (42 when its value cannot be
// read, iTunes' or 64 without its key), doubled for music.
TEST(ConfirmPage, TheImportModeAndBitRateForEachiTunesAndTitle)
{
    struct Row {
        const wchar_t* version;
        int kind;
        int answer;       // what iTunes' settings answer; -1 throws
        DWORD rate;       // the rate they give
        int registry;     // 1 value read (80), 0 value unreadable, -1 no key
        int modeBefore;
        int mode;
        DWORD bitRate;
        const wchar_t* firstLog;
    };
    const Row rows[] = {
        {L"11.4.0.18", KindAudiobook, 2, 128, 1, 0, 2, 128, L"Confirm: Checking xPod iTunes=11.4.0.18"},
        {L"10.7", KindAudiobook, 1, 64, 1, 0, 1, 64, L"Confirm: Checking xPod iTunes=10.7"},
        {L" 9.2.1 ", KindMusic, 2, 256, -1, 0, 2, 256, L"Confirm: Checking xPod iTunes=9.2.1"},
        {L"12.10.11.2", KindAudiobook, 2, 128, 1, 0, 1, 80, L"Confirm: Skip Checking xPod iTunes=12.10.11.2"},
        {L"", KindAudiobook, 2, 128, 0, 0, 1, 42, L"Confirm: Skip Checking xPod iTunes=Unknown"},
        {L".5", KindMusic, 2, 128, -1, 0, 1, 128, L"Confirm: Skip Checking xPod iTunes=.5"},
        {L"10.1", KindAudiobook, -1, 0, 0, 0, 0, 42, L"Confirm: Checking xPod iTunes=10.1"},
        {L"10.1", KindMusic, -1, 0, 1, 2, 2, 160, L"Confirm: Checking xPod iTunes=10.1"},
        {L"10.1", KindMp3Audiobook, 2, 128, -1, 0, 0, 64, L"Confirm: nUseITunes==0, Read HCU\\SOFTWARE\\Vesperlin, Inc.\\Tessaline dwBitRateVal=64"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(CString(row.version).ToNarrow() + " kind " + std::to_string(row.kind));
        bool readSettings = false;
        const auto read = [&](iTunesImportSettings* settings) -> int {
            readSettings = true;
            if (row.answer < 0)
                throw CException();
            settings->bitRate = row.rate;
            settings->encoder = L"AAC Encoder";
            settings->preset = L"Preset";
            return row.answer;
        };
        const auto registry = [&](DWORD* value) {
            if (row.registry > 0)
                *value = 80;
            return row.registry;
        };
        int mode = row.modeBefore;
        iTunesImportSettings settings;
        std::vector<CString> log;
        CConfirmPage::ReadImportMode(row.version, row.kind, read, registry, &mode, &settings, &log);
        EXPECT_EQ(row.mode, mode);
        EXPECT_EQ(row.bitRate, settings.bitRate);
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(CString(row.firstLog), log.front());
        EXPECT_EQ(row.answer != 0 && row.kind != KindMp3Audiobook && CString(row.firstLog).Find(L"Skip") < 0, readSettings);
    }
}

// The size a part counts for the free space once converted to AAC.
TEST(ConfirmPage, TheConvertedSizeOfAPartFromItsDurationOrItsFile)
{
    const struct {
        LONGLONG size;
        const wchar_t* duration;
        DWORD bitRate;
        ULONGLONG bytes;
    } rows[] = {
        {1000000, L"30:00", 64, 64ULL * 1801 * 128},
        {1000000, L"", 64, 1350000},
        {1000000, L"90", 64, 1350000},
        {1000, L"1:02:03", 128, 128ULL * 63 * 128},
        {0, L"0:00", 42, 42ULL * 128},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.bytes, CConfirmPage::EstimateAacBytes(row.size, row.duration, row.bitRate)) << CString(row.duration).ToNarrow();
}

}  // namespace
