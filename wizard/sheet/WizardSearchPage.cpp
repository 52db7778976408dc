#include "WizardSearchPage.h"

#include "SuiteMessages.h"
#include "WizardApp.h"
#include "WizardSheet.h"
#include "res/SearchPageIds.h"

IMPLEMENT_DYNAMIC(CWizardSearchPage, CWizardPage)

CWizardSearchPage::CWizardSearchPage(CWizardSheetBase* sheet, UINT templateId, const wchar_t* helpTopic,
                                     const wchar_t* logName)
    : CWizardPage(sheet, templateId), m_logName(logName)
{
    m_helpTopic = helpTopic;
}

BOOL CWizardSearchPage::OnInitDialog()
{
    if (!CWizardPage::OnInitDialog())
        return FALSE;
    SetMarkupText(IDC_SEARCH_MESSAGE, L"Message", this);
    if (m_animation.SubclassDlgItem(IDC_SEARCH_ANIMATION, this))
        m_animation.Open(IDR_SEARCH_ANIMATION);
    return TRUE;
}

BOOL CWizardSearchPage::OnSetActive()
{
    const BOOL active = CWizardPage::OnSetActive();
    if (m_ownerSheet) {
        m_ownerSheet->PostMessage(PSM_SETWIZBUTTONS, 0, 0);
        PostMessage(WM_START_DEVICE_SEARCH);
    }
    return active;
}

void CWizardSearchPage::StartSearch()
{
    if (!m_ownerSheet || m_job)
        return;
    if (m_watch.IsStopping()) {
        // A search that was asked to stop is still inside a call: this one waits for it.
        SetTimer(CSearchWatch::kRestartTimerId, CSearchWatch::kIntervalMs, nullptr);
        m_startPending = TRUE;
        return;
    }
    KillTimer(CSearchWatch::kRestartTimerId);
    m_startPending = FALSE;
    // What an earlier search found goes; this search fills its own job.
    DiscardFound();
    std::shared_ptr<SearchJob> job = NewSearchJob();
    job->owner = m_hWnd;
    job->notFoundText = LoadPageText(IDS_NO_DEVICES_FOUND, L"ERROR_NO_DEVICES_FOUND");
    CWinThread* thread = StartSearchThread(job);
    if (!thread) {
        // No search: nothing was found.
        m_ownerSheet->PressButton(PSBTN_BACK);
        return;
    }
    m_job = job;
    m_watch.Start(this, thread, &job->stopRequested);
}

void CWizardSearchPage::FinishSearch()
{
    m_watch.Forget();
    m_job.reset();
    const INT_PTR found = FoundCount();
    if (found > 0 && m_app && m_app->m_verbose)
        LogFound(found);
    m_ownerSheet->PressButton(found > 0 ? PSBTN_NEXT : PSBTN_BACK);
}

void CWizardSearchPage::OnTimer(UINT_PTR id)
{
    if (id == CSearchWatch::kRestartTimerId) {
        if (m_watch.IsStopping())
            return;
        KillTimer(id);
        const BOOL pending = m_startPending;
        m_startPending = FALSE;
        if (pending && m_ownerSheet && m_ownerSheet->GetActivePage() == this)
            StartSearch();
        return;
    }
    if (id != CSearchWatch::kTimerId) {
        CWizardPage::OnTimer(id);
        return;
    }
    // A thread that ended without its report leaves the page waiting no longer.
    if (m_job && m_watch.EndedWithoutReport(id)) {
        AcceptFound(m_job->found);  // the thread has ended: nothing of it is in use
        FinishSearch();
    }
}

BOOL CWizardSearchPage::OnQueryCancel()
{
    if (m_startPending) {
        // Still waiting for a stopped search: this one never started.
        KillTimer(CSearchWatch::kRestartTimerId);
        m_startPending = FALSE;
        m_ownerSheet->SendMessage(PSM_PRESSBUTTON, PSBTN_BACK);
        return FALSE;
    }
    if (!m_job)
        return CWizardPage::OnQueryCancel();
    // The search keeps its job (and what it found) until it ends; the sheet keeps nothing of it.
    if (m_watch.Stop() && m_app)
        m_app->WriteVerboseLog(CString(m_logName) + L": stopping");
    m_job.reset();
    m_ownerSheet->SendMessage(PSM_PRESSBUTTON, PSBTN_BACK);
    return FALSE;
}

BOOL CWizardSearchPage::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message)
{
    if (m_app) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
    }
    return CWizardPage::OnSetCursor(wnd, hitTest, message);
}

BOOL CWizardSearchPage::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_START_DEVICE_SEARCH:
        StartSearch();
        *result = 0;
        return TRUE;
    case WM_DEVICE_SEARCH_DONE:
        *result = 0;
        // Sent: the thread waits in SendMessage while the page takes what it found.
        if (m_job && !m_job->stopRequested) {
            AcceptFound(m_job->found);
            FinishSearch();
        }
        return TRUE;
    default:
        return CWizardPage::OnWndMsg(message, wParam, lParam, result);
    }
}
