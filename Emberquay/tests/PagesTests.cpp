// The CD wizard's sheet and pages under a display, against virtual recorders: Welcome ->
// Search -> Confirm filled from what the search found, the Options and Tracks dialogs, the
// Progress and Success pages; no recorder (the question, back to Welcome); Cancel while a
// search runs; titles that cannot be burned. Pictures of every page and dialog go to the
// screenshot folder.
#include "CdWizardApp.h"
#include "BurnThread.h"
#include "CdWizardSheet.h"
#include "FileUtils.h"
#include "HelpEntries.h"
#include "MediaFixtures.h"
#include "MediaMarkers.h"
#include "RecorderFixture.h"
#include "ScriptedReader.h"
#include "SearchFixtures.h"
#include "SuiteMessages.h"
#include "TitleFixtures.h"
#include "WindowTestSupport.h"
#include "res/EmberquayIds.h"
#include "res/HelpTopics.h"

#include <commctrl.h>

#include <atomic>
#include <functional>
#include <optional>

namespace {

using testsupport::MessageBoxRecorder;
using testsupport::StepRunner;
using wizardtest::LabelText;
using wizardtest::ReportSearchDone;

CCdWizardApp& App() { return *static_cast<CCdWizardApp*>(AfxGetWizardApp()); }

constexpr char kOneRecorder[] =
    "[Recorders]\r\nCount=1\r\n"
    "[Drive1]\r\nDevice=CdRom0\r\nLetter=D:\r\nVendor=VIRTUAL\r\nProduct=CD-RW 52X\r\n"
    "WriteSpeeds=706,1760,4224\r\n[Drive1.Disc1]\r\nType=CD-R\r\n";

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
        m_searches.reset();
        CDBurnThread::s_nextDiscPauseMs = 2000;
        RestoreTemp();
        RecorderTest::TearDown();
    }
    // The searches do what the test says instead of the recorder search.
    void HoldSearches(wizardtest::ScriptedSearches<DriveSearchJob>::Work work)
    {
        m_searches.emplace(SetDriveSearchStarter);
        m_searches->Do(std::move(work));
    }
    static CString ItemText(CWnd& page, UINT id) { return page.GetDlgItemText(static_cast<int>(id)); }
    static bool Visible(CWnd& page, UINT id) { return ::IsWindowVisible(::GetDlgItem(page.m_hWnd, static_cast<int>(id))) != FALSE; }

    // The steps from the Welcome page to the burn (Next twice; atConfirm runs on the Confirm
    // page), then the test's own.
    static std::vector<StepRunner::Step> ToTheBurn(CCdWizardSheet& sheet, std::vector<StepRunner::Step> rest,
                                                   std::function<void()> atConfirm = nullptr)
    {
        std::vector<StepRunner::Step> steps = {
            [&sheet] {
                sheet.PressButton(PSBTN_NEXT);
                return true;
            },
            [&sheet] { return sheet.GetActiveIndex() == 2; },
            [&sheet, atConfirm] {
                testsupport::PumpMessages(100);
                if (atConfirm)
                    atConfirm();
                sheet.PressButton(PSBTN_NEXT);
                return true;
            },
        };
        steps.insert(steps.end(), rest.begin(), rest.end());
        return steps;
    }

    // The track files go into a temporary folder of the test's own.
    void UseOwnTemp()
    {
        m_temp = m_folder / L"temp";
        CreateFolderPath(m_temp);
        wchar_t old[MAX_PATH] = {};
        GetEnvironmentVariableW(L"TMP", old, MAX_PATH);
        m_oldTmp = old;
        old[0] = 0;
        GetEnvironmentVariableW(L"TEMP", old, MAX_PATH);
        m_oldTemp = old;
        SetEnvironmentVariableW(L"TMP", m_temp);
        SetEnvironmentVariableW(L"TEMP", m_temp);
    }
    void RestoreTemp()
    {
        if (m_temp.IsEmpty())
            return;
        SetEnvironmentVariableW(L"TMP", m_oldTmp);
        SetEnvironmentVariableW(L"TEMP", m_oldTemp);
    }

    DriveSearchMethod m_method = DriveSearchMethod::automatic;
    std::optional<wizardtest::ScriptedSearches<DriveSearchJob>> m_searches;
    CString m_playlist;
    CString m_temp, m_oldTmp, m_oldTemp;
    MessageBoxRecorder m_boxes{IDCANCEL};
};

