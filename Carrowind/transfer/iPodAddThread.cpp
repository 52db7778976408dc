#include "iPodAddThread.h"

#include "ComHolders.h"
#include "PlayerRecord.h"
#include "SuiteMessages.h"
#include "TessalineIds.h"
#include "res/TransferIds.h"
#include "res/iPodAddTextIds.h"
#include "res/iTunesStringIds.h"

#include <objbase.h>

#include <algorithm>
#include <string>

IMPLEMENT_DYNCREATE(CiPodAddThread, CWorkerThread)

namespace {

constexpr DWORD kPollMs = 1000;
constexpr DWORD kConversionSettleMs = 3000;

bool EndsWithNoCase(const CString& text, const wchar_t* tail)
{
    const int length = static_cast<int>(wcslen(tail));
    return text.GetLength() >= length && text.Right(length).CompareNoCase(tail) == 0;
}

// The marker text as the chapter object takes it: ANSI, with the curly quotes made plain; empty
// when it did not survive the conversion (nine or more characters the code page lacks).
std::string ChapterMarkerText(const CString& markers)
{
    std::string text = markers.ToNarrow(CP_ACP);
    int unknown = 0;
    for (char& ch : text) {
        switch (static_cast<unsigned char>(ch)) {
        case 0x91:
        case 0x92:
            ch = '\'';
            break;
        case 0x84:
        case 0x93:
        case 0x94:
            ch = '"';
            break;
        case '?':
            if (++unknown == 9)
                return std::string();
            break;
        default:
            break;
        }
    }
    return text;
}

}  // namespace

CiPodAddThread::CiPodAddThread() : CWorkerThread(COINIT_APARTMENTTHREADED, WM_TRANSFER_CANCEL) {}

CiPodAddThread::~CiPodAddThread()
{
    if (m_pConversion)
        m_pConversion->Release();
    if (m_pSavedEncoder)
        m_pSavedEncoder->Release();
}

BOOL CiPodAddThread::InitInstance()
{
    m_pHelper = std::make_unique<CiTunesHelper>();
    return CWorkerThread::InitInstance();
}

int CiPodAddThread::ExitInstance()
{
    // Every COM object of this apartment goes before the apartment does.
    if (m_pConversion) {
        m_pConversion->Release();
        m_pConversion = nullptr;
    }
    RestoreEncoder();
    m_pHelper.reset();
    return CWorkerThread::ExitInstance();
}

BOOL CiPodAddThread::OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TRANSFER_START:
        OnTransferStart(lParam);
        return TRUE;
    case WM_TRANSFER_CANCEL:
        OnCancel();
        return TRUE;
    default:
        return CWinThread::OnThreadMessage(message, wParam, lParam);
    }
}

int CiPodAddThread::MapAddResult(HRESULT hr, BOOL cancelled)
{
    if (SUCCEEDED(hr))
        return kTransferDone;
    if (cancelled || hr == kiTunesUserCancelled)
        return kTransferCancelled;
    if (hr == kiTunesDeviceBusy)
        return kTransferBusy;
    return kTransferFailed;
}

int CiPodAddThread::ConversionPercent(LONG value, LONG maximum)
{
    if (maximum <= 0 || value <= 0)
        return 0;
    return std::clamp(MulDiv(100, value, maximum), 0, 100);
}

