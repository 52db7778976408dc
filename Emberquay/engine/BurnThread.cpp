#include "BurnThread.h"

#include "AfxMessageBox.h"
#include "res/BurnTextIds.h"
#include "DriveSearch.h"
#include "ErrorTable.h"
#include "SuiteMessages.h"

#include <objbase.h>

IMPLEMENT_DYNCREATE(CDBurnThread, CWinThread)

DWORD CDBurnThread::s_nextDiscPauseMs = 2000;

namespace {

constexpr wchar_t kBurningPart[] = L"BurningPart";

// A blank disc is in the drive and takes a track. A refresh that finds no disc leaves the space
// fields of the disc before, so the type decides first.
bool TakesTracks(const DriveRecord& record)
{
    return record.discType != STARBURN_DISC_NONE && record.blank && record.trackFlag;
}

}  // namespace

STDMETHODIMP CBurnProgress::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWMDMProgress)) {
        *object = static_cast<IWMDMProgress*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP CBurnProgress::Begin(DWORD value)
{
    m_begin = value;
    return S_OK;
}

STDMETHODIMP CBurnProgress::Progress(DWORD value)
{
    if (m_job && m_job->IsCancelled())
        return kBurnCancelled;
    if (!m_owner)
        return S_OK;
    if (m_sent && value == m_last && value != static_cast<DWORD>(-1))
        return S_OK;
    const LRESULT reply = SendMessageW(m_owner, WM_BURN_PROGRESS, m_begin, static_cast<LPARAM>(static_cast<LONG>(value)));
    if (value != static_cast<DWORD>(-1)) {
        m_last = value;
        m_sent = true;
    }
    return reply ? S_OK : kBurnCancelled;
}

BOOL CDBurnThread::OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)wParam;
    if (message == WM_BURNING_START) {
        OnBurnStart(reinterpret_cast<CBurnJob*>(lParam));
        return TRUE;
    }
    if (message == WM_TRANSFER_CANCEL) {
        m_cancel = TRUE;
        return TRUE;
    }
    return CWinThread::OnThreadMessage(message, wParam, lParam);
}

void CDBurnThread::OnBurnStart(CBurnJob* job)
{
    m_job = job;
    if (!job) {
        FinishBurn(kFailed);
        return;
    }
    if (job->OwnerWindow) {
        const LRESULT reply = SendMessageW(job->OwnerWindow, WM_PART_STATUS, 0, reinterpret_cast<LPARAM>(job));
        if (IsCancelled()) {
            m_result = kCancelled;
            FinishBurn(kCancelled);
        } else if (reply != 1) {
            m_result = static_cast<LONG>(reply);
            FinishBurn(m_result);
        }
    }
}

BOOL CDBurnThread::OnIdle(LONG count)
{
    CWinThread::OnIdle(count);
    return BurnIdle();
}

BOOL CDBurnThread::BurnIdle()
{
    if (!m_job || m_finished)
        return FALSE;
    if (IsCancelled()) {
        m_result = kCancelled;
        FinishBurn(kCancelled);
        return FALSE;
    }
    const HRESULT hr = BurnOnePart();
    if (IsCancelled() || hr == kBurnCancelled)
        m_result = kCancelled;
    else if (hr == kBurnNextDisc)
        m_result = kAnotherDisc;
    else if (FAILED(hr))
        m_result = kFailed;
    else
        m_result = kDone;
    if (m_result == kAnotherDisc) {
        Sleep(s_nextDiscPauseMs);
        return TRUE;
    }
    FinishBurn(m_result);
    return FALSE;
}

void CDBurnThread::FinishBurn(LONG result)
{
    m_finished = true;
    if (m_job) {
        m_job->Result = result;
        if (m_nextIndex < kMaxBurnParts)
            m_job->SetPartIndex(static_cast<LONG>(m_nextIndex));
        if (m_job->OwnerWindow)
            PostMessageW(m_job->OwnerWindow, WM_PART_DONE, static_cast<WPARAM>(result), reinterpret_cast<LPARAM>(m_job));
    }
    PostQuitMessage(result);
}

