// Converts a Windows Media part to a WAV file through the device wizard's conversion thread, as
// the Progress page runs it, and prints the time:
//   convert_bench <part> <folder> [seconds]
//   "convert: <seconds> seconds, <bytes> bytes, result <n>, <wav path>"
// seconds: the part's playing time the page would give (the percentage's basis and the buffer).
#include "BenchClock.h"
#include "CarrowindApp.h"
#include "WindowsMediaThread.h"

#include <cstdio>
#include <cwchar>

namespace {
CWizardApp g_benchApp;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: convert_bench <part> <folder> [seconds]\n");
        return 2;
    }
    CDownloadJob job(nullptr, nullptr);
    job.m_strUrl = argv[1];
    job.m_strTargetPath.Format(L"%s\\part.wav", argv[2]);
    job.m_nDurationSeconds = argc > 3 ? _wtoi(argv[3]) : 0;
    job.m_nBufferLength = job.m_nDurationSeconds;

    const double start = Now();
    HANDLE own = nullptr;
    CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(CWindowsMediaThread), THREAD_PRIORITY_NORMAL, 0, 0, nullptr, &own);
    if (!thread) {
        std::fprintf(stderr, "the conversion thread did not start\n");
        return 1;
    }
    thread->PostThreadMessage(WM_CONVERT_PART, 0, reinterpret_cast<LPARAM>(&job));
    WaitForSingleObject(own, INFINITE);
    CloseHandle(own);
    const double seconds = Now() - start;
    if (job.GetResult() != kConvertDone) {
        std::fwprintf(stderr, L"conversion failed (%d): %ls\n", job.GetResult(), static_cast<const wchar_t*>(job.GetErrorText()));
        return 1;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(job.GetTargetPath(), GetFileExInfoStandard, &data);
    const ULONGLONG bytes = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    std::printf("convert: %.3f seconds, %llu bytes, result %d, %ls\n", seconds, bytes, job.GetResult(),
                static_cast<const wchar_t*>(job.GetTargetPath()));
    return 0;
}
