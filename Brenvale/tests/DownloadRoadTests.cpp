// The console's download road under a display, against loopback HTTP servers: an order
// file handed to the frame becomes a library title whose parts download one after another;
// the queue's cancel, pause and resume, Play during a download, a retried server error, a
// truncated body, the error question's forms, the progress in the status bar, and the
// connection probe through a proxy that wants credentials.
#include "BrenvaleApp.h"
#include "BrenvaleListView.h"
#include "ConsoleTestSupport.h"
#include "FileUtils.h"
#include "HttpTestServer.h"
#include "LibraryTestSupport.h"
#include "MainFrm.h"
#include "ConsoleSettings.h"
#include "RegistryKey.h"
#include "ServedTitle.h"
#include "ServiceAddress.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"
#include "res/ConsoleDialogIds.h"
#include "res/ConsoleIds.h"
#include "res/DownloadQueueIds.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <functional>
#include <memory>
#include <string>

using namespace librarytest;
using testsupport::MessageBoxRecorder;
using testsupport::RunMessages;
using testsupport::ScratchFolder;

namespace {

constexpr const wchar_t* kTestAppName = L"Vesperlin Brenvale Download Road Tests";
constexpr const wchar_t* kProfileKey = L"Software\\Vesperlin, Inc.\\Vesperlin Brenvale Download Road Tests";
constexpr const wchar_t* kSettingsKey = L"Software\\Vesperlin, Inc.\\Vesperlin Brenvale Download Road Tests\\Settings";

class RoadLibrary : public CBrenvaleDoc {
    DECLARE_DYNCREATE(RoadLibrary)
public:
    RoadLibrary() { SetDataFolder(Folder()); }
    static CString& Folder()
    {
        static CString folder;
        return folder;
    }
};
IMPLEMENT_DYNCREATE(RoadLibrary, CBrenvaleDoc)


// Handles messages until the condition holds; false after the time-out.
bool RunUntil(const std::function<bool()>& done, DWORD ms = 60000)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms)
            return false;
        RunMessages(10);
    }
    return true;
}

bool Exists(const CString& path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }
using testsupport::FileSizeOf;

// Every ".tmp" file below the folder.
int CountTemporaryFiles(const CString& folder)
{
    int count = 0;
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW(folder + L"\\*", &found);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        const CString name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            count += CountTemporaryFiles(folder + L"\\" + name);
        else if (name.Right(4).CompareNoCase(L".tmp") == 0)
            ++count;
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return count;
}

std::string HeaderOf(const std::string& request, const std::string& name)
{
    const std::string key = "[\"" + name + "\", \"";
    const size_t at = request.find(key);
    if (at == std::string::npos)
        return std::string();
    const size_t start = at + key.size();
    return request.substr(start, request.find('"', start) - start);
}

class DownloadRoad : public ConsoleFixture<HttpServerSuite> {
protected:
    void SetUp() override
    {
        SHDeleteKeyW(HKEY_CURRENT_USER, kProfileKey);
        RoadLibrary::Folder() = m_scratch / L"Data";
        CreateFolderPath(RoadLibrary::Folder());
        m_media = m_scratch / L"Media";
        TestLibrary library(RoadLibrary::Folder());
        library.AddSource(MakeSource(L"s1", L"Loopback Source"));
        CMediaObject* title = MakeTitle(L"r1", L"s1", 3);
        title->SetDownloadFolder(m_media);
        library.AddTitleToLibrary(title);
        ASSERT_TRUE(library.SaveLibrary());
    }

    void TearDown() override
    {
        Stop();
        SHDeleteKeyW(HKEY_CURRENT_USER, kProfileKey);
    }

    void Start() { StartConsole(kTestAppName, RUNTIME_CLASS(RoadLibrary), 900, 600); }
    void Stop() { StopConsole(30000); }

    CMediaObject* Title() const { return m_frame->GetLibrary()->FindTitle(L"r1"); }
    CString PartPath(int index) const { return Title()->GetPart(index)->GetFilePath(Title()); }

