#include "CdPages.h"

#include "CdWizardSheet.h"
#include "SuiteMessages.h"
#include "WizardApp.h"
#include "res/EmberquayIds.h"
#include "res/HelpTopics.h"

IMPLEMENT_DYNAMIC(CCdWelcomePage, CWizardPage)
IMPLEMENT_DYNAMIC(CCdSearchPage, CWizardPage)
IMPLEMENT_DYNAMIC(CCdSuccessPage, CWizardPage)

// --- Welcome ---

CCdWelcomePage::CCdWelcomePage(CCdWizardSheet* sheet) : CWizardPage(sheet, IDD_WELCOME_PAGE)
{
    m_helpTopic = kWelcomeHelpTopic;
}

BOOL CCdWelcomePage::OnInitDialog()
{
    if (!CWizardPage::OnInitDialog())
        return FALSE;
    SetMarkupText(IDC_WELCOME_MESSAGE, L"Message", this);
    SetMarkupText(IDC_WELCOME_PROMPT, L"Prompt", this);
    return TRUE;
}

BOOL CCdWelcomePage::OnSetActive()
{
    const BOOL active = CWizardPage::OnSetActive();
    if (m_ownerSheet)
        m_ownerSheet->PostMessage(PSM_SETWIZBUTTONS, 0, PSWIZB_NEXT);
    return active;
}

// --- Search ---

CCdSearchPage::CCdSearchPage(CCdWizardSheet* sheet) : CWizardPage(sheet, IDD_SEARCH_PAGE), m_sheet(sheet)
{
    m_helpTopic = kSearchHelpTopic;
}

BOOL CCdSearchPage::OnInitDialog()
{
    if (!CWizardPage::OnInitDialog())
        return FALSE;
    SetMarkupText(IDC_SEARCH_MESSAGE, L"Message", this);
    if (m_animation.SubclassDlgItem(IDC_SEARCH_ANIMATION, this))
        m_animation.Open(IDR_SEARCH_ANIMATION);
    return TRUE;
}

BOOL CCdSearchPage::OnSetActive()
{
    const BOOL active = CWizardPage::OnSetActive();
    if (m_ownerSheet) {
        m_ownerSheet->PostMessage(PSM_SETWIZBUTTONS, 0, 0);
        PostMessage(WM_START_DEVICE_SEARCH);
    }
    return active;
}

void CCdSearchPage::StartSearch()
{
    if (!m_sheet || m_job)
        return;
    auto job = std::make_shared<DriveSearchJob>();
    job->owner = m_hWnd;
    job->drives = &m_sheet->m_drives;
    job->notFoundText = LoadPageText(IDS_NO_DEVICES_FOUND, L"ERROR_NO_DEVICES_FOUND");
    CWinThread* thread = StartDriveSearch(job);
    if (!thread) {
        m_ownerSheet->PressButton(PSBTN_BACK);
        return;
    }
    m_job = job;
    m_watch.Start(this, thread, &job->stopRequested);
}

void CCdSearchPage::FinishSearch()
{
    m_watch.Forget();
    m_job.reset();
    const INT_PTR found = m_sheet->m_drives.GetSize();
    if (found > 0 && m_app && m_app->m_verbose) {
        CString record;
        record.Format(L"DriveSearch: %d drive(s)", static_cast<int>(found));
        m_app->WriteVerboseLog(record);
    }
    m_ownerSheet->PressButton(found > 0 ? PSBTN_NEXT : PSBTN_BACK);
}

void CCdSearchPage::OnTimer(UINT_PTR id)
{
    if (m_watch.EndedWithoutReport(id)) {
        FinishSearch();
        return;
    }
    CWizardPage::OnTimer(id);
}

BOOL CCdSearchPage::OnQueryCancel()
{
    if (!m_job)
        return CWizardPage::OnQueryCancel();
    if (m_watch.Stop()) {
        // What a stopped search left may be half made.
        m_sheet->DeleteDrives();
        if (m_app)
            m_app->WriteVerboseLog(L"DriveSearch: ended by force");
    }
    m_job.reset();
    m_ownerSheet->SendMessage(PSM_PRESSBUTTON, PSBTN_BACK);
    return FALSE;
}

BOOL CCdSearchPage::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message)
{
    if (m_app) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
    }
    return CWizardPage::OnSetCursor(wnd, hitTest, message);
}

BOOL CCdSearchPage::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_START_DEVICE_SEARCH:
        StartSearch();
        *result = 0;
        return TRUE;
    case WM_DEVICE_SEARCH_DONE:
        *result = 0;
        if (m_job && !m_job->stopRequested)
            FinishSearch();
        return TRUE;
    default:
        return CWizardPage::OnWndMsg(message, wParam, lParam, result);
    }
}

// --- Success ---

CCdSuccessPage::CCdSuccessPage(CCdWizardSheet* sheet) : CWizardPage(sheet, IDD_SUCCESS_PAGE), m_sheet(sheet)
{
    m_helpTopic = kSuccessHelpTopic;
}

BOOL CCdSuccessPage::OnInitDialog()
{
    if (!CWizardPage::OnInitDialog())
        return FALSE;
    ShowResult();
    return TRUE;
}

void CCdSuccessPage::ShowResult()
{
    SetMarkupText(IDC_SUCCESS_MESSAGE, L"Message", this);
    CString elapsed;
    if (m_sheet->m_elapsedText.IsEmpty())
        elapsed = AfxLoadString(IDS_TIME_UNKNOWN);
    else
        elapsed.Format(AfxLoadString(IDS_TIME_ELAPSED), m_sheet->m_elapsedText.GetString());
    SetDlgItemText(IDC_SUCCESS_ELAPSED, elapsed);
}

BOOL CCdSuccessPage::OnSetActive()
{
    const BOOL active = CWizardPage::OnSetActive();
    // The burn's count and time are known by now.
    ShowResult();
    if (m_ownerSheet) {
        m_ownerSheet->PostMessage(PSM_SETWIZBUTTONS, 0, PSWIZB_FINISH);
        m_ownerSheet->CancelToClose();
    }
    MessageBeep(0);
    return active;
}
