#include "WindowsMediaThread.h"

#include "AudioOutput.h"
#include "SuiteMessages.h"
#include "res/TransferIds.h"
#include "res/WizardSheetIds.h"

#include <objbase.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <new>

IMPLEMENT_DYNCREATE(CWindowsMediaThread, CWorkerThread)

void DiscardConversionProgress(HWND owner)
{
    MSG msg;
    while (PeekMessageW(&msg, owner, WM_CONVERT_PROGRESS, WM_CONVERT_PROGRESS, PM_REMOVE)) {
    }
}

namespace {

// The action text of a reader operation that failed before the samples.
const wchar_t* ReaderAction(wmreader::ReaderStep step)
{
    using wmreader::ReaderStep;
    switch (step) {
    case ReaderStep::Create: return L"process 'WMCreateSyncReader'";
    case ReaderStep::Open: return L"open the reader";
    case ReaderStep::QueryProfile: return L"query IWMProfile";
    case ReaderStep::StreamCount: return L"process 'GetStreamCount'";
    case ReaderStep::Stream: return L"get stream from IWMProfile interface";
    case ReaderStep::StreamNumber: return L"process 'GetStreamNumber'";
    case ReaderStep::StreamType: return L"process 'GetStreamType'";
    case ReaderStep::SelectStreams: return L"process 'SetStreamsSelected'";
    case ReaderStep::ReadStreamSamples: return L"process 'SetReadStreamSamples'";
    case ReaderStep::SetRange: return L"process 'SetRange'";
    default: return L"GetAudioOutput";
    }
}

const wchar_t* WriterAction(CWaveWriter::Step step)
{
    switch (step) {
    case CWaveWriter::Step::Open: return L"process 'mmioOpen'";
    case CWaveWriter::Step::CreateRiff: return L"process 'mmioCreateChunk.RIFF'";
    case CWaveWriter::Step::CreateFormat: return L"process 'mmioCreateChunk.fmt'";
    case CWaveWriter::Step::WriteFormat: return L"process 'mmioWrite.Wfx'";
    case CWaveWriter::Step::AscendFormat: return L"process 'mmioAscend.Wfx'";
    case CWaveWriter::Step::CreateData: return L"process 'mmioCreateChunk.data'";
    default: return L"process 'CreateMMFile'";
    }
}

}  // namespace

CWindowsMediaThread::CWindowsMediaThread() : CWorkerThread(COINIT_APARTMENTTHREADED, WM_CONVERT_QUIT) {}

CWindowsMediaThread::~CWindowsMediaThread() { Close(); }

BOOL CWindowsMediaThread::InitInstance()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        AfxMessageBox(IDS_WIZARD_COM_FAILED, MB_OK | MB_ICONERROR);
        return FALSE;
    }
    m_bComInitialized = TRUE;
    return TRUE;
}

int CWindowsMediaThread::ExitInstance()
{
    Close();
    return CWorkerThread::ExitInstance();
}

BOOL CWindowsMediaThread::OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CONVERT_PART:
        OnConvertPart(lParam);
        return TRUE;
    case WM_CONVERT_QUIT:
        m_bCancel = TRUE;
        return TRUE;
    default:
        return CWinThread::OnThreadMessage(message, wParam, lParam);
    }
}

int CWindowsMediaThread::Percent(ULONGLONG done, ULONGLONG total)
{
    if (!total)
        return 0;
    return done >= total ? 100 : static_cast<int>(done * 100 / total);
}

ULONGLONG CWindowsMediaThread::BufferCapacity(DWORD samplesPerSecond, int bufferLength)
{
    const ULONGLONG length = bufferLength > 0 ? static_cast<ULONGLONG>(bufferLength) : 0;
    const ULONGLONG capacity = static_cast<ULONGLONG>(samplesPerSecond) * length * 4 / 100;
    return std::clamp(capacity, kMinBufferBytes, kMaxBufferBytes);
}

int CWindowsMediaThread::CountWaitingWaves(const CString& folder)
{
    CString pattern;
    pattern.Format(L"%s\\*.wav", static_cast<const wchar_t*>(folder));
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern, &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do {
        const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && wcsstr(data.cFileName, L".wav") && size >= kLargeWaveBytes)
            ++count;
    } while (count < 2 && FindNextFileW(find, &data));
    FindClose(find);
    return count;
}