    // Queues part `index` of the title from the server path, as the Download command does.
    void QueuePart(int index, const wchar_t* serverPath)
    {
        auto* job = new CDownloadJob(nullptr, nullptr);
        job->m_strUrl = s_server->Url(serverPath);
        job->m_strTargetPath = PartPath(index);
        job->m_strTitleId = L"r1";
        job->m_nPartIndex = index;
        job->m_hOwnerWnd = m_hwnd;
        job->m_strClientId = m_frame->GetLibrary()->GetLibraryId();
        m_frame->GetDownloadQueue().Add(job);
    }
    void StartQueue() { PostMessageW(m_hwnd, WM_START_NEXT_DOWNLOAD, 0, 0); }

    // Selects only the list's row of that title.
    void SelectOnly(const wchar_t* id)
    {
        CListCtrl& rows = m_frame->GetListView()->GetListCtrl();
        rows.SetItemState(-1, 0, LVIS_SELECTED);
        for (int row = 0; row < rows.GetItemCount(); ++row) {
            const auto* title = reinterpret_cast<const CMediaObject*>(rows.GetItemData(row));
            if (title && title->m_mediaId == id)
                rows.SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
        }
    }

    bool QueueIsDone() const { return m_frame->GetDownloadQueue().IsEmpty() && m_frame->GetQueueState() == 0; }

    CString StatusText(int pane) const
    {
        HWND bar = GetDlgItem(m_hwnd, AFX_IDW_STATUS_BAR);
        wchar_t text[512] = {};
        SendMessageW(bar, SB_GETTEXTW, static_cast<WPARAM>(pane), reinterpret_cast<LPARAM>(text));
        return text;
    }
    HWND ProgressBar() const { return FindWindowExW(GetDlgItem(m_hwnd, AFX_IDW_STATUS_BAR), nullptr, PROGRESS_CLASSW, nullptr); }

    ScratchFolder m_scratch;
    CString m_media;
    MessageBoxRecorder m_boxes{IDNO};
};

