#include "AuthenticationDialog.h"

#include "ConsoleSettings.h"
#include "CredentialScrambler.h"
#include "WinApp.h"
#include "res/ConsoleDialogIds.h"
#include "res/HelpTopics.h"

namespace {

constexpr const wchar_t* kUserName = L"UserName";
constexpr const wchar_t* kPassword = L"Password";
constexpr const wchar_t* kRequiresAuth = L"InternetRequiresAuth";

}  // namespace

CAuthenticationDlg::CAuthenticationDlg(CWnd* parent)
    : CConsoleDialog(IDD_AUTHENTICATION, parent, kHelpTopicAuthenticationRequired)
{
}

BOOL CAuthenticationDlg::OnInitDialog()
{
    CConsoleDialog::OnInitDialog();
    CWinApp* app = AfxGetApp();
    if (app) {
        m_userName = app->GetProfileString(kSettingsSection, kUserName);
        m_password = CCredentialScrambler().UnscrambleCredential(kSettingsSection, kPassword);
        CheckDlgButton(IDC_AUTH_REMEMBER,
                       static_cast<int>(app->GetProfileInt(kSettingsSection, kRequiresAuth, 0)) > 0 ? BST_CHECKED
                                                                                                  : BST_UNCHECKED);
    }
    SetDlgItemText(IDC_AUTH_USER_NAME, m_userName);
    SetDlgItemText(IDC_AUTH_PASSWORD, m_password);
    return TRUE;
}

void CAuthenticationDlg::OnOK()
{
    m_userName = GetDlgItemText(IDC_AUTH_USER_NAME);
    m_password = GetDlgItemText(IDC_AUTH_PASSWORD);
    if (m_userName.IsEmpty() || m_password.IsEmpty()) {
        ShowMessage(IDS_NEED_USER_AND_PASSWORD);
        return;
    }
    const bool remember = IsDlgButtonChecked(IDC_AUTH_REMEMBER) == BST_CHECKED;
    if (CWinApp* app = AfxGetApp()) {
        app->WriteProfileString(kSettingsSection, kUserName, m_userName);
        if (remember)
            CCredentialScrambler().ScrambleCredential(kSettingsSection, kPassword, m_password);
        else
            app->DeleteProfileValue(kSettingsSection, kPassword);
        app->WriteProfileInt(kSettingsSection, kRequiresAuth, remember ? 1 : 0);
    }
    EndDialog(IDOK);
}
