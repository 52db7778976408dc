// Burns a title's parts onto the virtual recorder (VESPERLIN_RECORDERS) as the CD wizard does:
// each part decoded through the system's reader, split at its markers into CD-audio track files
// in the given folder, every track written to the disc, the session closed. Prints the seconds
// until every track file is written ("split") and until the burn has ended ("burn"), and the
// disc's track count.
//
//     burnroad_bench.exe folder seconds-per-part part...
#include "BenchClock.h"
#include "BurnEngine.h"
#include "SuiteMessages.h"

#include <objbase.h>

#include <cstdio>
#include <cwchar>

namespace {

double g_split = 0;
WPARAM g_tracks = 0;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ADD_PROGRESS && lParam == kStagePrepared) {
        g_split = Now();
        g_tracks = wParam;
    }
    if (message == WM_ADD_PROGRESS || message == WM_BURN_PROGRESS)
        return 1;
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        fwprintf(stderr, L"usage: burnroad_bench folder seconds-per-part part...\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const DWORD durationMs = static_cast<DWORD>(_wtof(argv[2]) * 1000);
    const int parts = argc - 3;

    WNDCLASSW wc = {};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BurnRoadBench";
    RegisterClassW(&wc);
    HWND owner = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);

    DriveRecord drive;
    strcpy_s(drive.deviceName, "CdRom0");
    drive.freeBytes = CWMABurn::BlocksNeeded(static_cast<ULONGLONG>(durationMs) * parts, 99, kTrackGapFrames) * 2048;
    CWMABurn engine;
    for (int i = 0; i < parts; ++i)
        engine.SetPart(argv[3 + i], durationMs, i);
    engine.SetDrive(drive);
    engine.SetTempFolder(argv[1]);
    CString error;
    const double start = Now();
    const HRESULT hr = engine.Burn(parts, owner, nullptr, &error, 0, kTrackGapFrames);
    const double end = Now();
    CoUninitialize();
    if (FAILED(hr)) {
        fwprintf(stderr, L"burn failed 0x%08lX: %ls\n", static_cast<unsigned long>(hr), error.GetString());
        return 1;
    }
    wprintf(L"parts %d split %.3f burn %.3f tracks %u\n", parts, g_split - start, end - start,
            static_cast<unsigned>(g_tracks));
    return 0;
}