TEST_F(DownloadRoad, CancelDuringTheFirstPartEmptiesTheQueueAndLeavesNoTemporaryFile)
{
    Start();
    QueuePart(0, L"/slow/400000/4096/20");
    QueuePart(1, L"/file/1000");
    QueuePart(2, L"/file/2000");
    StartQueue();
    ASSERT_TRUE(RunUntil([&] { return Exists(PartPath(0) + L".tmp") && ProgressBar(); }));
    EXPECT_EQ(m_frame->GetQueueState(), 1);
    EXPECT_EQ(StatusText(0), L"Downloading: Part 1 of \"Title r1: A & B\"...");

    SendMessageW(m_hwnd, WM_COMMAND, ID_DOWNLOAD_CANCEL, 0);
    ASSERT_TRUE(RunUntil([&] { return QueueIsDone(); }));
    RunMessages(100);
    EXPECT_EQ(CountTemporaryFiles(m_media), 0);
    for (int part = 0; part < 3; ++part)
        EXPECT_FALSE(Exists(PartPath(part))) << part;
    EXPECT_TRUE(s_server->RequestsFor("/file/1000").empty()) << "a cancel ends every queued job";
    EXPECT_EQ(ProgressBar(), nullptr);
    EXPECT_EQ(StatusText(0), L"For Help, press F1");
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(DownloadRoad, PauseHoldsTheTransferAndResumeCompletesEveryPart)
{
    Start();
    QueuePart(0, L"/slow/300000/8192/20");
    QueuePart(1, L"/file/70000");
    StartQueue();
    const CString temporary = PartPath(0) + L".tmp";
    ASSERT_TRUE(RunUntil([&] { return FileSizeOf(temporary) > 20000; }));

    SendMessageW(m_hwnd, WM_COMMAND, ID_DOWNLOAD_PAUSE, 0);
    EXPECT_EQ(m_frame->GetQueueState(), 2);
    EXPECT_EQ(StatusText(0), L"Paused: Part 1 of \"Title r1: A & B\"...");
    RunMessages(300);  // what was on its way when the pause came
    const LONGLONG held = FileSizeOf(temporary);
    RunMessages(700);
    EXPECT_EQ(FileSizeOf(temporary), held) << "a paused download reads nothing";
    EXPECT_LT(held, 300000);

    SendMessageW(m_hwnd, WM_COMMAND, ID_DOWNLOAD_PAUSE, 0);
    EXPECT_EQ(m_frame->GetQueueState(), 1);
    ASSERT_TRUE(RunUntil([&] { return QueueIsDone(); }));
    EXPECT_EQ(testsupport::ReadAll(PartPath(0)), ServerBody(300000));
    EXPECT_EQ(testsupport::ReadAll(PartPath(1)), ServerBody(70000));
    EXPECT_EQ(CountTemporaryFiles(m_media), 0);
    const auto requests = s_server->RequestsFor("/file/70000");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(HeaderOf(requests[0], "ClientID"), m_frame->GetLibrary()->GetLibraryId().ToNarrow());
}

TEST_F(DownloadRoad, PlayStopsTheDownloadAndTheHeadJobStartsAgainInTheStateItHad)
{
    for (const bool paused : {false, true}) {
        SCOPED_TRACE(paused ? "paused" : "running");
        Start();
        // A part on disk makes the title playable.
        ASSERT_TRUE(CreateParentFolder(PartPath(0)));
        testsupport::WriteAll(PartPath(0), std::string(100, '\1'));
        const std::wstring path = paused ? L"/slow/200000/8192/20?paused" : L"/slow/200000/8192/20?running";
        QueuePart(1, path.c_str());
        StartQueue();
        ASSERT_TRUE(RunUntil([&] { return Exists(PartPath(1) + L".tmp"); }));
        if (paused)
            SendMessageW(m_hwnd, WM_COMMAND, ID_DOWNLOAD_PAUSE, 0);

        SendMessageW(m_hwnd, WM_COMMAND, ID_TITLE_PLAY, 0);
        // Stopped and waited for: the job is still queued, and its part starts again.
        ASSERT_EQ(m_frame->GetDownloadQueue().GetSize(), 1);
        EXPECT_TRUE(Title()->GetLastPlayedDate().GetStatus() == COleDateTime::valid);
        ASSERT_TRUE(RunUntil([&] { return m_frame->GetQueueState() != 0; }));
        EXPECT_EQ(m_frame->GetQueueState(), paused ? 2 : 1);
        if (paused)
            SendMessageW(m_hwnd, WM_COMMAND, ID_DOWNLOAD_PAUSE, 0);
        ASSERT_TRUE(RunUntil([&] { return QueueIsDone(); }));
        EXPECT_EQ(testsupport::ReadAll(PartPath(1)), ServerBody(200000));
        EXPECT_EQ(s_server->RequestsFor(CString(path.c_str()).ToNarrow()).size(), 2u) << "fetched anew after the stop";
        EXPECT_EQ(CountTemporaryFiles(m_media), 0);
        const CString downloaded = PartPath(1);
        Stop();
        DeleteFileW(downloaded);
    }
}

TEST_F(DownloadRoad, AServerErrorAnsweredWithYesIsRetriedAndTheTruncatedBodyIsNeverStored)
{
    Start();
    m_boxes.SetAnswer(IDYES);
    QueuePart(0, L"/flaky/road/50000");
    StartQueue();
    ASSERT_TRUE(RunUntil([&] { return QueueIsDone(); }));
    EXPECT_EQ(testsupport::ReadAll(PartPath(0)), ServerBody(50000));
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    const CString& asked = m_boxes.Boxes()[0].text;
    EXPECT_EQ(asked.Find(L"An error occurred while attempting to download Part 1 of \"Title r1: A & B\"...\n"), 0)
        << asked.ToNarrow();
    EXPECT_NE(asked.Find(L"response code 500"), -1);
    EXPECT_NE(asked.Find(L"Click 'Yes' to attempt to download Part 1 again."), -1);
    EXPECT_EQ(m_boxes.Boxes()[0].type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));

    // A body shorter than its length is a lost connection: asked about without a retry, no file.
    m_boxes.Clear();
    m_boxes.SetAnswer(IDOK);
    QueuePart(1, L"/truncated/100000/30000");
    StartQueue();
    ASSERT_TRUE(RunUntil([&] { return QueueIsDone(); }));
    EXPECT_FALSE(Exists(PartPath(1)));
    EXPECT_EQ(CountTemporaryFiles(m_media), 0);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_NE(m_boxes.Boxes()[0].text.Find(L"The connection to the Internet has been lost"), -1);
    EXPECT_EQ(m_boxes.Boxes()[0].type & MB_TYPEMASK, static_cast<UINT>(MB_OK));
}

