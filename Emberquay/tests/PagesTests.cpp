// The CD wizard's sheet and pages under a display, against virtual recorders: Welcome ->
// Search -> Confirm filled from what the search found, the Options and Tracks dialogs, the
// Progress and Success pages; no recorder (the question, back to Welcome); Cancel while a
// search runs; titles that cannot be burned. Pictures of every page and dialog go to the
// screenshot folder.
#include "CdWizardApp.h"
#include "CdWizardSheet.h"
#include "FileUtils.h"
#include "MarkupLabel.h"
#include "MediaFixtures.h"
#include "MediaMarkers.h"
#include "RecorderFixture.h"
#include "SuiteMessages.h"
#include "TitleFixtures.h"
#include "WindowTestSupport.h"
#include "res/EmberquayIds.h"

#include <commctrl.h>

#include <functional>

namespace {

using testsupport::MessageBoxRecorder;
using testsupport::StepRunner;

CCdWizardApp& App() { return *static_cast<CCdWizardApp*>(AfxGetWizardApp()); }

constexpr char kOneRecorder[] =
    "[Recorders]\r\nCount=1\r\n"
    "[Drive1]\r\nDevice=CdRom0\r\nLetter=D:\r\nVendor=VIRTUAL\r\nProduct=CD-RW 52X\r\n"
    "WriteSpeeds=706,1760,4224\r\n[Drive1.Disc1]\r\nType=CD-R\r\n";

// A search thread that waits for the test's go, then searches (or works as the test says).
class CHeldSearchThread : public CWinThread {
    DECLARE_DYNCREATE(CHeldSearchThread)
public:
    static std::function<void(DriveSearchJob&)>& Work()
    {
        static std::function<void(DriveSearchJob&)> work;
        return work;
    }
    std::shared_ptr<DriveSearchJob> m_job;

protected:
    BOOL InitInstance() override
    {
        if (Work())
            Work()(*m_job);
        return FALSE;
    }
};
IMPLEMENT_DYNCREATE(CHeldSearchThread, CWinThread)

class CdPages : public burntest::RecorderTest {
protected:
    void SetUp() override
    {
        m_method = SetDefaultDriveSearchMethod(DriveSearchMethod::library);
        App().m_contentType = L"MP3 Audiobook";
        App().m_bannerPath.Empty();
        App().m_stringsFilePath.Empty();
        // Two parts of three seconds with chapter markers (their album: "Night Crossing"), and the
        // console's playlist.
        const CString folder = m_folder / L"Harbour";
        CreateFolderPath(folder);
        std::vector<std::wstring> paths;
        for (int i = 1; i <= 2; ++i) {
            CString name;
            name.Format(L"Harbour\\Harbour-Part%02d.mp3", i);
            const CString path = mediafixtures::MakeMp3(m_folder, name);
            CMediaMarkers markers;
            ASSERT_EQ(S_OK, markers.Open(path, FALSE));
            markers.AddMarker(L"Arrival", 0);
            markers.AddMarker(CString(L'\u00A0', 6) + L"Quay", 800);
            markers.AddMarker(L"(Departure)", 1500);
            ASSERT_EQ(S_OK, markers.Close(TRUE));
            paths.push_back(path.str());
        }
        m_playlist = folder + L"\\Harbour.wax";
        wizardtest::WriteConsolePlaylist(m_playlist, paths, false);
    }
    void TearDown() override
    {
        SetDefaultDriveSearchMethod(m_method);
        SetDriveSearchStarter(nullptr);
        CHeldSearchThread::Work() = nullptr;
        RecorderTest::TearDown();
    }
    void HoldSearches()
    {
        SetDriveSearchStarter([](std::shared_ptr<DriveSearchJob> job) -> CWinThread* {
            auto* thread = static_cast<CHeldSearchThread*>(
                AfxBeginThread(RUNTIME_CLASS(CHeldSearchThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
            thread->m_job = std::move(job);
            return thread;
        });
    }
    static CString LabelText(CCdWizardSheet& sheet, CWnd* page, UINT id)
    {
        CMarkupLabel* label = sheet.FindMarkupLabel(page, id);
        return label ? label->GetWindowText() : CString(L"<no label>");
    }
    static CString ItemText(CWnd& page, UINT id) { return page.GetDlgItemText(static_cast<int>(id)); }
    static bool Visible(CWnd& page, UINT id) { return ::IsWindowVisible(::GetDlgItem(page.m_hWnd, static_cast<int>(id))) != FALSE; }

    DriveSearchMethod m_method = DriveSearchMethod::automatic;
    CString m_playlist;
    MessageBoxRecorder m_boxes{IDCANCEL};
};

// The tree's item texts, depth-first, indented by two blanks a level.
void TreeTexts(HWND tree, HTREEITEM item, int depth, std::vector<CString>& out)
{
    for (; item; item = TreeView_GetNextSibling(tree, item)) {
        wchar_t text[300] = {};
        TVITEMW info = {};
        info.mask = TVIF_TEXT;
        info.hItem = item;
        info.pszText = text;
        info.cchTextMax = static_cast<int>(std::size(text));
        TreeView_GetItem(tree, &info);
        out.push_back(CString(L' ', depth * 2) + text);
        TreeView_Expand(tree, item, TVE_EXPAND);
        TreeTexts(tree, TreeView_GetChild(tree, item), depth + 1, out);
    }
}

TEST_F(CdPages, ARecorderFoundFillsTheConfirmPageAndItsDialogs)
{
    Use(kOneRecorder);
    HoldSearches();
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CHeldSearchThread::Work() = [go](DriveSearchJob& job) {
        WaitForSingleObject(go, 10000);
        SearchRecorders(job);
        SendMessageW(job.owner, WM_DEVICE_SEARCH_DONE, 0, 0);
    };
    CCdWizardSheet sheet(m_playlist);
    CString welcome, searchCaption, oneDrive, discs, optionsCaption, tracksCaption, progress;
    bool comboShown = true, oneDriveShown = false, speedEnabled = false;
    int rows = 0, checked = 0, speedItems = 0;
    std::vector<CString> tree;
    StepRunner steps(std::vector<StepRunner::Step>{
        [&] {
            welcome = LabelText(sheet, &sheet.m_welcome, IDC_WELCOME_MESSAGE);
            testsupport::CaptureWindow(sheet.m_hWnd, L"Emberquay.Welcome");
            sheet.PressButton(PSBTN_NEXT);
            return true;
        },
        [&] { return sheet.GetActiveIndex() == 1 && sheet.m_search.IsSearching(); },
        [&] {
            searchCaption = sheet.GetWindowText();
            EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3024)));
            testsupport::CaptureWindow(sheet.m_hWnd, L"Emberquay.Search");
            SetEvent(go);
            return true;
        },
        [&] { return sheet.GetActiveIndex() == 2; },
        [&] {
            testsupport::PumpMessages(100);
            CWnd& page = sheet.m_confirm;
            comboShown = Visible(page, IDC_CONFIRM_DRIVES);
            oneDriveShown = Visible(page, IDC_CONFIRM_ONE_DRIVE);
            oneDrive = ItemText(page, IDC_CONFIRM_ONE_DRIVE);
            discs = ItemText(page, IDC_CONFIRM_DISCS);
            rows = sheet.m_confirm.PartList().GetItemCount();
            for (int row = 0; row < rows; ++row)
                checked += sheet.m_confirm.PartList().GetCheck(row) == CCheckedListCtrl::kChecked ? 1 : 0;
            testsupport::CaptureWindow(sheet.m_hWnd, L"Emberquay.Confirm");
            sheet.m_confirm.PostMessage(WM_COMMAND, MAKEWPARAM(IDC_CONFIRM_OPTIONS, BN_CLICKED), 0);
            return true;
        },
        [&] { return testsupport::WaitForWindow(L"#32770", L"Vesperlin Emberquay - Options", 0) != nullptr; },
        [&] {
            HWND options = testsupport::WaitForWindow(L"#32770", L"Vesperlin Emberquay - Options", 0);
            wchar_t text[200] = {};
            ::GetWindowTextW(options, text, 200);
            optionsCaption = text;
            HWND speed = ::GetDlgItem(options, IDC_OPTIONS_SPEED);
            speedItems = static_cast<int>(::SendMessageW(speed, CB_GETCOUNT, 0, 0));
            speedEnabled = ::IsWindowEnabled(speed) != FALSE;
            testsupport::CaptureWindow(options, L"Emberquay.Options");
            ::PostMessageW(options, WM_COMMAND, IDCANCEL, 0);
            return true;
        },
        [&] { return testsupport::WaitForWindow(L"#32770", L"Vesperlin Emberquay - Options", 0) == nullptr; },
        [&] {
            sheet.m_confirm.PostMessage(WM_COMMAND, MAKEWPARAM(IDC_CONFIRM_TRACKS, BN_CLICKED), 0);
            return true;
        },
        [&] { return testsupport::WaitForWindow(L"#32770", L"Vesperlin Emberquay \u2013 Tracks", 0) != nullptr; },
        [&] {
            HWND tracks = testsupport::WaitForWindow(L"#32770", L"Vesperlin Emberquay \u2013 Tracks", 0);
            HWND control = ::GetDlgItem(tracks, IDC_TRACKS_TREE);
            TreeTexts(control, TreeView_GetRoot(control), 0, tree);
            testsupport::CaptureWindow(tracks, L"Emberquay.Tracks");
            ::PostMessageW(tracks, WM_COMMAND, IDCANCEL, 0);
            return true;
        },
        [&] { return testsupport::WaitForWindow(L"#32770", L"Vesperlin Emberquay \u2013 Tracks", 0) == nullptr; },
        [&] {
            sheet.PressButton(PSBTN_NEXT);
            return true;
        },
        [&] { return sheet.GetActiveIndex() == 3; },
        [&] {
            progress = LabelText(sheet, &sheet.m_progress, IDC_PROGRESS_MESSAGE) + L"|" +
                       LabelText(sheet, &sheet.m_progress, IDC_PROGRESS_DRIVE) + L"|" +
                       LabelText(sheet, &sheet.m_progress, IDC_PROGRESS_SPEED);
            return true;
        },
        // The burn runs by itself and ends on the Success page.
        [&] { return sheet.GetActiveIndex() == 4; },
        [&] {
            testsupport::PumpMessages(100);
            EXPECT_EQ(CString(L"Time elapsed: 00:0"), ItemText(sheet.m_success, IDC_SUCCESS_ELAPSED).Left(18));
            testsupport::CaptureWindow(sheet.m_hWnd, L"Emberquay.Success");
            sheet.PressButton(PSBTN_FINISH);
            return true;
        },
    });
    EXPECT_EQ(ID_WIZFINISH, sheet.DoModal());
    EXPECT_TRUE(steps.Done());
    CloseHandle(go);

