// The conversion worker: decodes one Windows Media part to a PCM WAV file for players that take
// no Windows Media audio.
//
// The page's side:
//     auto* job = new CDownloadJob(nullptr, nullptr);
//     job->m_strUrl = part;                 // the part file
//     job->m_strTargetPath = folder + L"\\part.wav";   // its folder receives the WAV file
//     job->m_nDurationSeconds = seconds;    // the part's playing time: the percentage's basis
//     job->m_nBufferLength = seconds;       // sets the write buffer (about 1% of the output)
//     job->m_hOwnerWnd = hwnd;
//     HANDLE own = nullptr;
//     CWinThread* t = AfxBeginThread(RUNTIME_CLASS(CWindowsMediaThread), THREAD_PRIORITY_NORMAL, 0, 0, nullptr, &own);
//     t->PostThreadMessage(WM_CONVERT_PART, 0, (LPARAM)job);
//     ... wait for own while dispatching; WM_CONVERT_QUIT cancels ...
//     DiscardConversionProgress(hwnd);      // before the job goes
//     ... job->GetResult() == kConvertDone: job->GetTargetPath() is the WAV file ...
//
// Reports to the owner window (lParam the job): WM_CONVERT_STARTED sent when the job is taken
// (the answer 1 goes on; any other ends the job with it), WM_CONVERT_ERROR sent after the
// job's error text has been stored, WM_CONVERT_PROGRESS posted (wParam the percentage of the
// expected PCM bytes, 0-100), WM_CONVERT_END posted last (wParam the result); the thread does
// not touch the job after WM_CONVERT_END.
//
// The thread picks the audio output, prefers a 22,050 Hz format when the output offers one,
// and writes the audio stream's decoded samples into a new "<random>.wav" in the target's
// folder (the temporary folder when the target names no folder). It stays at most one large
// WAV file ahead of whoever takes them: while the folder holds two WAV files of
// kLargeWaveBytes or more it waits, checking every m_throttleWaitMs, and a cancel ends that
// wait at once.
#pragma once

#include "afx.h"

#include "DownloadThread.h"
#include "ErrorTable.h"
#include "MediaReader.h"
#include "WaveWriter.h"
#include "WorkerThread.h"

#include <memory>
#include <vector>

// Results of a conversion job.
constexpr int kConvertDone = 1;
constexpr int kConvertCancelled = 2;
constexpr int kConvertFailed = 3;

// Removes the WM_CONVERT_PROGRESS messages still queued for owner (a window of the calling
// thread). Call it once the conversion thread has ended and before its job is deleted: those
// messages carry the job.
void DiscardConversionProgress(HWND owner);

class CWindowsMediaThread : public CWorkerThread {
    DECLARE_DYNCREATE(CWindowsMediaThread)
public:
    // WAV files at least this long in the target folder count as waiting for their consumer.
    static constexpr ULONGLONG kLargeWaveBytes = 10241;
    // The preferred rate of the output.
    static constexpr DWORD kPreferredRate = 22050;
    // Percentage basis, in bytes, when the job gives no playing time.
    static constexpr ULONGLONG kFallbackTotalBytes = 270336000;
    // Bounds of the write buffer.
    static constexpr ULONGLONG kMinBufferBytes = 16384;
    static constexpr ULONGLONG kMaxBufferBytes = 1677312;

    CWindowsMediaThread();
    ~CWindowsMediaThread() override;

    BOOL InitInstance() override;
    BOOL OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // One sample per call; TRUE while the conversion goes on.
    BOOL OnIdle(LONG count) override;
    int ExitInstance() override;

    // Milliseconds between two looks at the target folder while it holds two large WAV
    // files; set before the job starts (tests shorten it).
    DWORD m_throttleWaitMs = 3000;

    // The most sample bytes the WAV file may take (tests lower it); a part whose audio needs
    // more fails rather than wrapping the file's sizes.
    ULONGLONG m_maxWaveBytes = CWaveWriter::kMaxDataBytes;

    // The percentage of total bytes that done bytes make, 0-100.
    static int Percent(ULONGLONG done, ULONGLONG total);
    // The write buffer's capacity for a format's rate and the job's buffer length.
    static ULONGLONG BufferCapacity(DWORD samplesPerSecond, int bufferLength);
    // The number of WAV files in folder of kLargeWaveBytes or more, counting up to 2.
    static int CountWaitingWaves(const CString& folder);

protected:
    void OnConvertPart(LPARAM lParam);
    // Opens the reader and chooses the output; FALSE with the job's error text set.
    BOOL OpenReader();
    // Waits while the folder holds two large WAV files; FALSE when a cancel came.
    BOOL WaitForRoom(const CString& folder);
    // Reserves a new "<random>.wav" in folder and writes its header; FALSE with the text set.
    BOOL CreateWaveFile(const CString& folder);
    enum class SampleOutcome { Bytes, End, Failed };
    SampleOutcome ReadNextSample(DWORD* length);
    bool WaveOpen() const { return m_pWave && m_pWave->IsOpen(); }
    // Writes what the buffer holds; FALSE with the job's error text (action) set.
    BOOL FlushBuffer(const wchar_t* action);
    // Stores the text of a failed action in the job.
    void SetActionError(const wchar_t* action, const CString& detail);
    void SetActionError(const wchar_t* action, HRESULT hr);
    // Reports the job's error text with WM_CONVERT_ERROR.
    void ReportError();
    void Close();
    // Stores the result, posts WM_CONVERT_END and ends the thread's loop.
    void Finish(int result);

    CDownloadJob* m_pJob = nullptr;
    HWND m_hOwner = nullptr;
    ULONGLONG m_nTotalBytes = 0;
    ULONGLONG m_nDoneBytes = 0;
    int m_nLastPercent = 0;
    std::unique_ptr<wmreader::MediaReader> m_pReader;
    WAVEFORMATEX m_format{};
    WORD m_wAudioStream = 0;
    WORD m_wVideoStream = 0;
    wmreader::Sample m_sample;
    std::unique_ptr<CWaveWriter> m_pWave;  // from CreateWaveFile on
    std::vector<BYTE> m_buffer;
    size_t m_nBufferFill = 0;
    CErrorTable m_errors;
};