TEST_F(DownloadRoad, TheErrorQuestionOffersWhatTheQueueCanDo)
{
    Start();
    m_boxes.SetAnswer(IDCANCEL);
    // Nothing queued: the part is skipped without a question, so that a queue never sticks.
    EXPECT_EQ(SendMessageW(m_hwnd, WM_DOWNLOAD_ERROR, 1, reinterpret_cast<LPARAM>(L"why")), IDNO);
    EXPECT_TRUE(m_boxes.Boxes().empty());

    const struct {
        int jobs;
        WPARAM mayRetry;
        UINT buttons;
        const wchar_t* ending;
    } cases[] = {
        {1, 1, MB_YESNO, L"Click 'No' to cancel this download."},
        {1, 0, MB_OK, L"\nwhy"},
        {2, 1, MB_YESNOCANCEL, L"Click 'Cancel' to cancel all pending downloads."},
        {2, 0, MB_OKCANCEL, L"Click 'Cancel' to cancel all pending downloads."},
    };
    for (const auto& c : cases) {
        m_frame->CancelDownload();  // no thread: emptied at once
        for (int j = 0; j < c.jobs; ++j)
            QueuePart(j, L"/file/1");
        m_boxes.Clear();
        EXPECT_EQ(SendMessageW(m_hwnd, WM_DOWNLOAD_ERROR, c.mayRetry, reinterpret_cast<LPARAM>(L"why")), IDCANCEL);
        ASSERT_EQ(m_boxes.Boxes().size(), 1u);
        const CString& text = m_boxes.Boxes()[0].text;
        EXPECT_EQ(text.Right(static_cast<int>(wcslen(c.ending))), c.ending) << text.ToNarrow();
        EXPECT_EQ(m_boxes.Boxes()[0].type & MB_TYPEMASK, c.buttons) << c.jobs << " " << c.mayRetry;
    }
    m_frame->CancelDownload();
    EXPECT_TRUE(m_frame->GetDownloadQueue().IsEmpty());
}

