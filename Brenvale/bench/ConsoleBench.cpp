// Times the console on a library of 10,000 titles: a start of Larkmoor.exe until its frame
// is shown with the list filled, and refills of the list view in Console and Details mode.
// The library is written to the console's data folder of the Wine prefix it runs in.
#include "BenchClock.h"
#include "BenchTitles.h"
#include "BrenvaleApp.h"
#include "BrenvaleListView.h"
#include "DataFolder.h"
#include "MainFrm.h"
#include "XmlNode.h"
#include "res/ConsoleIds.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kTitles = 10000;

// Titles with some variety: 300 authors, a narrator on every third, 12 subjects, 3 languages.
void FillLibrary(CBrenvaleDoc& library)
{
    const wchar_t* const languages[] = {L"English", L"French", L"German"};
    for (int n = 0; n < kTitles; ++n) {
        CMediaObject* title = MakeBenchTitle(n, L"C:\\Media\\MP3 Audiobooks", L"A title of the benchmark library.");
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

// One start: from CreateProcess until the frame is visible with every title in its list.
double TimeStart()
{
    const CString program = ConsolePath();
    std::wstring commandLine = L"\"" + program.str() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const double start = Now();
    if (!CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    double shown = -1;
    while (Now() - start < 60) {
        HWND frame = FindWindowW(kConsoleWindowClass, nullptr);
        if (frame && IsWindowVisible(frame)) {
            HWND splitter = GetDlgItem(frame, AFX_IDW_PANE_FIRST);
            HWND list = splitter ? GetDlgItem(splitter, AFX_IDW_PANE_FIRST + 1) : nullptr;
            if (list && ListView_GetItemCount(list) == kTitles) {
                shown = Now() - start;
                PostMessageW(frame, WM_CLOSE, 0, 0);
                break;
            }
        }
        Sleep(5);
    }
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return shown;
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

int main()
{
    BuildEntityTable();
    const CString folder = GetConsoleDataFolder();
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
        const double seconds = TimeStart();
        if (seconds < 0) {
            std::printf("the console did not show its frame\n");
            return 1;
        }
        if (i > 0)  // the first start warms Wine's caches
            starts.push_back(seconds);
    }
    std::printf("start-up of Larkmoor.exe to a shown frame with %d titles: %.3f s (median of %zu)\n", kTitles,
                Median(starts), starts.size());

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
    return 0;
}