void CWindowsMediaThread::OnConvertPart(LPARAM lParam)
{
    // A thread serves one job.
    if (m_pJob || m_bFinished)
        return;
    m_pJob = reinterpret_cast<CDownloadJob*>(lParam);
    if (!m_pJob) {
        EndJob(kConvertFailed, nullptr, WM_CONVERT_END, 0);  // nothing to report to
        return;
    }
    m_hOwner = m_pJob->GetOwnerWindow();
    if (m_hOwner) {
        const LRESULT answer = SendMessageW(m_hOwner, WM_CONVERT_STARTED, 0, reinterpret_cast<LPARAM>(m_pJob));
        if (CancelPending())
            return Finish(kConvertCancelled);
        if (answer != 1)
            return Finish(static_cast<int>(answer));
    }
    if (!OpenReader()) {
        ReportError();
        Close();
        return Finish(kConvertFailed);
    }

    // The expected PCM bytes: the playing time at the format's byte rate.
    const ULONGLONG byteRate = m_format.nAvgBytesPerSec ? m_format.nAvgBytesPerSec
                                                        : static_cast<ULONGLONG>(m_format.nSamplesPerSec) * m_format.nBlockAlign;
    m_nTotalBytes = byteRate * static_cast<ULONGLONG>(std::max(m_pJob->m_nDurationSeconds, 0));
    if (!m_nTotalBytes)
        m_nTotalBytes = kFallbackTotalBytes;

    CString folder;
    const CString& target = m_pJob->GetTargetPath();
    const int slash = target.ReverseFind(L'\\');
    if (slash >= 0) {
        folder = target.Left(slash);
        if (!WaitForRoom(folder)) {
            Close();
            return Finish(kConvertCancelled);
        }
    } else {
        wchar_t temp[MAX_PATH + 1] = {};
        const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        folder = length && length <= MAX_PATH ? temp : L".";
        if (folder.GetLength() > 1 && folder[folder.GetLength() - 1] == L'\\')
            folder = folder.Left(folder.GetLength() - 1);
    }

    if (!CreateWaveFile(folder)) {
        ReportError();
        Close();
        return Finish(kConvertFailed);
    }
    m_nBufferFill = 0;
    try {
        m_buffer.resize(static_cast<size_t>(BufferCapacity(m_format.nSamplesPerSec, m_pJob->m_nBufferLength)));
    } catch (const std::bad_alloc&) {
        m_buffer.clear();  // samples then go straight to the file
    }
}

BOOL CWindowsMediaThread::OpenReader()
{
    const CString& source = m_pJob->m_strUrl;
    const CString& target = m_pJob->GetTargetPath();
    if (source.IsEmpty() || target.IsEmpty()) {
        CString text;
        text.Format(IDS_TRANSFER_PATH_MISSING, static_cast<const wchar_t*>(source), static_cast<const wchar_t*>(target));
        m_pJob->SetErrorText(text);
        return FALSE;
    }
    wmreader::ReaderStep step = wmreader::ReaderStep::None;
    HRESULT hr = wmreader::CreateMediaReader(&m_pReader, &step);
    if (SUCCEEDED(hr)) {
        hr = m_pReader->Open(source);
        step = m_pReader->FailedStep();
    }
    wmreader::AudioOutput audio;
    if (SUCCEEDED(hr))
        hr = wmreader::FindAudioOutput(*m_pReader, &audio, &step);
    if (SUCCEEDED(hr) && audio.Wave().nSamplesPerSec != kPreferredRate)
        hr = wmreader::SelectOutputFormat(
            *m_pReader, &audio, [](const WAVEFORMATEX& f) { return f.nSamplesPerSec == kPreferredRate; }, &step);
    wmreader::StreamNumbers streams;
    if (SUCCEEDED(hr))
        hr = wmreader::FindStreams(*m_pReader, &streams, &step);
    if (SUCCEEDED(hr))
        hr = wmreader::ReadAudioStreamOnly(*m_pReader, streams, &step);
    if (FAILED(hr)) {
        if (step == wmreader::ReaderStep::None)
            step = wmreader::ReaderStep::Create;
        const std::wstring detail = wmreader::AudioOutputFailureText(step);
        if (!detail.empty())
            SetActionError(L"GetAudioOutput", CString(detail.c_str()));
        else if (step == wmreader::ReaderStep::Stream)
            SetActionError(ReaderAction(step), CString(L"GetStream"));
        else
            SetActionError(ReaderAction(step), hr);
        return FALSE;
    }
    m_format = audio.Wave();
    m_wAudioStream = streams.audio;
    m_wVideoStream = streams.video;
    return TRUE;
}

BOOL CWindowsMediaThread::WaitForRoom(const CString& folder)
{
    while (CountWaitingWaves(folder) >= 2) {
        // Sleeps until the next look, or until a message comes: a cancel ends the wait at once.
        const ULONGLONG until = GetTickCount64() + m_throttleWaitMs;
        for (;;) {
            if (CancelPending())
                return FALSE;
            const ULONGLONG now = GetTickCount64();
            if (now >= until)
                break;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(until - now), QS_POSTMESSAGE);
            // Other thread messages wait for the loop; sent messages are answered by the wait.
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        }
    }
    return !CancelPending();
}

BOOL CWindowsMediaThread::CreateWaveFile(const CString& folder)
{
    srand(static_cast<unsigned>(time(nullptr)) ^ GetCurrentThreadId());
    CString path;
    for (;;) {
        path.Format(L"%s\\%d.wav", static_cast<const wchar_t*>(folder), rand());
        // Reserves the name, so that a second converter in the same folder picks another.
        HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            break;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            SetActionError(L"process 'mmioOpen'", HRESULT_FROM_WIN32(error));
            return FALSE;
        }
    }
    m_pWave = std::make_unique<CWaveWriter>(m_maxWaveBytes);
    const HRESULT hr = m_pWave->Open(path, m_format);
    if (FAILED(hr)) {
        SetActionError(WriterAction(m_pWave->FailedStep()), hr);
        DeleteFileW(path);
        return FALSE;
    }
    m_pJob->m_strTargetPath = path;
    return TRUE;
}

