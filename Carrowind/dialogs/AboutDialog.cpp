#include "AboutDialog.h"

#include "FileUtils.h"
#include "WizardApp.h"
#include "res/CarrowindIds.h"
#include "res/HelpTopics.h"

IMPLEMENT_DYNAMIC(CAboutDialog, CDialog)

CAboutDialog::CAboutDialog(CWnd* parent) : CDialog(IDD_ABOUT, parent) { m_helpTopic = kAboutHelpTopic; }

BOOL CAboutDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    const CWizardAppBase* app = AfxGetWizardApp();
    const CString title = app ? app->GetAppTitle() : AfxLoadString(IDS_CARROWIND_TITLE);
    CString caption;
    caption.Format(L"About %s", title.GetString());
    SetWindowText(caption);
    SetDlgItemText(IDC_ABOUT_TITLE, title);
    SetDlgItemText(IDC_ABOUT_VERSION, GetVersionDisplayText());
    return TRUE;
}