void CiPodAddThread::OnTransferStart(LPARAM lParam)
{
    // A thread serves one job.
    if (m_pJob || m_bFinished)
        return;
    m_pJob = reinterpret_cast<CTransferJob*>(lParam);
    if (!m_pJob) {
        EndJob(kTransferFailed, nullptr, WM_PART_DONE, 0);  // nothing to report to
        return;
    }
    if (PlayerRecord* player = m_pJob->m_pPlayer) {
        // Texts of an earlier part say nothing of this one.
        player->errorDetails.RemoveKey(kTransferPartKey);
        player->errorDetails.RemoveKey(kTransferPartLogKey);
    }
    if (m_pJob->m_hOwnerWnd) {
        const LRESULT answer = SendMessageW(m_pJob->m_hOwnerWnd, WM_PART_STATUS, 0, reinterpret_cast<LPARAM>(m_pJob));
        if (m_bCancel) {
            FinishPart(kTransferCancelled);
            return;
        }
        if (answer != 1) {
            FinishPart(static_cast<int>(answer));
            return;
        }
    }
    const CString source = m_pJob->m_strSourcePath;
    const CString target = m_pJob->m_strTargetName;
    const CString player = m_pJob->m_striPodName;
    if (source.IsEmpty() || target.IsEmpty() || player.IsEmpty()) {
        CString text;
        text.Format(IDS_IPOD_ADD_NAME_MISSING, source.GetString(), target.GetString(), player.GetString());
        SetPartText(text);
        FinishPart(kTransferFailed);
        return;
    }
    m_strStepLog.Format(L"Thread: %s(%s)", player.GetString(), source.GetString());
    if (!EndsWithNoCase(source, L".wav"))
        return;  // added from OnIdle as it is

    const CString extension = m_pJob->m_strFileExtension.IsEmpty() ? CString(L"m4b") : m_pJob->m_strFileExtension;
    m_strConvertedPath = source.Left(source.GetLength() - 3) + extension;
    m_strStepLog += L">" + extension;
    CString error;
    const HRESULT hr = ConvertPartToAac(source, &error);
    if (FAILED(hr) || !m_pConversion) {
        if (error.IsEmpty())
            error.Format(IDS_TRANSFER_UNABLE_TO, L"convert the selected part",
                         m_errors.FormatErrorText(FAILED(hr) ? hr : E_FAIL).GetString());
        SetPartText(error);
        FinishPart(kTransferFailed);
        return;
    }
    if (!WaitCancellable(kPollMs))
        return;  // the next idle call ends the part as cancelled
    m_nLastPercent = 0;
    m_nProgressMax = 0;
    if (m_pConversion)
        m_pConversion->get_MaxProgressValue(&m_nProgressMax);
}

HRESULT CiPodAddThread::ConvertPartToAac(const CString& path, CString* error)
{
    com::ComPtr<IiTunes> iTunes;
    HRESULT hr = ConnectToiTunes(iTunes.Put(), TRUE);
    if (FAILED(hr) || !iTunes) {
        if (SUCCEEDED(hr))
            hr = E_FAIL;
        error->Format(IDS_ITUNES_CLOSED_DURING, static_cast<unsigned>(hr));
        return hr;
    }
    const auto fail = [&](const wchar_t* action, HRESULT code) {
        error->Format(IDS_TRANSFER_UNABLE_TO, action, m_errors.FormatErrorText(code).GetString());
        return code;
    };
    com::ComPtr<IITEncoderCollection> encoders;
    hr = iTunes->get_Encoders(encoders.Put());
    if (FAILED(hr) || !encoders)
        return fail(L"get a collection of encoders", FAILED(hr) ? hr : E_FAIL);
    com::ComPtr<IITEncoder> aac;
    com::Bstr aacName(L"AAC Encoder");
    hr = encoders->get_ItemByName(aacName, aac.Put());
    if (FAILED(hr) || !aac)
        return fail(L"get the name of the encoder", FAILED(hr) ? hr : E_FAIL);
    if (!m_pSavedEncoder)
        iTunes->get_CurrentEncoder(&m_pSavedEncoder);
    hr = iTunes->put_CurrentEncoder(aac.Get());
    if (FAILED(hr))
        return fail(L"process 'ConvertFile2'", hr);
    com::Bstr file(path);
    hr = iTunes->ConvertFile2(file, &m_pConversion);
    if (FAILED(hr)) {
        if (m_pConversion) {
            m_pConversion->Release();
            m_pConversion = nullptr;
        }
        return fail(L"process 'ConvertFile2'", hr);
    }
    PostAddProgress(0, 1);
    return hr;
}