TEST_F(DownloadRoad, TheStatusBarShowsTheProgressWhichNeverMovesBackUntilAJobStartsAgain)
{
    Start();
    QueuePart(0, L"/file/1");
    auto* job = static_cast<CDownloadJob*>(m_frame->GetDownloadQueue()[0]);
    SendMessageW(m_hwnd, WM_DOWNLOAD_STARTED, 0, reinterpret_cast<LPARAM>(job));
    ASSERT_NE(ProgressBar(), nullptr);
    EXPECT_EQ(StatusText(2), L"0%");
    SendMessageW(m_hwnd, WM_DOWNLOAD_PROGRESS, 60, reinterpret_cast<LPARAM>(job));
    SendMessageW(m_hwnd, WM_DOWNLOAD_PROGRESS, 40, reinterpret_cast<LPARAM>(job));
    EXPECT_EQ(SendMessageW(ProgressBar(), PBM_GETPOS, 0, 0), 60);
    EXPECT_EQ(StatusText(2), L"60%");
    EXPECT_EQ(StatusText(0), L"Downloading: Part 1 of \"Title r1: A & B\"...");
    RunMessages(50);
    testsupport::CaptureWindow(m_hwnd, L"Console.Frame.Downloading");
    // A job fetched anew (after a stop) starts from its first byte.
    SendMessageW(m_hwnd, WM_DOWNLOAD_STARTED, 0, reinterpret_cast<LPARAM>(job));
    EXPECT_EQ(SendMessageW(ProgressBar(), PBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(StatusText(2), L"0%");
    m_frame->CancelDownload();
    EXPECT_EQ(ProgressBar(), nullptr);
}

// --- The whole road: an order file handed to the frame ---

class OrderFileRoad : public DownloadRoad {
protected:
    void SetUp() override
    {
        DownloadRoad::SetUp();
        ASSERT_TRUE(m_title.Make(m_scratch / L"Served"));
        ASSERT_TRUE(m_road.Start(testsupport::UnixPath(m_title.m_folder)));
    }

    // The download folder of MP3 audiobooks (made) and the server as the service, in the settings.
    CString UseDownloadsFolder()
    {
        const CString downloads = m_scratch / L"Downloads";
        EXPECT_TRUE(CreateFolderPath(downloads));
        CRegistryKey settings;
        EXPECT_EQ(settings.Create(HKEY_CURRENT_USER, kSettingsKey, KEY_WRITE), ERROR_SUCCESS);
        RegSetValueExW(settings, L"DownloadFolder-MP3 Audiobook", 0, REG_SZ, reinterpret_cast<const BYTE*>(downloads.GetString()),
                       static_cast<DWORD>((downloads.GetLength() + 1) * sizeof(wchar_t)));
        const CString service = m_road.Url(L"");
        RegSetValueExW(settings, kServiceAddressSetting, 0, REG_SZ, reinterpret_cast<const BYTE*>(service.GetString()),
                       static_cast<DWORD>((service.GetLength() + 1) * sizeof(wchar_t)));
        return downloads;
    }

    // Hands the order file to the frame and answers its Get Media and Download dialogs with OK,
    // showing the Download dialog to onDownload first when given.
    void HandOverAndAccept(const CString& order, const std::function<void(HWND)>& onDownload = {})
    {
        testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{
            [&] {
                HWND dialog = testsupport::WaitForWindow(L"#32770", L"Get Media", 0);
                if (dialog)
                    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                return dialog != nullptr;
            },
            [&] {
                HWND dialog = testsupport::WaitForWindow(L"#32770", L"Download", 0);
                if (dialog && onDownload)
                    onDownload(dialog);
                if (dialog)
                    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                return dialog != nullptr;
            },
        });
        SendMessageW(m_hwnd, WM_OPEN_PATH, 0, reinterpret_cast<LPARAM>(order.GetString()));
    }

    CString WriteOrderFile(const wchar_t* id, const wchar_t* titleText)
    {
        const CString path = m_scratch / L"road order.vpm";
        m_title.WriteOrderFile(path, m_road, id, titleText);
        return path;
    }

    ServedTitle m_title;
    HttpTestServer m_road;
};

TEST_F(OrderFileRoad, AnOrderFileBecomesALibraryTitleSavedAtOnceWhosePartsDownloadWhole)
{
    const CString downloads = UseDownloadsFolder();
    Start();
    const CString order = WriteOrderFile(L"{7D1E0F00-0000-4000-8000-0000000000AA}", L"Road Test: Loopback");

    bool sawGetMedia = false;
    testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{
        [&] {
            HWND dialog = testsupport::WaitForWindow(L"#32770", L"Get Media", 0);
            if (!dialog)
                return false;
            sawGetMedia = true;
            wchar_t folder[MAX_PATH] = {};
            GetDlgItemTextW(dialog, IDC_GET_MEDIA_FOLDER, folder, MAX_PATH);
            EXPECT_EQ(CString(folder), downloads);
            testsupport::CaptureWindow(dialog, L"Console.GetMedia.NewTitle");
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            return true;
        },
        [&] {
            HWND dialog = testsupport::WaitForWindow(L"#32770", L"Download", 0);
            if (!dialog)
                return false;
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            return true;
        },
    });
    SendMessageW(m_hwnd, WM_OPEN_PATH, 0, reinterpret_cast<LPARAM>(order.GetString()));
    EXPECT_TRUE(sawGetMedia);
    CBrenvaleDoc* library = m_frame->GetLibrary();
    CMediaObject* title = library->FindTitle(L"{7D1E0F00-0000-4000-8000-0000000000AA}");
    ASSERT_NE(title, nullptr) << "the title is in the library";
    EXPECT_EQ(title->GetDownloadFolder(), downloads);
    EXPECT_EQ(title->m_titleFolder, L"Road Test Loopback");
    EXPECT_EQ(m_frame->GetDownloadQueue().GetSize(), 3);

    // The queue's start is posted, not yet handled: nothing has been fetched, and the library
    // on disk already holds the title.
    EXPECT_EQ(m_frame->GetQueueState(), 0);
    EXPECT_TRUE(m_road.RequestsFor("/root/road-part1.mp3").empty());
    {
        TestLibrary saved(RoadLibrary::Folder());
        ASSERT_TRUE(saved.OnNewDocument());
        EXPECT_NE(saved.FindTitle(title->m_mediaId), nullptr) << "MediaDB.dat is saved before the first byte";
    }
    ASSERT_TRUE(RunUntil([&] { return QueueIsDone(); }));
    for (int n = 1; n <= ServedTitle::kParts; ++n) {
        const CString part = title->GetPart(n - 1)->GetFilePath(title);
        EXPECT_EQ(part.Find(downloads + L"\\Road Test Loopback\\"), 0) << part.ToNarrow();
        EXPECT_EQ(testsupport::ReadAll(part), testsupport::ReadAll(m_title.PartPath(n))) << n;
        const auto requests = m_road.RequestsFor("/root/" + ServedTitle::PartName(n).ToNarrow());
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(HeaderOf(requests[0], "ClientID"), library->GetLibraryId().ToNarrow());
        EXPECT_EQ(HeaderOf(requests[0], "License"), "road-licence");
    }
    EXPECT_EQ(CountTemporaryFiles(downloads), 0);
    const std::string playlist = testsupport::ReadAllBytes(title->GetPlaylistPath());
    EXPECT_NE(playlist.find("Road Test Loopback-Part03.mp3"), std::string::npos) << playlist;
    EXPECT_TRUE(Exists(title->GetThumbnailPath(RoadLibrary::Folder(), FALSE)));
    EXPECT_FALSE(m_road.RequestsFor("/DefaultZKYBanner.gif").empty()) << "the connection was probed";
    // The list shows the new title selected.
    const auto selected = m_frame->GetListView()->GetSelectedTitles();
    ASSERT_EQ(selected.size(), 1u);
    EXPECT_EQ(selected[0]->m_mediaId, title->m_mediaId);

    // The title's playlist handed over as a link plays the title: it is selected and played.
    SelectOnly(L"r1");
    EXPECT_FALSE(title->GetLastPlayedDate().GetStatus() == COleDateTime::valid);
    CString link = L"zkyopen://" + title->GetPlaylistPath();
    link.Replace(L'\\', L'/');
    m_boxes.Clear();
    SendMessageW(m_hwnd, WM_OPEN_PATH, 0, reinterpret_cast<LPARAM>(link.GetString()));
    RunMessages(100);
    ExpectOnlyNoSoundOutputBoxes(m_boxes, 1);
    EXPECT_TRUE(title->GetLastPlayedDate().GetStatus() == COleDateTime::valid);
    const auto played = m_frame->GetListView()->GetSelectedTitles();
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0], title);
}