// Three seconds of CD audio, in samples of 100 ms, as the reader gives each part.
wmreader::ReaderScript CdAudioScript()
{
    wmreader::ReaderScript script;
    script.outputs = {{wmreader::AudioType(44100, 2, 16), {wmreader::AudioType(44100, 2, 16)}}};
    script.streams = {{1, wmreader::kMediaTypeAudio}};
    for (DWORD t = 0; t < 3000; t += 100)
        script.samples.push_back(wmreader::ScriptedSample::Pcm(t, 17640, 1, 100));
    return script;
}

// Readers of that script; the first sample of the whole burn waits, when the test holds it, until
// the test lets it go (the burn is then decoding its first part).
class HeldReaders {
public:
    HeldReaders()
        : m_reached(CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_release(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        m_previous = wmreader::SetMediaReaderFactory([this](std::unique_ptr<wmreader::MediaReader>* reader) {
            reader->reset(new Reader(*this));
            return S_OK;
        });
    }
    ~HeldReaders()
    {
        Release();
        wmreader::SetMediaReaderFactory(std::move(m_previous));
        CloseHandle(m_reached);
        CloseHandle(m_release);
    }
    void Hold() { m_hold = true; }
    bool Reached() const { return WaitForSingleObject(m_reached, 0) == WAIT_OBJECT_0; }
    void Release() { SetEvent(m_release); }

private:
    class Reader : public wmreader::ScriptedReader {
    public:
        explicit Reader(HeldReaders& owner) : ScriptedReader(CdAudioScript()), m_owner(owner) {}
        HRESULT NextSample(wmreader::Sample* sample) override
        {
            if (m_owner.m_hold.exchange(false)) {
                SetEvent(m_owner.m_reached);
                WaitForSingleObject(m_owner.m_release, 20000);
            }
            return ScriptedReader::NextSample(sample);
        }

    private:
        HeldReaders& m_owner;
    };
    HANDLE m_reached;
    HANDLE m_release;
    std::atomic<bool> m_hold{false};
    wmreader::MediaReaderFactory m_previous;
};

// Sees the messages the burn sends the Progress page before the page handles them.
class PageWatch {
public:
    using Seen = std::function<void(UINT message, WPARAM wParam, LPARAM lParam)>;
    PageWatch(HWND page, Seen seen) : m_page(page)
    {
        s_seen = std::move(seen);
        s_previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(page, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
    }
    ~PageWatch()
    {
        if (IsWindow(m_page))
            SetWindowLongPtrW(m_page, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_previous));
        s_seen = nullptr;
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (s_seen)
            s_seen(message, wParam, lParam);
        return CallWindowProcW(s_previous, window, message, wParam, lParam);
    }
    HWND m_page;
    static inline WNDPROC s_previous = nullptr;
    static inline Seen s_seen;
};

// The files of a folder.
std::vector<CString> FilesIn(const CString& folder)
{
    std::vector<CString> files;
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW(folder + L"\\*", &found);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.emplace_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return files;
}

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
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HoldSearches([go](DriveSearchJob& job) {
        WaitForSingleObject(go, 10000);
        SearchRecorders(job);
        ReportSearchDone(job);
    });
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
    // The marker at 1.5 s lies within the 4 s a CD track takes: the burn starts no track there,
    // and neither does the dialog.
    const std::vector<CString> expectedTree = {
        L"Night Crossing",
        L"  Part 1",
        L"    Track 01: Arrival (00:00.000)",
        L"  Part 2",
        L"    Track 01: Arrival (00:00.000)",
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
    HANDLE running = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HoldSearches([running](DriveSearchJob& job) {
        SetEvent(running);
        while (!job.stopRequested)
            Sleep(10);
        SearchRecorders(job);  // a search that stops finds nothing more
        ReportSearchDone(job);  // too late: ignored
    });
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

// The burn from the Confirm page on: decoding, then writing (Cancel grayed and refused, the
// status naming the track), then the Success page with the count and the time.
TEST_F(CdPages, TheBurnShowsItsProgressAndEndsOnTheSuccessPage)
{
    Use(kOneRecorder);
    UseOwnTemp();
    HeldReaders readers;
    readers.Hold();
    CCdWizardSheet sheet(m_playlist);
    std::unique_ptr<PageWatch> watch;
    CString writing, decodingPart, success;
    BOOL cancelEnabledWhileWriting = TRUE;
    StepRunner steps(ToTheBurn(sheet, {
        [&] { return sheet.GetActiveIndex() == 3 && readers.Reached(); },
        [&] {
            testsupport::PumpMessages(100);
            decodingPart = LabelText(sheet, &sheet.m_progress, IDC_PROGRESS_DOWNLOAD);
            testsupport::CaptureWindow(sheet.m_hWnd, L"Emberquay.Progress.Decoding");
            watch = std::make_unique<PageWatch>(sheet.m_progress.m_hWnd, [&](UINT message, WPARAM wParam, LPARAM lParam) {
                // The second track is about to be written: the first one's status shows.
                if (message == WM_ADD_PROGRESS && lParam == kStageTrack && wParam == 1 && writing.IsEmpty()) {
                    writing = ItemText(sheet.m_progress, IDC_PROGRESS_BURNING);
                    cancelEnabledWhileWriting = ::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, IDCANCEL));
                    testsupport::CaptureWindow(sheet.m_hWnd, L"Emberquay.Progress.Writing");
                    sheet.PressButton(PSBTN_CANCEL);
                }
            });
            readers.Release();
            return true;
        },
        [&] { return sheet.GetActiveIndex() == 4; },
        [&] {
            testsupport::PumpMessages(100);
            success = LabelText(sheet, &sheet.m_success, IDC_SUCCESS_MESSAGE);
            testsupport::CaptureWindow(sheet.m_hWnd, L"Emberquay.Success.AfterBurn");
            watch.reset();
            sheet.PressButton(PSBTN_FINISH);
            return true;
        },
    }));
    EXPECT_EQ(ID_WIZFINISH, sheet.DoModal());
    EXPECT_TRUE(steps.Done());
    EXPECT_NE(-1, decodingPart.Find(L"(1/2)")) << decodingPart.ToNarrow();
    EXPECT_FALSE(cancelEnabledWhileWriting);
    EXPECT_EQ(0, writing.Find(L"Status: Burning \"")) << writing.ToNarrow();
    EXPECT_NE(-1, writing.Find(L"(2/2), track 1/2 (cannot be cancelled)")) << writing.ToNarrow();
    // Said in discs: both parts went onto one CD.
    EXPECT_NE(-1, success.Find(L"has been burned to 1 CD.")) << success.ToNarrow();
    EXPECT_EQ(-1, success.Find(L"part(s)")) << success.ToNarrow();
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_EQ((std::vector<CString>{L"Track01.wav", L"Track02.wav"}), FilesIn(DiscFolder(1, 1)));
    EXPECT_TRUE(FilesIn(m_temp).empty());
    EXPECT_EQ(2, sheet.m_lastBurnedPart);
}