void CDBurnThread::StoreError(const wchar_t* step, HRESULT hr)
{
    static const CErrorTable table;
    CString text;
    text.Format(AfxLoadString(IDS_UNABLE_TO), step, table.FormatErrorText(hr).GetString());
    m_job->Drive->m_errors.SetAt(kBurningPart, text);
}

int CDBurnThread::Ask(const CString& text, UINT type, int cancelAnswer)
{
    const int answer = AfxMessageBox(text, type);
    return IsCancelled() ? cancelAnswer : answer;
}

HRESULT CDBurnThread::BurnOnePart()
{
    if (!m_job || !m_job->Drive)
        return E_FAIL;
    CDriveEntry& drive = *m_job->Drive;
    DriveRecord& record = drive.m_record;
    HRESULT hr = CoInitialize(nullptr);
    if (FAILED(hr)) {
        StoreError(L"initialize the COM library", hr);
        return hr;
    }
    const int parts = m_job->PartIndex + 1;
    {
        CBurnProgress progress(m_job->OwnerWindow, m_job);
        CWMABurn engine;
        for (int i = 0; i < parts && i < kMaxBurnParts; ++i)
            engine.SetPart(m_job->PartPaths[i], m_job->PartDurations[i], i);
        engine.SetWriteSpeed(m_job->WriteSpeed);
        engine.SetTestMode(m_job->TestMode);
        engine.SetCancelFlag(&m_job->Cancelled);

        const DiscRefresh refresh = m_job->RefreshDisc ? m_job->RefreshDisc : DiscRefresh(RefreshDiscState);
        refresh(record);
        while (!TakesTracks(record)) {
            // A disc that is there but takes no track is not called missing.
            const UINT why = record.discType == STARBURN_DISC_NONE ? IDS_NO_MEDIA : IDS_DISC_NOT_BLANK;
            CString text;
            text.Format(AfxLoadString(IDS_INSERT_BLANK), AfxLoadString(why).GetString(), drive.m_displayName.GetString());
            if (Ask(text, MB_RETRYCANCEL | MB_ICONQUESTION, IDCANCEL) == IDCANCEL) {
                hr = kBurnCancelled;
                break;
            }
            refresh(record);
        }
        if (hr != kBurnCancelled) {
            engine.SetDrive(record);
            CString error;
            hr = engine.Burn(parts, m_job->OwnerWindow, &progress, &error, m_nextIndex, kTrackGapFrames);
            m_nextIndex = engine.NextPartIndex();
            if (!error.IsEmpty()) {
                drive.m_errors.SetAt(kBurningPart, error);
            } else if (hr != kBurnCancelled && !IsCancelled() && SUCCEEDED(hr)) {
                const ULONG count = static_cast<ULONG>(parts);
                CString text;
                if (m_nextIndex != 0 && m_nextIndex >= count) {
                    if (m_job->TestMode) {
                        AfxMessageBox(IDS_TEST_DONE, MB_OK | MB_ICONINFORMATION);
                        hr = kBurnCancelled;
                    }
                } else {
                    // Discs, not parts: the disc just done of the discs the Confirm page announced
                    // (more when the decoded audio needs more than it counted).
                    const int done = m_job->DiscNumber;
                    const int discs = m_job->DiscCount > done ? m_job->DiscCount : done + 1;
                    if (m_nextIndex == 0)
                        text = AfxLoadString(IDS_NOTHING_PROCESSED);
                    else
                        text.Format(AfxLoadString(m_job->TestMode ? IDS_NEXT_TEST_DISC : IDS_NEXT_DISC), done, discs,
                                    done + 1);
                    hr = Ask(text, MB_OKCANCEL | MB_ICONINFORMATION, IDCANCEL) == IDCANCEL ? kBurnCancelled
                                                                                           : kBurnNextDisc;
                    if (hr == kBurnNextDisc && m_nextIndex != 0)
                        m_job->DiscNumber = done + 1;
                }
            }
        }
    }
    CoUninitialize();
    CString stored;
    if (FAILED(hr) && !IsCancelled() && hr != kBurnCancelled && hr != kBurnNextDisc &&
        !drive.m_errors.Lookup(kBurningPart, stored))
        StoreError(L"burn the selected part(s)", hr);
    return hr;
}
