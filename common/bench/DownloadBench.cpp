// Times one download with the part download thread, the way a program runs it: a thread
// created from its runtime class, an owner window that receives the reports and keeps
// dispatching while it waits.
//     download_bench <url> <target path>
// Prints the result, the byte count and the seconds from WM_DOWNLOAD_START to the thread's end.
#include "BenchClock.h"
#include "DownloadThread.h"

#include <cstdio>

namespace {

long g_progressReports = 0;

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DOWNLOAD_PROGRESS)
        ++g_progressReports;
    if (message == WM_DOWNLOAD_ERROR) {
        auto* job = reinterpret_cast<CDownloadJob*>(lParam);
        std::fprintf(stderr, "error: %s\n", job->GetErrorText().ToNarrow().c_str());
        return IDNO;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: download_bench <url> <target path>\n");
        return 2;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VesperlinDownloadBenchOwner";
    RegisterClassW(&wc);
    HWND owner = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);

    CDownloadJob job(nullptr, nullptr);
    job.m_strUrl = argv[1];
    job.m_strTargetPath = argv[2];
    job.m_hOwnerWnd = owner;

    HANDLE own = nullptr;
    CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(CDownloadThread), THREAD_PRIORITY_NORMAL, 0, 0, nullptr, &own);
    if (!thread)
        return 1;
    const double start = Now();
    thread->PostThreadMessage(WM_DOWNLOAD_START, 0, reinterpret_cast<LPARAM>(&job));
    DWORD code = 0;
    AfxWaitForThreadEnd(own, INFINITE, &code);
    const double seconds = Now() - start;
    CloseHandle(own);

    WIN32_FILE_ATTRIBUTE_DATA data{};
    ULONGLONG bytes = 0;
    if (GetFileAttributesExW(job.m_strTargetPath, GetFileExInfoStandard, &data))
        bytes = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    std::printf("result %lu bytes %llu seconds %.3f progress-reports %ld\n", static_cast<unsigned long>(code), bytes,
                seconds, g_progressReports);
    DestroyWindow(owner);
    return code == 200 ? 0 : 1;
}