BOOL CiPodAddThread::OnIdle(LONG count)
{
    if (!m_pJob || m_bFinished) {
        CWinThread::OnIdle(count);
        return FALSE;
    }
    if (m_bCancel) {
        WaitCancellable(kPollMs);
        FinishPart(kTransferCancelled);
        return FALSE;
    }
    CString source = m_pJob->m_strSourcePath;
    if (m_pConversion) {
        VARIANT_BOOL inProgress = VARIANT_FALSE;
        const HRESULT hr = m_pConversion->get_InProgress(&inProgress);
        if (((SUCCEEDED(hr) && inProgress) || hr == RPC_E_CALL_REJECTED) && m_conversionWaitedMs >= kConversionWaitLimitMs) {
            // iTunes has hung in the conversion: it is stopped and the part fails.
            m_strStepLog += L"[Conversion unfinished]";
            StoreLog();
            m_pConversion->StopConversion();
            CString error;
            error.Format(IDS_TRANSFER_UNABLE_TO, L"convert the selected part",
                         m_errors.FormatErrorText(kiTunesAddUnfinished).GetString());
            SetPartText(error);
            FinishPart(kTransferFailed);
            return FALSE;
        }
        if (SUCCEEDED(hr) && inProgress) {
            m_conversionWaitedMs += kPollMs;
            LONG value = 0;
            if (SUCCEEDED(m_pConversion->get_ProgressValue(&value)) && value > 0)
                ReportConversionPercent(value);
            WaitCancellable(kPollMs);
            return TRUE;
        }
        if (hr == RPC_E_CALL_REJECTED) {
            m_conversionWaitedMs += kPollMs;
            AfxMessageBox(IDS_ITUNES_CLOSE_WINDOWS, MB_OK | MB_ICONEXCLAMATION);
            WaitCancellable(kPollMs);
            return TRUE;
        }
        if (!WaitCancellable(kConversionSettleMs))
            return TRUE;  // cancelled: the next call ends the part
        CString error;
        if (!FinishConversion(m_strConvertedPath, &error)) {
            if (error.IsEmpty()) {
                CString action;
                action.Format(L"convert this title for the %s", m_pJob->m_striPodName.GetString());
                error.Format(IDS_ITUNES_ERROR, action.GetString(), L"");
            }
            SetPartText(error);
            FinishPart(kTransferFailed);
            return FALSE;
        }
        source = m_strConvertedPath;
        m_pJob->m_strSourcePath = source;
        WriteChapters(source);
    }
    PostAddProgress(0, 48);
    const HRESULT hr = AddPartToiTunes(source, m_pJob->m_striPodName, m_pJob->m_bIsApple);
    RestoreEncoder();
    const int result = MapAddResult(hr, m_bCancel);
    if (result == kTransferBusy && ++m_busyAttempts < kBusyAddAttempts) {
        WaitCancellable(kPollMs);
        return TRUE;  // the same add again (a cancel is seen by the next call)
    }
    if (result == kTransferBusy) {
        // An iPod that stays busy: the part fails with what iTunes answered.
        m_strStepLog += L"[Busy: given up]";
        StoreLog();
        CString action;
        action.Format(L"transfer the selected title to %s", m_pJob->m_striPodName.GetString());
        CString error;
        error.Format(IDS_TRANSFER_UNABLE_TO, action.GetString(), m_errors.FormatErrorText(hr).GetString());
        SetPartText(error);
        FinishPart(kTransferFailed);
        return FALSE;
    }
    FinishPart(result);
    return FALSE;
}

void CiPodAddThread::ReportConversionPercent(LONG value)
{
    const int percent = ConversionPercent(value, m_nProgressMax);
    if (percent == m_nLastPercent)
        return;
    m_nLastPercent = percent;
    PostAddProgress(static_cast<WPARAM>(percent), 1);
}

