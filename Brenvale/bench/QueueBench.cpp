// Times a title's parts downloaded through the console's download queue, as the frame runs
// it: one console download thread per part, the next part started when the queue's window
// gets the finished report and its own start message.
//     queue_bench <base url> <count> <target folder>
// Fetches <base url>/part01.bin ... and prints the seconds for all parts, the bytes, the
// number of progress reports and the mean gap between one part's end report and the next
// part's start report.
#include "BenchClock.h"
#include "DownloadQueue.h"

#include <cstdio>
#include <vector>

namespace {

// The queue's window: the reports and the start message, as the frame handles them.
struct BenchWindow {
    CDownloadQueue queue;
    std::vector<double> ends;
    std::vector<double> starts;
    long progressReports = 0;
};
BenchWindow* g_bench = nullptr;

LRESULT CALLBACK BenchProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    BenchWindow& bench = *g_bench;
    switch (message) {
    case WM_START_NEXT_DOWNLOAD:
        if (bench.queue.StartNext(wParam != 0) != 0 && bench.queue.Jobs().IsEmpty())
            PostQuitMessage(0);
        return 0;
    case WM_DOWNLOAD_STARTED:
        bench.starts.push_back(Now());
        return 0;
    case WM_DOWNLOAD_PROGRESS:
        ++bench.progressReports;
        return 0;
    case WM_DOWNLOAD_DONE:
        bench.ends.push_back(Now());
        if (wParam != 200)
            std::fprintf(stderr, "part ended with %d\n", static_cast<int>(wParam));
        return bench.queue.OnFinished(static_cast<int>(wParam), reinterpret_cast<CDownloadJob*>(lParam), nullptr);
    case WM_DOWNLOAD_ERROR:
        std::fprintf(stderr, "error: %ls\n", reinterpret_cast<const wchar_t*>(lParam));
        return IDNO;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: queue_bench <base url> <count> <target folder>\n");
        return 2;
    }
    const CString base = argv[1];
    const int count = _wtoi(argv[2]);
    const CString folder = argv[3];
    BenchWindow bench;
    g_bench = &bench;
    WNDCLASSW wc{};
    wc.lpfnWndProc = BenchProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VesperlinQueueBench";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (!window)
        return 1;
    bench.queue.Attach(window, nullptr, nullptr);
    for (int n = 1; n <= count; ++n) {
        auto* job = new CDownloadJob(nullptr, nullptr);
        job->m_strUrl.Format(L"%s/part%02d.bin", base.GetString(), n);
        job->m_strTargetPath.Format(L"%s\\part%02d.bin", folder.GetString(), n);
        job->m_strTitleId = L"bench";
        job->m_nPartIndex = n - 1;
        job->m_hOwnerWnd = window;
        job->m_strClientId = L"{bench}";
        bench.queue.Append(job);
    }
    const double start = Now();
    PostMessageW(window, WM_START_NEXT_DOWNLOAD, 0, 0);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    const double seconds = Now() - start;

    ULONGLONG bytes = 0;
    for (int n = 1; n <= count; ++n) {
        CString path;
        path.Format(L"%s\\part%02d.bin", folder.GetString(), n);
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (GetFileAttributesExW(path, GetFileExInfoStandard, &data))
            bytes += (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    double gaps = 0;
    int gapCount = 0;
    for (size_t i = 0; i + 1 < bench.starts.size() && i < bench.ends.size(); ++i) {
        gaps += bench.starts[i + 1] - bench.ends[i];
        ++gapCount;
    }
    std::printf("parts %d bytes %llu seconds %.3f progress %ld gap_ms %.3f\n", count, bytes, seconds,
                bench.progressReports, gapCount ? 1000.0 * gaps / gapCount : 0.0);
    DestroyWindow(window);
    return 0;
}