    EXPECT_NE(-1, welcome.Find(L"<b>Night Crossing</b>")) << welcome.ToNarrow();
    EXPECT_EQ(CString(L"Vesperlin Emberquay - Searching for CD Recorders"), searchCaption);
    // One recorder: its name alone, no combo box.
    EXPECT_FALSE(comboShown);
    EXPECT_TRUE(oneDriveShown);
    EXPECT_EQ(CString(L"D: (VIRTUAL CD-RW 52X)"), oneDrive);
    EXPECT_EQ(2, rows);
    EXPECT_EQ(2, checked);
    EXPECT_EQ(CString(L"1 recordable CD is required to burn the selected part(s)"), discs);
    EXPECT_EQ(CString(L"Vesperlin Emberquay - Options"), optionsCaption);
    EXPECT_EQ(4, speedItems);  // "Fastest" and the three speeds
    EXPECT_TRUE(speedEnabled);
    const std::vector<CString> expectedTree = {
        L"Night Crossing",
        L"  Part 1",
        L"    Track 01: Arrival (00:00.000)",
        L"    Track 02: Departure (00:01.500)",
        L"  Part 2",
        L"    Track 01: Arrival (00:00.000)",
        L"    Track 02: Departure (00:01.500)",
    };
    EXPECT_EQ(expectedTree, tree);
    // What Next left for the burn.
    EXPECT_EQ(0, sheet.m_selectedDrive);
    ASSERT_EQ(2, sheet.m_selectedParts.GetSize());
    EXPECT_NE(-1, progress.Find(L"<b>D: (VIRTUAL CD-RW 52X)</b>")) << progress.ToNarrow();
    EXPECT_NE(-1, progress.Find(L"Fastest")) << progress.ToNarrow();
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(CdPages, NoRecorderAsksThenGoesBackToWelcome)
{
    Use("[Recorders]\r\nCount=0\r\n");
    CCdWizardSheet sheet(m_playlist);
    StepRunner steps(std::vector<StepRunner::Step>{
        [&] {
            sheet.PressButton(PSBTN_NEXT);
            return true;
        },
        [&] { return !m_boxes.Boxes().empty() && sheet.GetActiveIndex() == 0 && !sheet.m_search.IsSearching(); },
        [&] {
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    });
    EXPECT_EQ(IDCANCEL, sheet.DoModal());
    EXPECT_TRUE(steps.Done());
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    EXPECT_EQ(AfxLoadString(IDS_NO_DEVICES_FOUND), m_boxes.Boxes()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_RETRYCANCEL | MB_ICONQUESTION), m_boxes.Boxes()[0].type);
    EXPECT_EQ(0, sheet.m_drives.GetSize());
}

TEST_F(CdPages, CancelWhileSearchingStopsTheSearchAndStaysOnWelcome)
{
    Use(kOneRecorder);
    HoldSearches();
    HANDLE running = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CHeldSearchThread::Work() = [running](DriveSearchJob& job) {
        SetEvent(running);
        while (!job.stopRequested)
            Sleep(10);
        SearchRecorders(job);  // a search that stops finds nothing more
        SendMessageW(job.owner, WM_DEVICE_SEARCH_DONE, 0, 0);  // too late: ignored
    };
    CCdWizardSheet sheet(m_playlist);
    int afterCancel = -1;
    bool searching = true;
    StepRunner steps(std::vector<StepRunner::Step>{
        [&] {
            sheet.PressButton(PSBTN_NEXT);
            return true;
        },
        [&] { return WaitForSingleObject(running, 0) == WAIT_OBJECT_0; },
        [&] {
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
        [&] { return sheet.GetActiveIndex() == 0; },
        [&] {
            testsupport::PumpMessages(200);
            afterCancel = sheet.GetActiveIndex();
            searching = sheet.m_search.IsSearching() != FALSE;
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    });
    EXPECT_EQ(IDCANCEL, sheet.DoModal());
    EXPECT_TRUE(steps.Done());
    EXPECT_EQ(0, afterCancel);
    EXPECT_FALSE(searching);
    EXPECT_EQ(0, sheet.m_drives.GetSize());
    CloseHandle(running);
}

TEST_F(CdPages, MorePartsThanOneBurnTakesAreRefusedOnNext)
{
    Use(kOneRecorder);
    // 97 parts: copies of one real part file.
    const CString folder = m_folder / L"Long";
    CreateFolderPath(folder);
    const CString source = mediafixtures::MakeMp3(m_folder, L"source.mp3");
    std::vector<std::wstring> paths;
    for (int i = 1; i <= 97; ++i) {
        CString path;
        path.Format(L"%s\\Long-Part%02d.mp3", folder.GetString(), i);
        ASSERT_TRUE(CopyFileW(source, path, FALSE));
        paths.push_back(path.str());
    }
    const CString playlist = folder + L"\\Long.wax";
    wizardtest::WriteConsolePlaylist(playlist, paths, false);
    CCdWizardSheet sheet(playlist);
    int pageAfterRefusal = -1;
    StepRunner steps(std::vector<StepRunner::Step>{
        [&] {
            sheet.PressButton(PSBTN_NEXT);
            return true;
        },
        [&] { return sheet.GetActiveIndex() == 2; },
        [&] {
            testsupport::PumpMessages(100);
            sheet.PressButton(PSBTN_NEXT);
            return true;
        },
        [&] { return !m_boxes.Boxes().empty(); },
        [&] {
            testsupport::PumpMessages(100);
            pageAfterRefusal = sheet.GetActiveIndex();
            // One part less is taken.
            sheet.m_confirm.PartList().SetCheck(96, CCheckedListCtrl::kUnchecked);
            sheet.PressButton(PSBTN_NEXT);
            return true;
        },
        [&] { return sheet.GetActiveIndex() == 3; },
        // Cancel stops the burn of the 96 parts and goes back to Confirm, where it closes.
        [&] {
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
        [&] { return sheet.GetActiveIndex() == 2 && !sheet.m_progress.IsBurning(); },
        [&] {
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    });
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());
    EXPECT_EQ(2, pageAfterRefusal);
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    EXPECT_EQ(CString(L"More parts have been selected than one burn can take.  Please select at most 96 parts."),
              m_boxes.Boxes()[0].text);
    EXPECT_EQ(96, sheet.m_selectedParts.GetSize());
}

TEST_F(CdPages, TitlesThatCannotBeBurnedEndTheWizardAfterTheirMessage)
{
    const struct {
        const wchar_t* type;
        const wchar_t* firstBox;  // the beginning of the first box's text
        size_t boxes;
    } cases[] = {
        {L"WMV Video (standard)", L"The selected video title \"Night Crossing\" cannot be burned to a recordable drive.", 1},
        {L"WMV Video (mobile)", L"The selected video title \"Night Crossing\" cannot be burned to a recordable drive.", 1},
        {L"Podcast", L"The specified title cannot be burned to CD.", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CString(c.type).ToNarrow());
        m_boxes.Clear();
        App().m_contentType = c.type;
        CCdWizardSheet sheet(m_playlist);
        EXPECT_EQ(IDCANCEL, sheet.DoModal());
        ASSERT_EQ(c.boxes, m_boxes.Boxes().size());
        EXPECT_EQ(0, m_boxes.Boxes()[0].text.Find(c.firstBox)) << m_boxes.Boxes()[0].text.ToNarrow();
    }
    EXPECT_NE(-1, m_boxes.Boxes()[0].text.Find(L"The content type of Podcast is not supported by Emberquay."));
}

}  // namespace