TEST_F(CdPages, CancelWhileDecodingGoesBackToConfirmWithoutATrackFile)
{
    Use(kOneRecorder);
    UseOwnTemp();
    HeldReaders readers;
    readers.Hold();
    CCdWizardSheet sheet(m_playlist);
    CString canceling;
    StepRunner steps(ToTheBurn(sheet, {
        [&] { return sheet.GetActiveIndex() == 3 && readers.Reached(); },
        [&] {
            sheet.PressButton(PSBTN_CANCEL);
            testsupport::PumpMessages(100);
            // The wizard stays until the burn has ended.
            EXPECT_EQ(3, sheet.GetActiveIndex());
            readers.Release();
            return true;
        },
        [&] { return sheet.GetActiveIndex() == 2 && !sheet.m_progress.IsBurning(); },
        [&] {
            testsupport::PumpMessages(100);
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    }));
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_TRUE(FilesIn(m_temp).empty());
    EXPECT_TRUE(FilesIn(DiscFolder(1, 1)).empty());
    EXPECT_TRUE(Calls("StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile").empty());
    EXPECT_EQ(-1, sheet.m_lastBurnedPart);
}

// How a burn ends, by the disc and the choices: the page it leaves for, the questions and
// messages on the way and what lands on the discs.
TEST_F(CdPages, BurnOutcomes)
{
    constexpr char kDrive[] =
        "[Recorders]\r\nCount=1\r\n[Drive1]\r\nDevice=CdRom0\r\nLetter=D:\r\nVendor=VIRTUAL\r\nProduct=CD-RW 52X\r\n";
    const struct Case {
        const char* name;
        std::string discs;  // Discs= and the disc sections
        BOOL testMode;
        int answer;
        int page;           // where the wizard ends up
        std::vector<const wchar_t*> boxes;  // the beginnings of the boxes shown
        std::vector<size_t> tracks;         // per disc
        size_t sessionsClosed;
    } cases[] = {
        {"one disc", "Discs=1\r\n[Drive1.Disc1]\r\nType=CD-R\r\n", FALSE, IDOK, 4, {}, {2}, 1},
        {"two discs", "Discs=2\r\n[Drive1.Disc1]\r\nType=CD-R\r\nFreeBytes=1000000\r\n[Drive1.Disc2]\r\nType=CD-R\r\n",
         FALSE, IDOK, 4, {L"The burning of CD 1 of 2 has completed.  Please insert another blank recordable CD"}, {1, 1}, 2},
        {"test mode", "Discs=1\r\n[Drive1.Disc1]\r\nType=CD-R\r\n", TRUE, IDOK, 2,
         {L"The Emberquay will begin a burn in Test mode", L"The Emberquay has completed burning in Test mode without errors."},
         {0}, 0},
        {"a write failure at the second track", "Discs=1\r\n[Drive1.Disc1]\r\nType=CD-R\r\nFailTrack=2\r\n", FALSE, IDOK, 2,
         {L"An error occurred while attempting to burn \"Harbour-Part02.mp3\".\n\nUnable to burn track 2 of the CD "
          L"(track 1 of the part \"Harbour-Part02.mp3\").\n"},
         {1}, 0},
        {"a disc that is not blank", "Discs=1\r\n[Drive1.Disc1]\r\nType=CD-R\r\nUsedBytes=1000000\r\n", FALSE, IDCANCEL, 2,
         {L"The CD in the selected recordable CD drive is not blank.\nPlease make sure a blank recordable CD is properly "
          L"inserted into the selected recordable CD drive \"D: (VIRTUAL CD-RW 52X)\"."},
         {0}, 0},
        {"no disc", "Discs=0\r\n", FALSE, IDCANCEL, 2,
         {L"No recordable CD media could be found.\nPlease make sure a blank recordable CD is properly inserted into "
          L"the selected recordable CD drive \"D: (VIRTUAL CD-RW 52X)\"."},
         {0}, 0},
    };
    UseOwnTemp();
    CDBurnThread::s_nextDiscPauseMs = 10;
    wmreader::ScriptedReaderFactory reader(CdAudioScript());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::RemoveTree(m_folder / L"discs");
        DeleteFileW(m_folder / L"calls.log");
        Use(std::string(kDrive) + c.discs);
        m_boxes.Clear();
        m_boxes.SetAnswer(c.answer);
        CCdWizardSheet sheet(m_playlist);
        int ended = -1;
        StepRunner steps(ToTheBurn(sheet, {
            // The burn has run (quickly, when it ends at its first question) and left the page.
            [&] {
                return !sheet.m_progress.States().empty() && sheet.GetActiveIndex() != 3 &&
                       !sheet.m_progress.IsBurning();
            },
            [&] {
                testsupport::PumpMessages(100);
                ended = sheet.GetActiveIndex();
                sheet.PressButton(ended == 4 ? PSBTN_FINISH : PSBTN_CANCEL);
                return true;
            },
        }, [&] { sheet.m_testMode = c.testMode; }));
        sheet.DoModal();
        EXPECT_TRUE(steps.Done());
        EXPECT_EQ(c.page, ended);
        ASSERT_EQ(c.boxes.size(), m_boxes.Boxes().size());
        for (size_t i = 0; i < c.boxes.size(); ++i)
            EXPECT_EQ(0, m_boxes.Boxes()[i].text.Find(c.boxes[i])) << m_boxes.Boxes()[i].text.ToNarrow();
        for (size_t d = 0; d < c.tracks.size(); ++d)
            EXPECT_EQ(c.tracks[d], FilesIn(DiscFolder(1, static_cast<int>(d) + 1)).size()) << "disc " << d + 1;
        EXPECT_EQ(c.sessionsClosed, Calls("StarBurn_CdvdBurnerGrabber_CloseSession").size());
        EXPECT_TRUE(FilesIn(m_temp).empty());
    }
}

