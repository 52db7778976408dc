#include "CdPages.h"

#include "CdWizardSheet.h"
#include "WizardApp.h"
#include "res/EmberquayIds.h"
#include "res/HelpTopics.h"

IMPLEMENT_DYNAMIC(CCdWelcomePage, CWizardPage)
IMPLEMENT_DYNAMIC(CCdSearchPage, CWizardSearchPage)
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

CCdSearchPage::CCdSearchPage(CCdWizardSheet* sheet)
    : CWizardSearchPage(sheet, IDD_SEARCH_PAGE, kSearchHelpTopic, L"DriveSearch"), m_sheet(sheet)
{
}

std::shared_ptr<SearchJob> CCdSearchPage::NewSearchJob()
{
    auto job = std::make_shared<DriveSearchJob>();
    job->drives = &job->found;  // the sheet takes them when the search reports
    return job;
}

CWinThread* CCdSearchPage::StartSearchThread(const std::shared_ptr<SearchJob>& job)
{
    return StartDriveSearch(std::static_pointer_cast<DriveSearchJob>(job));
}

INT_PTR CCdSearchPage::FoundCount() const { return m_sheet->m_drives.GetSize(); }

void CCdSearchPage::AcceptFound(CObArray& found)
{
    m_sheet->DeleteDrives();
    m_sheet->m_drives.Append(found);
    found.RemoveAll();
}

void CCdSearchPage::DiscardFound() { m_sheet->DeleteDrives(); }

void CCdSearchPage::LogFound(INT_PTR found)
{
    CString record;
    record.Format(L"DriveSearch: %d drive(s)", static_cast<int>(found));
    m_app->WriteVerboseLog(record);
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
