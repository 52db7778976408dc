// Times the console on a library of 10,000 titles: a start of Larkmoor.exe until its frame
// is shown with the list filled, without thumbnails and with one per title (then also until
// the rows on screen and until every row have their pictures, and the console's working
// set then); refills of the list view in Console and Details mode; and 2,000 titles added
// to a library one by one, each with its thumbnail (time per title, first and last 200).
// The library is written to the console's data folder of the Wine prefix it runs in.
#include "BenchClock.h"
#include "BenchTitles.h"
#include "BrenvaleApp.h"
#include "BrenvaleListView.h"
#include "DataFolder.h"
#include "FileUtils.h"
#include "MainFrm.h"
#include "XmlNode.h"
#include "res/ConsoleIds.h"

#include <gdiplus.h>
#include <psapi.h>

#include <memory>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kTitles = 10000;
constexpr int kTitlesAddedOneByOne = 2000;
constexpr int kTitlesPerBlock = 200;

// A thousand titles to a download folder (Wine makes a folder in time that grows with the
// folder it goes into: that is the fixture's cost, not the console's).
CString ShelfOf(int n)
{
    CString shelf;
    shelf.Format(L"C:\\Media\\MP3 Audiobooks\\Shelf%03d", n / 1000);
    return shelf;
}

// Titles with some variety: 300 authors, a narrator on every third, 12 subjects, 3 languages.
void FillLibrary(CBrenvaleDoc& library)
{
    const wchar_t* const languages[] = {L"English", L"French", L"German"};
    for (int n = 0; n < kTitles; ++n) {
        CMediaObject* title = MakeBenchTitle(n, ShelfOf(n), L"A title of the benchmark library.");
        CMetadataObject& metadata = title->GetMetadata();
        auto* author = static_cast<CCreatorObject*>(metadata.m_creators[0]);
        CString text;
        text.Format(L"Author %03d", n % 300);
        author->SetName(text);
        author->SetFileAs(text);
        if (n % 3 == 0) {
            auto* narrator = new CCreatorObject;
            text.Format(L"Narrator %02d", n % 40);
            narrator->SetName(text);
            narrator->SetFileAs(text);
            narrator->SetRole(L"Narrator");
            metadata.AddCreator(narrator);
        }
        auto* subject = new CSubjectObject;
        subject->m_subject.Format(L"Subject %02d", n % 12);
        metadata.AddSubject(subject);
        auto* language = new CLanguageObject;
        language->m_name = languages[n % 3];
        metadata.AddLanguage(language);
        metadata.SetPublisher(n % 2 ? L"Harbour Press" : L"Lantern Books");
        title->SetSourceId(n % 2 ? L"source-1" : L"source-2");
        title->SetAcquiredDate(COleDateTime(2020 + n % 5, 1 + n % 12, 1 + n % 28, 10, 0, 0));
        library.AddTitleToLibrary(title);
    }
    for (const wchar_t* id : {L"source-1", L"source-2"}) {
        auto* source = new CSourceObject;
        source->m_id = id;
        source->SetName(wcscmp(id, L"source-1") == 0 ? L"Bench Shop" : L"Second Shop");
        library.AddSource(source);
    }
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

CString ConsolePath()
{
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    CString path = module;
    path = path.Left(path.ReverseFind(L'\\'));  // ...\Brenvale\bench
    path = path.Left(path.ReverseFind(L'\\'));
    return path + L"\\Larkmoor.exe";
}

// What one start of the console took, in seconds from CreateProcess (-1: not seen), and its
// working set in MB when it was closed.
struct StartFigures {
    double shown = -1;
    double onScreen = -1;  // the rows on screen have their pictures
    double filled = -1;    // every row has
    double workingSetMb = 0;
    double peakWorkingSetMb = 0;
};

// Whether the console's log (LARKMOOR_LOG) holds the line.
bool LogHas(const CString& log, const char* line)
{
    HANDLE file = CreateFileW(log, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return text.find(std::string(line) + "\n") != std::string::npos;
}

// One start: from CreateProcess until the frame is visible with every title in its list;
// with pictures also until the console logs that the rows on screen, then all rows, have them.
StartFigures TimeStart(bool pictures)
{
    StartFigures figures;
    const CString program = ConsolePath();
    std::wstring commandLine = L"\"" + program.str() + L"\"";
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const CString log = CString(temp) + L"console-bench.log";
    DeleteFileW(log);
    SetEnvironmentVariableW(L"LARKMOOR_LOG", log);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const double start = Now();
    const BOOL started =
        CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableW(L"LARKMOOR_LOG", nullptr);
    if (!started)
        return figures;
    HWND shownFrame = nullptr;
    while (Now() - start < 600) {
        if (!shownFrame) {
            HWND frame = FindWindowW(kConsoleWindowClass, nullptr);
            if (frame && IsWindowVisible(frame)) {
                HWND splitter = GetDlgItem(frame, AFX_IDW_PANE_FIRST);
                HWND list = splitter ? GetDlgItem(splitter, AFX_IDW_PANE_FIRST + 1) : nullptr;
                if (list && ListView_GetItemCount(list) == kTitles) {
                    figures.shown = Now() - start;
                    shownFrame = frame;
                    if (!pictures)
                        break;
                }
            }
        } else {
            if (figures.onScreen < 0 && LogHas(log, "pictures on screen"))
                figures.onScreen = Now() - start;
            if (LogHas(log, "pictures filled")) {
                figures.filled = Now() - start;
                if (figures.onScreen < 0)
                    figures.onScreen = figures.filled;
                break;
            }
        }
        Sleep(pictures && shownFrame ? 20 : 5);
    }
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters)) {
        figures.workingSetMb = static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
        figures.peakWorkingSetMb = static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
    }
    if (shownFrame)
        PostMessageW(shownFrame, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    DeleteFileW(log);
    return figures;
}

// A thumbnail for every title of the library: one JPEG copied into each title's folder.
bool WriteThumbnails(const CString& dataFolder)
{
    CBrenvaleDoc library;
    library.SetDataFolder(dataFolder);
    if (!library.OnNewDocument())
        return false;
    const CString sample = dataFolder + L"\\bench-sample.jpg";
    if (!WriteBenchThumbnail(sample))
        return false;
    for (CObject* object : library.GetTitles()) {
        const auto* title = static_cast<CMediaObject*>(object);
        CreateFolderPath(title->GetDownloadFolder() + L"\\" + title->m_titleFolder);
        if (!CopyFileW(sample, title->GetThumbnailPath(dataFolder, FALSE), FALSE))
            return false;
    }
    DeleteFileW(sample);
    return true;
}

// Titles added one by one, each with its thumbnail, as the console files handed-over order
// files: milliseconds a title for the first and the last block.
bool TimeAddingOneByOne(const CString& dataFolder)
{
    const CString sample = dataFolder + L"\\bench-sample.jpg";
    if (!WriteBenchThumbnail(sample))
        return false;
    std::vector<CMediaObject*> titles;
    for (int n = 0; n < kTitlesAddedOneByOne; ++n) {
        CMediaObject* title = MakeBenchTitle(n, ShelfOf(n), L"A title added on its own.");
        CreateFolderPath(title->GetDownloadFolder() + L"\\" + title->m_titleFolder);
        CopyFileW(sample, title->GetThumbnailPath(dataFolder, FALSE), FALSE);
        titles.push_back(title);
    }
    CBrenvaleDoc library;
    library.SetDataFolder(dataFolder + L"\\OneByOne");
    CreateDirectoryW(dataFolder + L"\\OneByOne", nullptr);
    if (!library.OnNewDocument())
        return false;
    std::vector<double> blocks;
    double blockStart = Now();
    for (int n = 0; n < kTitlesAddedOneByOne; ++n) {
        library.AddTitleToLibrary(titles[static_cast<size_t>(n)]);
        if ((n + 1) % kTitlesPerBlock == 0) {
            const double now = Now();
            blocks.push_back((now - blockStart) * 1000.0 / kTitlesPerBlock);
            blockStart = now;
        }
    }
    std::printf("adding %d titles with thumbnails one by one: %.2f ms a title for the first %d, %.2f ms for the last %d "
                "(last/first %.2f); each block of %d:",
                kTitlesAddedOneByOne, blocks.front(), kTitlesPerBlock, blocks.back(), kTitlesPerBlock,
                blocks.back() / blocks.front(), kTitlesPerBlock);
    for (double block : blocks)
        std::printf(" %.2f", block);
    std::printf(" ms\n");

    // The peer: the same four pictures put into four lists that grow ten places at a time,
    // as picture lists do by themselves (pictures only, no decoding).
    std::unique_ptr<Gdiplus::Bitmap> image(Gdiplus::Bitmap::FromFile(sample));
    const int sizes[4] = {16, 32, 48, 96};
    HICON icons[4];
    CImageList lists[4];
    for (int i = 0; i < 4; ++i) {
        icons[i] = MakeThumbnailIcon(*image, sizes[i]);
        lists[i].Create(sizes[i], sizes[i], ILC_COLOR32 | ILC_MASK, 23, 10);
    }
    std::vector<double> peer;
    blockStart = Now();
    for (int n = 0; n < kTitlesAddedOneByOne; ++n) {
        for (int i = 0; i < 4; ++i)
            lists[i].Add(icons[i]);
        if ((n + 1) % kTitlesPerBlock == 0) {
            const double now = Now();
            peer.push_back((now - blockStart) * 1000.0 / kTitlesPerBlock);
            blockStart = now;
        }
    }
    std::printf("peer, the pictures alone into lists grown ten at a time: each block of %d:", kTitlesPerBlock);
    for (double block : peer)
        std::printf(" %.2f", block);
    std::printf(" ms (last/first %.2f)\n", peer.back() / peer.front());
    for (HICON icon : icons)
        DestroyIcon(icon);
    DeleteFileW(sample);
    return true;
}

void RunMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

// With the argument "add" only the titles added one by one are timed.
int main(int argc, char** argv)
{
    BuildEntityTable();
    const CString folder = GetConsoleDataFolder();
    if (argc > 1 && std::string(argv[1]) == "add") {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
        CreateFolderPath(folder);
        const bool added = TimeAddingOneByOne(folder);
        Gdiplus::GdiplusShutdown(token);
        return added ? 0 : 1;
    }
    {
        CBrenvaleDoc library;
        library.SetDataFolder(folder);
        FillLibrary(library);
        if (!library.SaveLibrary()) {
            std::printf("cannot write the library in %ls\n", static_cast<const wchar_t*>(folder));
            return 1;
        }
    }
    std::vector<double> starts;
    for (int i = 0; i < 4; ++i) {
        const double seconds = TimeStart(false).shown;
        if (seconds < 0) {
            std::printf("the console did not show its frame\n");
            return 1;
        }
        if (i > 0)  // the first start warms Wine's caches
            starts.push_back(seconds);
    }
    std::printf("start-up of Larkmoor.exe to a shown frame with %d titles: %.3f s (median of %zu)\n", kTitles,
                Median(starts), starts.size());

    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplus = 0;
    Gdiplus::GdiplusStartup(&gdiplus, &gdiplusInput, nullptr);
    if (!WriteThumbnails(folder)) {
        std::printf("cannot write the thumbnails\n");
        return 1;
    }
    for (int i = 0; i < 2; ++i) {
        const StartFigures run = TimeStart(true);
        if (run.shown < 0 || run.filled < 0) {
            std::printf("the console did not show its frame or fill its pictures\n");
            return 1;
        }
        std::printf("start-up with %d thumbnails, run %d: frame shown %.3f s, rows on screen filled %.3f s, every "
                    "picture %.1f s; working set then %.0f MB (peak %.0f MB)\n",
                    kTitles, i + 1, run.shown, run.onScreen, run.filled, run.workingSetMb, run.peakWorkingSetMb);
    }
    std::fflush(stdout);

    CBrenvaleApp app(L"Vesperlin Brenvale Bench");
    if (!app.CreateConsole(FALSE)) {
        std::printf("the frame could not be made\n");
        return 1;
    }
    auto* frame = static_cast<CMainFrame*>(app.m_pMainWnd);
    frame->MoveWindow(0, 0, 1200, 900);
    CBrenvaleListView* list = frame->GetListView();
    for (UINT mode : {ID_VIEW_CONSOLE, ID_VIEW_DETAILS}) {
        list->SetViewMode(mode, TRUE);
        RunMessages();
        std::vector<double> times;
        for (int i = 0; i < 5; ++i) {
            const double start = Now();
            list->OnUpdate(nullptr, 0, nullptr);
            list->UpdateWindow();  // the visible rows drawn
            times.push_back(Now() - start);
        }
        std::printf("refill of the list in %s mode, %d titles: %.3f s (median of 5)\n",
                    mode == ID_VIEW_CONSOLE ? "Console" : "Details", list->GetListCtrl().GetItemCount(), Median(times));
    }
    frame->DestroyWindow();
    RunMessages();
    app.ExitInstance();
    DeleteFileW(folder + L"\\MediaDB.dat");
    const bool added = TimeAddingOneByOne(folder);
    Gdiplus::GdiplusShutdown(gdiplus);
    return added ? 0 : 1;
}