// Every Help entry of the CD wizard (the system menu's Help Topics and copyright entries, the
// Help buttons of the About, Options and Tracks dialogs) makes one call of the help file: they
// used to come back to the sheet for ever.
TEST_F(CdPages, EveryHelpEntryOpensTheHelpFileOnce)
{
    Use(kOneRecorder);
    HoldSearches([](DriveSearchJob& job) {
        SearchRecorders(job);
        ReportSearchDone(job);
    });
    testsupport::HtmlHelpRecorder recorder;
    // The help calls a user's action makes (the sheet also starts and ends the help system).
    auto contextCalls = [&recorder] {
        std::vector<AfxHtmlHelpCall> calls;
        for (const AfxHtmlHelpCall& call : recorder.Calls())
            if (call.command == HH_HELP_CONTEXT)
                calls.push_back(call);
        return calls;
    };
    CCdWizardSheet sheet(m_playlist);
    auto clickHelpOf = [&](const wchar_t* caption, size_t calls) {
        return std::vector<StepRunner::Step>{
            [=] { return testsupport::WaitForWindow(L"#32770", caption, 0) != nullptr; },
            [=] {
                HWND dialog = testsupport::WaitForWindow(L"#32770", caption, 0);
                HWND button = ::GetDlgItem(dialog, ID_HELP);
                ::SendMessageW(button ? button : ::GetDlgItem(dialog, IDHELP), BM_CLICK, 0, 0);
                return true;
            },
            [contextCalls, calls] { return contextCalls().size() >= calls; },
            [=] {
                ::PostMessageW(testsupport::WaitForWindow(L"#32770", caption, 0), WM_COMMAND, IDCANCEL, 0);
                return true;
            },
            [=] { return testsupport::WaitForWindow(L"#32770", caption, 0) == nullptr; },
        };
    };
    std::vector<StepRunner::Step> all{
        [&] {
            sheet.PostMessage(WM_SYSCOMMAND, CWizardSheetBase::kCommandHelpTopics);
            return true;
        },
        [&] { return contextCalls().size() >= 1; },
        [&] {
            sheet.PostMessage(WM_SYSCOMMAND, CWizardSheetBase::kCommandCopyright);
            return true;
        },
        [&] { return contextCalls().size() >= 2; },
        [&] {
            sheet.PostMessage(WM_SYSCOMMAND, CWizardSheetBase::kCommandAbout);
            return true;
        },
    };
    for (auto& step : clickHelpOf(L"About Vesperlin Emberquay", 3))
        all.push_back(step);
    all.push_back([&] {
        sheet.PressButton(PSBTN_NEXT);
        return true;
    });
    all.push_back([&] { return sheet.GetActiveIndex() == 2; });
    all.push_back([&] {
        testsupport::PumpMessages(100);
        sheet.m_confirm.PostMessage(WM_COMMAND, MAKEWPARAM(IDC_CONFIRM_OPTIONS, BN_CLICKED), 0);
        return true;
    });
    for (auto& step : clickHelpOf(L"Vesperlin Emberquay - Options", 4))
        all.push_back(step);
    all.push_back([&] {
        sheet.m_confirm.PostMessage(WM_COMMAND, MAKEWPARAM(IDC_CONFIRM_TRACKS, BN_CLICKED), 0);
        return true;
    });
    for (auto& step : clickHelpOf(L"Vesperlin Emberquay \u2013 Tracks", 5))
        all.push_back(step);
    all.push_back([&] {
        sheet.PressButton(PSBTN_CANCEL);
        return true;
    });
    StepRunner steps(std::move(all));
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());
    const CString file(App().m_pszHelpFilePath ? App().m_pszHelpFilePath : L"");
    const DWORD_PTR expected[] = {HID_BASE_COMMAND + CWizardSheetBase::kCommandHelpTopics,
                                  HID_BASE_COMMAND + CWizardSheetBase::kCommandCopyright, HID_BASE_RESOURCE + IDD_ABOUT,
                                  HID_BASE_RESOURCE + IDD_BURN_OPTIONS, HID_BASE_RESOURCE + IDD_TRACKS};
    const std::vector<AfxHtmlHelpCall> calls = contextCalls();
    ASSERT_EQ(5u, calls.size());
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(static_cast<UINT>(HH_HELP_CONTEXT), calls[i].command) << i;
        EXPECT_EQ(expected[i], calls[i].data) << i;
        EXPECT_EQ(file, calls[i].file) << i;
    }
}