TEST_F(OrderFileRoad, APartNameWithBlanksAndAccentsIsRequestedEscapedAsUtf8)
{
    m_title.m_firstPartName = L"partie 1 \u00E9.mp3";
    ASSERT_TRUE(m_title.Make(m_title.m_folder));
    UseDownloadsFolder();
    Start();
    const wchar_t* id = L"{7D1E0F00-0000-4000-8000-0000000000AC}";
    HandOverAndAccept(WriteOrderFile(id, L"Escaped Part Names"));
    ASSERT_TRUE(RunUntil([&] { return QueueIsDone(); }));
    CMediaObject* title = m_frame->GetLibrary()->FindTitle(id);
    ASSERT_NE(title, nullptr);
    // The name's bytes as UTF-8 escapes, the base URL as given.
    EXPECT_EQ(m_road.RequestsFor("/root/partie%201%20%C3%A9.mp3").size(), 1u);
    for (const auto& request : m_road.Requests())
        EXPECT_EQ(request.find("%E9"), std::string::npos) << request;
    for (int n = 1; n <= ServedTitle::kParts; ++n)
        EXPECT_EQ(testsupport::ReadAll(title->GetPart(n - 1)->GetFilePath(title)), testsupport::ReadAll(m_title.PartPath(n))) << n;
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(OrderFileRoad, PartsPastTwoGigabytesKeepTheirSizesAndABodyCutShortOfThemIsNeverStored)
{
    // Sizes past 2 and 4 GiB, announced by the order file only: every part is served as a
    // chunked body that the server cuts after 200,000 bytes, which without a Content-Length
    // only the order file's size tells from a whole file.
    const LONGLONG sizes[] = {3000000000LL, 5000000000LL, 3000000000LL};
    m_title.m_announcedSizes.assign(std::begin(sizes), std::end(sizes));
    m_title.m_partsUrl = s_server->Url(L"/chunked/300000/200000");
    const CString downloads = UseDownloadsFolder();
    Start();
    const wchar_t* id = L"{7D1E0F00-0000-4000-8000-0000000000AD}";
    CString shownSize;  // the second part's, as the Download dialog lists it
    HandOverAndAccept(WriteOrderFile(id, L"Large Parts"), [&](HWND dialog) {
        wchar_t text[64] = {};
        LVITEMW item{};
        item.iSubItem = 2;
        item.pszText = text;
        item.cchTextMax = 64;
        SendDlgItemMessageW(dialog, IDC_DOWNLOAD_PARTS, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&item));
        shownSize = text;
        testsupport::CaptureWindow(dialog, L"Console.Download.LargeParts");
    });
    EXPECT_EQ(shownSize, L"4882,812 KB");
    CMediaObject* title = m_frame->GetLibrary()->FindTitle(id);
    ASSERT_NE(title, nullptr);

    // The library on disk and the queued jobs hold the sizes whole.
    {
        TestLibrary saved(RoadLibrary::Folder());
        ASSERT_TRUE(saved.OnNewDocument());
        const CMediaObject* stored = saved.FindTitle(id);
        ASSERT_NE(stored, nullptr);
        for (int n = 0; n < ServedTitle::kParts; ++n)
            EXPECT_EQ(stored->GetPart(n)->m_fileSize, sizes[n]) << n;
    }
    ASSERT_EQ(m_frame->GetDownloadQueue().GetSize(), ServedTitle::kParts);
    for (int n = 0; n < ServedTitle::kParts; ++n)
        EXPECT_EQ(static_cast<CDownloadJob*>(m_frame->GetDownloadQueue()[n])->m_nExpectedSize,
                  static_cast<ULONGLONG>(sizes[n]))
            << n;

    m_boxes.SetAnswer(IDOK);
    ASSERT_TRUE(RunUntil([&] { return QueueIsDone(); }));
    ASSERT_EQ(m_boxes.Boxes().size(), static_cast<size_t>(ServedTitle::kParts));
    for (int n = 0; n < ServedTitle::kParts; ++n) {
        EXPECT_NE(m_boxes.Boxes()[n].text.Find(L"The connection to the Internet has been lost"), -1)
            << m_boxes.Boxes()[n].text.ToNarrow();
        EXPECT_FALSE(Exists(title->GetPart(n)->GetFilePath(title))) << n;
        EXPECT_EQ(s_server->RequestsFor("/chunked/300000/200000/" + ServedTitle::PartName(n + 1).ToNarrow()).size(), 1u);
    }
    EXPECT_EQ(CountTemporaryFiles(downloads), 0);
}

