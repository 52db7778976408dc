#include "WelcomePage.h"

#include "WizardSheet.h"
#include "res/CarrowindIds.h"
#include "res/HelpTopics.h"

IMPLEMENT_DYNAMIC(CWelcomePage, CWizardPage)

CWelcomePage::CWelcomePage(CWizardSheetBase* sheet) : CWizardPage(sheet, IDD_WELCOME_PAGE)
{
    m_helpTopic = kWelcomeHelpTopic;
}

BOOL CWelcomePage::OnInitDialog()
{
    if (!CWizardPage::OnInitDialog())
        return FALSE;
    if (m_ownerSheet->m_contentType.Find(L"MP3") >= 0) {
        CString text = GetDlgItemText(IDC_WELCOME_MESSAGE);
        text.Replace(AfxLoadString(IDS_WELCOME_CONNECT), AfxLoadString(IDS_WELCOME_CONNECT_MP3));
        SetDlgItemText(IDC_WELCOME_MESSAGE, text);
    }
    SetMarkupText(IDC_WELCOME_MESSAGE, L"Message", this);
    SetMarkupText(IDC_WELCOME_PROMPT, L"Prompt", this);
    return TRUE;
}

BOOL CWelcomePage::OnSetActive()
{
    const BOOL active = CWizardPage::OnSetActive();
    if (m_ownerSheet)
        m_ownerSheet->PostMessage(PSM_SETWIZBUTTONS, 0, PSWIZB_NEXT);
    return active;
}