// The source of a page of the wizard's help file.
CString HelpPageSource(const wchar_t* topic)
{
    const bool shared = CString(topic) == kAboutHelpTopic || CString(topic) == kWizardHelpTopic;
    return testsupport::SourcePath(CString(shared ? L"wizard/help/" : L"Emberquay/help/") + topic);
}

// Every control a user reaches on a page or dialog carries its help id, and the page of its
// window in the help file has the pop-up for it (the pop-ups used to be looked up with no id).
TEST(CdPageHelp, EveryControlOfEveryPageAndDialogHasItsPopupInItsWindowsTopic)
{
    const wizardtest::TemplateHelp dialogs[] = {
        {IDD_WELCOME_PAGE, "Welcome", HelpPageSource(kWelcomeHelpTopic), {}, {}},
        {IDD_SEARCH_PAGE, "Search", HelpPageSource(kSearchHelpTopic), {}, {}},
        {IDD_CONFIRM_PAGE, "Confirm", HelpPageSource(kConfirmHelpTopic), {}, {}},
        {IDD_PROGRESS_PAGE, "Progress", HelpPageSource(kProgressHelpTopic), {}, {}},
        {IDD_SUCCESS_PAGE, "Success", HelpPageSource(kSuccessHelpTopic), {}, {}},
        {IDD_ABOUT, "About", HelpPageSource(kAboutHelpTopic), {}, {}},
        {IDD_BURN_OPTIONS, "Options", HelpPageSource(kOptionsHelpTopic), {}, {}},
        {IDD_TRACKS, "Tracks", HelpPageSource(kTracksHelpTopic), {}, {}},
    };
    for (const wizardtest::TemplateHelp& dialog : dialogs)
        wizardtest::ExpectTemplateHelp(dialog);
}