// --- The connection probe ---

TEST_F(DownloadRoad, AProxyAsking407GetsTheCredentialsOfTheAuthenticationDialog)
{
    HttpTestServer proxy;
    ASSERT_TRUE(proxy.StartProxy("road:secret"));
    const wchar_t* internetSettings = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    CRegistryKey settings;
    ASSERT_EQ(settings.Create(HKEY_CURRENT_USER, internetSettings, KEY_READ | KEY_WRITE), ERROR_SUCCESS);
    const DWORD enable = 1;
    const CString server = L"127.0.0.1:" + CString(std::to_wstring(proxy.Port()).c_str());
    RegSetValueExW(settings, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable), sizeof enable);
    RegSetValueExW(settings, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server.GetString()),
                   static_cast<DWORD>((server.GetLength() + 1) * sizeof(wchar_t)));
    Start();
    WriteSettingString(kServiceAddressSetting, L"http://probe.test:8123");

    int dialogs = 0;
    auto answer = [&](const wchar_t* user, const wchar_t* password) {
        return [&dialogs, user, password] {
            HWND dialog = testsupport::WaitForWindow(L"#32770", L"Authentication Required", 0);
            if (!dialog)
                return false;
            ++dialogs;
            if (!user) {
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                return true;
            }
            SetDlgItemTextW(dialog, IDC_AUTH_USER_NAME, user);
            SetDlgItemTextW(dialog, IDC_AUTH_PASSWORD, password);
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            return true;
        };
    };
    {
        // Cancelled: no connection.
        testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{answer(nullptr, nullptr)});
        EXPECT_FALSE(m_frame->ProbeInternetConnection(IDS_PURPOSE_GET_MEDIA));
        EXPECT_EQ(dialogs, 1);
    }
    {
        testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{answer(L"road", L"secret")});
        EXPECT_TRUE(m_frame->ProbeInternetConnection(IDS_PURPOSE_GET_MEDIA));
        EXPECT_EQ(dialogs, 2);
    }
    bool authorised = false;
    for (const std::string& request : proxy.Requests())
        authorised = authorised || (request.find("http://probe.test:8123/DefaultZKYBanner.gif") != std::string::npos &&
                                    HeaderOf(request, "Proxy-Authorization") == "Basic cm9hZDpzZWNyZXQ=");
    EXPECT_TRUE(authorised) << "the proxy got the dialog's credentials";
    EXPECT_TRUE(m_boxes.Boxes().empty());

    RegDeleteValueW(settings, L"ProxyServer");
    const DWORD disable = 0;
    RegSetValueExW(settings, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&disable), sizeof disable);
}

