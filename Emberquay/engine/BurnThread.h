// CDBurnThread: burns one job disc by disc. The Progress page starts it from its runtime class,
// hands it the job with WM_BURNING_START and may cancel with WM_TRANSFER_CANCEL (or the job's
// Cancel, which also reaches the thread while one of its questions is up). Between discs it asks
// for a new blank disc; at its end it posts WM_PART_DONE (wParam: 1 done, 2 cancelled, 3 failed)
// to the job's owner window and quits.
#pragma once

#include "BurnEngine.h"
#include "WinThread.h"

// The decoding progress the engine reports, sent to the Progress page as WM_BURN_PROGRESS
// (wParam: the part being decoded, lParam: milliseconds decoded, or -1 at a part's start); a
// zero reply, or the job cancelled, answers kBurnCancelled.
class CBurnProgress : public IWMDMProgress {
public:
    CBurnProgress(HWND owner, const CBurnJob* job) : m_owner(owner), m_job(job) {}
    virtual ~CBurnProgress() = default;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_refs); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&m_refs); }  // owned by its creator
    STDMETHODIMP Begin(DWORD value) override;
    STDMETHODIMP Progress(DWORD value) override;
    STDMETHODIMP End() override { return S_OK; }

private:
    HWND m_owner;
    const CBurnJob* m_job;
    LONG m_refs = 1;
    DWORD m_begin = 0;
    DWORD m_last = 0;
    bool m_sent = false;
};

class CDBurnThread : public CWinThread {
    DECLARE_DYNCREATE(CDBurnThread)
public:
    // The thread's results.
    enum : LONG { kDone = 1, kCancelled = 2, kFailed = 3, kAnotherDisc = 4 };
    // The pause before the next disc.
    static DWORD s_nextDiscPauseMs;

    BOOL InitInstance() override { return TRUE; }
    BOOL OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnIdle(LONG count) override;

private:
    void OnBurnStart(CBurnJob* job);
    BOOL BurnIdle();
    HRESULT BurnOnePart();
    void FinishBurn(LONG result);
    bool IsCancelled() const { return m_cancel || (m_job && m_job->IsCancelled()); }
    // Stores the text of a failed step under "BurningPart".
    void StoreError(const wchar_t* step, HRESULT hr);
    // A question of the thread; a cancel that arrived while it was up counts as Cancel.
    int Ask(const CString& text, UINT type, int cancelAnswer);

    CBurnJob* m_job = nullptr;
    BOOL m_cancel = FALSE;
    LONG m_result = kFailed;
    ULONG m_nextIndex = 0;
    bool m_finished = false;
};