BOOL CWindowsMediaThread::OnIdle(LONG count)
{
    CWinThread::OnIdle(count);
    if (!m_pJob || m_bFinished)
        return FALSE;
    if (m_bCancel) {
        Close();
        Finish(kConvertCancelled);
        return FALSE;
    }
    DWORD length = 0;
    switch (ReadNextSample(&length)) {
    case SampleOutcome::Failed:
        ReportError();
        Close();
        Finish(kConvertFailed);
        return FALSE;
    case SampleOutcome::End:
        if (!FlushBuffer(L"process 'mmioWrite.buffer'")) {
            ReportError();
            Close();
            Finish(kConvertFailed);
            return FALSE;
        }
        Close();
        Finish(kConvertDone);
        return FALSE;
    case SampleOutcome::Bytes:
        break;
    }
    m_nDoneBytes += length;
    const int percent = Percent(m_nDoneBytes, m_nTotalBytes);
    if (percent != m_nLastPercent) {
        m_nLastPercent = percent;
        if (m_hOwner)
            PostMessageW(m_hOwner, WM_CONVERT_PROGRESS, static_cast<WPARAM>(percent), reinterpret_cast<LPARAM>(m_pJob));
    }
    return TRUE;
}

CWindowsMediaThread::SampleOutcome CWindowsMediaThread::ReadNextSample(DWORD* length)
{
    *length = 0;
    HRESULT hr = m_pReader->NextSample(&m_sample);
    if (hr == wmreader::kNoMoreSamples)
        return SampleOutcome::End;
    if (FAILED(hr)) {
        if (m_pReader->FailedStep() == wmreader::ReaderStep::SampleBuffer)
            SetActionError(L"process 'GetBufferAndLength'", hr);
        else if (hr == wmreader::kBadDataUnit)
            SetActionError(L"get next sample", CString(wmreader::BadDataUnitText(hr, m_sample).c_str()));
        else
            SetActionError(L"get next sample", hr);
        m_sample.Reset();
        return SampleOutcome::Failed;
    }
    const DWORD size = m_sample.Length();
    if (!size) {
        m_sample.Reset();
        return SampleOutcome::End;
    }
    if (WaveOpen()) {
        if (m_nBufferFill + size < m_buffer.size()) {
            std::copy(m_sample.Data(), m_sample.Data() + size, m_buffer.begin() + m_nBufferFill);
            m_nBufferFill += size;
        } else {
            if (!FlushBuffer(L"process 'mmioWrite.buffer'")) {
                m_sample.Reset();
                return SampleOutcome::Failed;
            }
            hr = m_pWave->Write(m_sample.Data(), size);
            if (FAILED(hr)) {
                SetActionError(L"process 'mmioWrite.sample'", hr);
                m_sample.Reset();
                return SampleOutcome::Failed;
            }
        }
    }
    m_sample.Reset();
    *length = size;
    return SampleOutcome::Bytes;
}

BOOL CWindowsMediaThread::FlushBuffer(const wchar_t* action)
{
    if (!m_nBufferFill || !WaveOpen())
        return TRUE;
    const HRESULT hr = m_pWave->Write(m_buffer.data(), static_cast<DWORD>(m_nBufferFill));
    m_nBufferFill = 0;
    if (SUCCEEDED(hr))
        return TRUE;
    SetActionError(action, hr);
    return FALSE;
}

void CWindowsMediaThread::SetActionError(const wchar_t* action, const CString& detail)
{
    CString text;
    text.Format(IDS_TRANSFER_UNABLE_TO, action, static_cast<const wchar_t*>(detail));
    m_pJob->SetErrorText(text);
}

void CWindowsMediaThread::SetActionError(const wchar_t* action, HRESULT hr)
{
    SetActionError(action, m_errors.FormatErrorText(hr));
}

void CWindowsMediaThread::ReportError()
{
    if (m_hOwner)
        SendMessageW(m_hOwner, WM_CONVERT_ERROR, 0, reinterpret_cast<LPARAM>(m_pJob));
}

void CWindowsMediaThread::Close()
{
    // A finished conversion has written its tail already; a cancelled or failed one's is dropped.
    m_nBufferFill = 0;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    if (m_pWave)
        m_pWave->Close();
    m_sample.Reset();
    if (m_pReader) {
        m_pReader->Close();
        m_pReader.reset();
    }
}

void CWindowsMediaThread::Finish(int result)
{
    m_pJob->SetResult(result);
    EndJob(result, m_hOwner, WM_CONVERT_END, reinterpret_cast<LPARAM>(m_pJob));
}