// "?", F1 and Shift+F1 on each control of the Welcome and Confirm pages and of the About,
// Options and Tracks dialogs; F1 pressed on the wizard opens the page's help once.
TEST_F(CdPages, EachControlOfThePagesAndDialogsShowsItsOwnHelp)
{
    Use(kOneRecorder);
    HoldSearches([](DriveSearchJob& job) {
        SearchRecorders(job);
        ReportSearchDone(job);
    });
    testsupport::HtmlHelpRecorder recorder;
    const CString file(App().m_pszHelpFilePath ? App().m_pszHelpFilePath : L"");
    auto help = [&file](const wchar_t* topic, UINT dialog) {
        return wizardtest::DialogHelp{file, topic, HelpPageSource(topic), HID_BASE_RESOURCE + dialog};
    };
    CCdWizardSheet sheet(m_playlist);
    std::vector<AfxHtmlHelpCall> fromKey;
    size_t before = 0;
    // Opens a dialog, checks its controls' help, closes it.
    auto dialogSteps = [&](const wchar_t* caption, std::function<void()> open, const wchar_t* topic, UINT dialog) {
        return std::vector<StepRunner::Step>{
            [=] {
                open();
                return true;
            },
            [=] { return testsupport::WaitForWindow(L"#32770", caption, 0) != nullptr; },
            [=, &recorder] {
                HWND window = testsupport::WaitForWindow(L"#32770", caption, 0);
                wizardtest::ExpectControlHelp(window, recorder, help(topic, dialog));
                ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
                return true;
            },
            [=] { return testsupport::WaitForWindow(L"#32770", caption, 0) == nullptr; },
        };
    };
    std::vector<StepRunner::Step> all{
        [&] {
            wizardtest::ExpectControlHelp(sheet.m_welcome.m_hWnd, recorder, help(kWelcomeHelpTopic, IDD_WELCOME_PAGE));
            before = wizardtest::HelpRequests(recorder).size();
            HWND next = ::GetDlgItem(sheet.m_hWnd, 0x3024);
            ::SetFocus(next);
            ::PostMessageW(next, WM_KEYDOWN, VK_F1, 1);
            ::PostMessageW(next, WM_KEYUP, VK_F1, 0xC0000001);
            return true;
        },
        [&] { return wizardtest::HelpRequests(recorder).size() > before; },
        [&] {
            testsupport::PumpMessages(100);
            const std::vector<AfxHtmlHelpCall> calls = wizardtest::HelpRequests(recorder);
            fromKey.assign(calls.begin() + static_cast<std::ptrdiff_t>(before), calls.end());
            return true;
        },
    };
    for (auto& step : dialogSteps(L"About Vesperlin Emberquay",
                                  [&sheet] { sheet.PostMessage(WM_SYSCOMMAND, CWizardSheetBase::kCommandAbout); },
                                  kAboutHelpTopic, IDD_ABOUT))
        all.push_back(step);
    all.push_back([&] {
        sheet.PressButton(PSBTN_NEXT);
        return true;
    });
    all.push_back([&] { return sheet.GetActiveIndex() == 2; });
    all.push_back([&] {
        testsupport::PumpMessages(100);
        wizardtest::ExpectControlHelp(sheet.m_confirm.m_hWnd, recorder, help(kConfirmHelpTopic, IDD_CONFIRM_PAGE));
        return true;
    });
    for (auto& step : dialogSteps(L"Vesperlin Emberquay - Options",
                                  [&sheet] {
                                      sheet.m_confirm.PostMessage(WM_COMMAND, MAKEWPARAM(IDC_CONFIRM_OPTIONS, BN_CLICKED), 0);
                                  },
                                  kOptionsHelpTopic, IDD_BURN_OPTIONS))
        all.push_back(step);
    for (auto& step : dialogSteps(L"Vesperlin Emberquay \u2013 Tracks",
                                  [&sheet] {
                                      sheet.m_confirm.PostMessage(WM_COMMAND, MAKEWPARAM(IDC_CONFIRM_TRACKS, BN_CLICKED), 0);
                                  },
                                  kTracksHelpTopic, IDD_TRACKS))
        all.push_back(step);
    all.push_back([&] {
        sheet.PressButton(PSBTN_CANCEL);
        return true;
    });
    StepRunner steps(std::move(all));
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());
    ASSERT_EQ(1u, fromKey.size());
    EXPECT_EQ(static_cast<UINT>(HH_HELP_CONTEXT), fromKey[0].command);
    EXPECT_EQ(static_cast<DWORD_PTR>(HID_BASE_RESOURCE + IDD_WELCOME_PAGE), fromKey[0].data);
    EXPECT_EQ(file, fromKey[0].file);
}

}  // namespace