TEST_F(DownloadRoad, AServerWithASelfSignedCertificateIsRefused)
{
    HttpTestServer secure;
    ASSERT_TRUE(secure.StartHttps());
    Start();
    WriteSettingString(kServiceAddressSetting, secure.Url(L""));
    EXPECT_FALSE(m_frame->ProbeInternetConnection(IDS_PURPOSE_GET_MEDIA));
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text.Find(L"A connection to the Internet could not be established ("), 0)
        << m_boxes.Boxes()[0].text.ToNarrow();

    // A part from it is refused too, with the download's own message.
    m_boxes.Clear();
    m_boxes.SetAnswer(IDNO);
    auto* job = new CDownloadJob(nullptr, nullptr);
    job->m_strUrl = secure.Url(L"/file/1000");
    job->m_strTargetPath = PartPath(0);
    job->m_strTitleId = L"r1";
    job->m_nPartIndex = 0;
    job->m_hOwnerWnd = m_hwnd;
    m_frame->GetDownloadQueue().Add(job);
    StartQueue();
    ASSERT_TRUE(RunUntil([&] { return QueueIsDone(); }));
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_NE(m_boxes.Boxes()[0].text.Find(L"Unable to establish a connection to the Internet ("), -1);
    EXPECT_FALSE(Exists(PartPath(0)));
}

}  // namespace
