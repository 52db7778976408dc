// Splits a title of the given length into CD tracks as a burn does, in test mode on the virtual
// recorder (VESPERLIN_RECORDERS): markers from a small MP3 file (98 of them, evenly spread, so
// the part fills the 99 tracks of a disc), CD audio from a reader that makes it up as fast as it
// is asked for, the track files in the given folder. Prints the seconds until every track file
// is written ("split") and until the burn has ended ("burn"), and the bytes written.
//
//     burnsplit_bench.exe markers.mp3 hours folder
#include "BenchClock.h"
#include "BurnEngine.h"
#include "MediaMarkers.h"
#include "ScriptedReader.h"
#include "SuiteMessages.h"

#include <cstdio>
#include <cwchar>
#include <memory>
#include <vector>

namespace {

constexpr DWORD kSampleBytes = 176400;  // one second of CD audio

// A part of CD audio of a given length in samples of one second.
class ToneReader : public wmreader::MediaReader {
public:
    explicit ToneReader(ULONGLONG seconds) : m_seconds(seconds), m_buffer(kSampleBytes)
    {
        for (size_t i = 0; i < m_buffer.size(); ++i)
            m_buffer[i] = static_cast<BYTE>(i * 7);
    }
    HRESULT Open(const wchar_t*) override { m_next = 0; return S_OK; }
    void Close() override {}
    HRESULT OutputCount(DWORD* count) override { *count = 1; return S_OK; }
    HRESULT OutputType(DWORD, wmreader::MediaType* type) override { *type = wmreader::AudioType(44100, 2, 16); return S_OK; }
    HRESULT FormatCount(DWORD, DWORD* count) override { *count = 1; return S_OK; }
    HRESULT FormatType(DWORD o, DWORD, wmreader::MediaType* type) override { return OutputType(o, type); }
    HRESULT SetOutputFormat(DWORD, DWORD) override { return S_OK; }
    HRESULT StreamCount(DWORD* count) override { *count = 1; return S_OK; }
    HRESULT StreamInfo(DWORD, WORD* number, GUID* type) override
    {
        *number = 1;
        *type = wmreader::kMediaTypeAudio;
        return S_OK;
    }
    HRESULT SetStreamSelected(WORD, bool) override { return S_OK; }
    HRESULT SetReadStreamSamples(WORD, bool) override { return S_OK; }
    HRESULT SetRange(ULONGLONG, LONGLONG) override { return S_OK; }
    HRESULT NextSample(wmreader::Sample* sample) override
    {
        if (m_next >= m_seconds)
            return wmreader::kNoMoreSamples;
        sample->Hold(nullptr, m_buffer.data(), kSampleBytes);
        sample->time = m_next * 10000000ull;
        sample->duration = 10000000ull;
        sample->stream = 1;
        ++m_next;
        return S_OK;
    }

private:
    ULONGLONG m_seconds;
    ULONGLONG m_next = 0;
    std::vector<BYTE> m_buffer;
};

double g_split = 0;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ADD_PROGRESS && lParam == kStagePrepared)
        g_split = Now();
    if (message == WM_ADD_PROGRESS || message == WM_BURN_PROGRESS)
        return 1;
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        fwprintf(stderr, L"usage: burnsplit_bench markers.mp3 hours folder\n");
        return 2;
    }
    const double hours = _wtof(argv[2]);
    const ULONGLONG seconds = static_cast<ULONGLONG>(hours * 3600);
    const DWORD durationMs = static_cast<DWORD>(seconds * 1000);
    {
        CMediaMarkers markers;
        if (FAILED(markers.Open(argv[1], FALSE))) {
            fwprintf(stderr, L"cannot open %ls\n", argv[1]);
            return 1;
        }
        while (markers.GetMarkerCount() > 0)
            markers.RemoveMarker(0);
        for (int i = 1; i <= kMaxCdTracks - 1; ++i)
            markers.AddMarker(L"Chapter", static_cast<DWORD>(static_cast<ULONGLONG>(durationMs) * i / kMaxCdTracks));
        markers.Close(TRUE);
    }
    wmreader::SetMediaReaderFactory([seconds](std::unique_ptr<wmreader::MediaReader>* reader) {
        *reader = std::make_unique<ToneReader>(seconds);
        return S_OK;
    });

    WNDCLASSW wc = {};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BurnSplitBench";
    RegisterClassW(&wc);
    HWND owner = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);

    DriveRecord drive;
    strcpy_s(drive.deviceName, "CdRom0");
    drive.freeBytes = CWMABurn::BlocksNeeded(durationMs, kMaxCdTracks, kTrackGapFrames) * 2048;
    CWMABurn engine;
    engine.SetPart(argv[1], durationMs, 0);
    engine.SetDrive(drive);
    engine.SetTestMode(TRUE);
    engine.SetTempFolder(argv[3]);
    CString error;
    const double start = Now();
    const HRESULT hr = engine.Burn(1, owner, nullptr, &error, 0, kTrackGapFrames);
    const double end = Now();
    if (FAILED(hr)) {
        fwprintf(stderr, L"burn failed 0x%08lX: %ls\n", static_cast<unsigned long>(hr), error.GetString());
        return 1;
    }
    wprintf(L"hours %.2f split %.3f burn %.3f bytes %llu\n", hours, g_split - start, end - start,
            static_cast<unsigned long long>(seconds) * kSampleBytes);
    return 0;
}