BOOL CiPodAddThread::FinishConversion(const CString& target, CString* error)
{
    if (!m_pConversion)
        return FALSE;
    com::ComPtr<IITConvertOperationStatus> conversion;
    conversion.Attach(m_pConversion);
    m_pConversion = nullptr;
    const auto fail = [&](HRESULT code) {
        error->Format(IDS_TRANSFER_UNABLE_TO, L"complete the converting process",
                      m_errors.FormatErrorText(code).GetString());
        return FALSE;
    };
    com::ComPtr<IITTrackCollection> tracks;
    HRESULT hr = conversion->get_Tracks(tracks.Put());
    if (FAILED(hr))
        return fail(hr);
    com::ComPtr<IITTrack> track;
    if (!tracks || FAILED(tracks->get_Item(1, track.Put())) || !track)
        return FALSE;
    com::ComPtr<IITFileOrCDTrack> fileTrack;
    hr = track->QueryInterface(IID_IITFileOrCDTrack, fileTrack.PutVoid());
    if (FAILED(hr) || !fileTrack)
        return FAILED(hr) ? fail(hr) : FALSE;
    com::Bstr location;
    hr = fileTrack->get_Location(location.Put());
    if (FAILED(hr))
        return fail(hr);
    if (!location.Get() || !location.Length())
        return FALSE;
    const CString written(location.Get());
    // Only a copy made now counts: whatever stood at the target before proves nothing. Until the
    // copy is in place, iTunes' file and its track are the only converted part there is.
    const BOOL converted = CopyFileW(written, target, FALSE);
    if (!converted) {
        const DWORD code = GetLastError();
        if (!(GetFileAttributesW(target) & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileW(target);  // no half copy is left to pass for the part
        m_strStepLog += L"[" + written + L">KEPT]";
        return fail(HRESULT_FROM_WIN32(code));
    }
    const BOOL deleted = DeleteFileW(written);
    track->Delete();
    m_strStepLog += L"[" + written + (deleted ? L">DEL" : L">ERR") + L"]";
    // The WAV was made for this conversion; it goes only once its AAC copy is in place.
    const CString wave = target.Left(target.GetLength() - 3) + L"wav";
    if (converted && GetFileAttributesW(wave) != INVALID_FILE_ATTRIBUTES)
        m_strStepLog += L"[" + wave + (DeleteFileW(wave) ? L">DEL" : L">ERR") + L"]";
    return converted;
}

void CiPodAddThread::WriteChapters(const CString& path)
{
    if (m_pJob->m_strMarkerText.IsEmpty())
        return;
    std::string markers = ChapterMarkerText(m_pJob->m_strMarkerText);
    std::string file = path.ToNarrow(CP_ACP);
    if (markers.empty())
        return;
    const BOOL initialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    {
        com::ComPtr<IVPMediaObj> chapters;
        if (SUCCEEDED(CoCreateInstance(CLSID_CVPMediaObj, nullptr, CLSCTX_INPROC_SERVER, IID_IVPMediaObj,
                                       chapters.PutVoid())) &&
            chapters)
            chapters->AddMediaMarkers(file.data(), markers.data());
    }
    if (initialized)
        CoUninitialize();
}

void CiPodAddThread::OnCancel()
{
    m_bCancel = TRUE;
    if (!m_pConversion)
        return;
    VARIANT_BOOL inProgress = VARIANT_FALSE;
    if (SUCCEEDED(m_pConversion->get_InProgress(&inProgress)) && inProgress) {
        m_pConversion->StopConversion();
        iTunesWait(kPollMs);
    }
    m_pConversion->Release();
    m_pConversion = nullptr;
}

void CiPodAddThread::RestoreEncoder()
{
    if (!m_pSavedEncoder)
        return;
    RestoreiTunesEncoder(m_pSavedEncoder);
    m_pSavedEncoder->Release();
    m_pSavedEncoder = nullptr;
}

void CiPodAddThread::FinishPart(int result)
{
    if (m_bFinished)
        return;
    if (m_pConversion) {
        m_pConversion->Release();
        m_pConversion = nullptr;
    }
    // The user's import setting comes back whichever way the part ends.
    RestoreEncoder();
    // The page may delete the job as soon as the report is posted.
    CTransferJob* job = m_pJob;
    m_pJob = nullptr;
    if (job)
        job->m_nResult = result;
    EndJob(result, job ? job->m_hOwnerWnd : nullptr, WM_PART_DONE, reinterpret_cast<LPARAM>(job));
}

void CiPodAddThread::SetPartText(const CString& text)
{
    if (m_pJob && m_pJob->m_pPlayer)
        m_pJob->m_pPlayer->errorDetails.SetAt(kTransferPartKey, text);
}

void CiPodAddThread::StoreLog()
{
    if (m_pJob && m_pJob->m_pPlayer)
        m_pJob->m_pPlayer->errorDetails.SetAt(kTransferPartLogKey, m_strStepLog);
}

BOOL CiPodAddThread::SendAddProgress(WPARAM wParam, LPARAM lParam)
{
    if (!m_pJob || !m_pJob->m_hOwnerWnd)
        return TRUE;
    if (SendMessageW(m_pJob->m_hOwnerWnd, WM_ADD_PROGRESS, wParam, lParam))
        return TRUE;
    m_bCancel = TRUE;
    return FALSE;
}

void CiPodAddThread::PostAddProgress(WPARAM wParam, LPARAM lParam)
{
    if (m_pJob && m_pJob->m_hOwnerWnd)
        PostMessageW(m_pJob->m_hOwnerWnd, WM_ADD_PROGRESS, wParam, lParam);
}

HANDLE StartiPodAddThread(CTransferJob* job, DWORD* threadId)
{
    return StartWorkerThread(job ? new CiPodAddThread : nullptr, job, threadId);
}
