// The real device search in the running wizard against the device manager's stand-in: the
// Search page moves on by itself, the Confirm page lists the players found, and the verbose
// log names each of them.
#include "CarrowindApp.h"
#include "CarrowindSheet.h"
#include "DeviceEnumeration.h"
#include "PlayerRecord.h"
#include "TitleFixtures.h"
#include "WindowTestSupport.h"
#include "res/ConfirmPageIds.h"

#include <gtest/gtest.h>

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

}  // namespace
