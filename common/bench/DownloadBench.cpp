// Times one download with the part download thread, the way a program runs it: a thread
// created from its runtime class, an owner window that receives the reports and keeps
// dispatching while it waits; or, with --bare, a plain loop of WinINet reads of the thread's
// chunk size written to the file on one thread, as the floor the thread is measured against.
//     download_bench [--bare] <url> <target path>
// Prints the result, the byte count, the seconds from the start to the end and the
// microseconds per chunk of 10,240 bytes.
#include "BenchClock.h"
#include "DownloadThread.h"

#include <cstdio>
#include <cwchar>

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

// The same request as the thread's, read in a loop of whole chunks into the file.
int BareReadLoop(const wchar_t* url, const wchar_t* target)
{
    DWORD service = 0;
    CString server, object;
    INTERNET_PORT port = 0;
    if (!AfxParseURL(url, service, server, object, port))
        return 2;
    const double start = Now();
    HINTERNET session = InternetOpenW(L"download_bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection = InternetConnectW(session, server, port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 1);
    HINTERNET request = HttpOpenRequestW(connection, L"GET", object, nullptr, nullptr, nullptr,
                                         UncachedRequestFlags(service) | INTERNET_FLAG_NO_AUTO_REDIRECT, 1);
    if (!request || !HttpSendRequestW(request, nullptr, 0, nullptr, 0))
        return 1;
    HANDLE file = CreateFileW(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    static BYTE buffer[CDownloadThread::kChunkSize];
    ULONGLONG bytes = 0;
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request, buffer, sizeof(buffer), &read))
            return 1;
        if (read == 0)
            break;
        DWORD written = 0;
        if (!WriteFile(file, buffer, read, &written, nullptr) || written != read)
            return 1;
        bytes += read;
    }
    CloseHandle(file);
    InternetCloseHandle(request);
    InternetCloseHandle(connection);
    InternetCloseHandle(session);
    const double seconds = Now() - start;
    const double chunks = static_cast<double>(bytes) / CDownloadThread::kChunkSize;
    std::printf("result 200 bytes %llu seconds %.3f us-per-chunk %.2f\n", bytes, seconds,
                chunks > 0 ? seconds * 1e6 / chunks : 0.0);
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc == 4 && std::wcscmp(argv[1], L"--bare") == 0)
        return BareReadLoop(argv[2], argv[3]);
    if (argc < 3) {
        std::fprintf(stderr, "usage: download_bench [--bare] <url> <target path>\n");
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
    const double chunks = static_cast<double>(bytes) / CDownloadThread::kChunkSize;
    std::printf("result %lu bytes %llu seconds %.3f us-per-chunk %.2f progress-reports %ld\n",
                static_cast<unsigned long>(code), bytes, seconds, chunks > 0 ? seconds * 1e6 / chunks : 0.0,
                g_progressReports);
    DestroyWindow(owner);
    return code == 200 ? 0 : 1;
}
