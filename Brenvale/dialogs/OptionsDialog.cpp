#include "OptionsDialog.h"

#include "ConsoleSettings.h"
#include "ContentFolderName.h"
#include "CredentialScrambler.h"
#include "FileUtils.h"
#include "WinApp.h"
#include "res/ConsoleDialogIds.h"
#include "res/HelpTopics.h"
#include "res/MediaCoreIds.h"

#include <shlobj.h>

namespace {

constexpr const wchar_t* kAutoCheckUpdates = L"AutoCheckUpdates";
constexpr const wchar_t* kAutoCheckMessages = L"AutoCheckMessages";
constexpr const wchar_t* kDownloadFolder = L"DownloadFolder";
constexpr const wchar_t* kAutoPlay = L"AutoPlay";
constexpr const wchar_t* kRequiresAuth = L"InternetRequiresAuth";
constexpr const wchar_t* kUserName = L"UserName";
constexpr const wchar_t* kPassword = L"Password";

CString KindName()
{
    CString name;
    name.LoadString(IDS_KIND_MP3_AUDIOBOOK);
    return name;
}

int ProfileInt(const wchar_t* name, int fallback)
{
    CWinApp* app = AfxGetApp();
    return app ? static_cast<int>(app->GetProfileInt(kSettingsSection, name, fallback)) : fallback;
}

CString ProfileString(const wchar_t* name)
{
    CWinApp* app = AfxGetApp();
    return app ? app->GetProfileString(kSettingsSection, name) : CString();
}

}  // namespace

CString GetKindDownloadFolder(const CString& kindName)
{
    CString folder = ProfileString(CString(L"DownloadFolder-") + kindName);
    if (!folder.IsEmpty())
        return folder;
    CString base = ProfileString(kDownloadFolder);
    if (base.IsEmpty()) {
        wchar_t documents[MAX_PATH] = {};
        SHGetFolderPathW(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, documents);
        base.Format(L"%s\\My Media", documents);
    }
    if (base.Right(1) != L"\\")
        base += L'\\';
    return base + PluralizeFolderName(kindName);
}

CString OptionsFolderMessage(DownloadFolderProblem problem, const CString& kindName, const CString& driveKind)
{
    CString text;
    switch (problem) {
    case DownloadFolderProblem::None:
        break;
    case DownloadFolderProblem::Empty:
        text.Format(IDS_FOLDER_EMPTY, kindName.GetString());
        break;
    case DownloadFolderProblem::InvalidCharacters:
        text.Format(IDS_FOLDER_INVALID_CHARACTERS, kindName.GetString());
        break;
    case DownloadFolderProblem::UnsupportedDrive:
        text.Format(IDS_FOLDER_UNSUPPORTED_DRIVE, kindName.GetString(), driveKind.GetString());
        break;
    }
    return text;
}

COptionsDlg::COptionsDlg(CWnd* parent) : CConsoleDialog(IDD_OPTIONS, parent, kHelpTopicOptionsDialog) {}

BOOL COptionsDlg::OnInitDialog()
{
    CConsoleDialog::OnInitDialog();
    CheckDlgButton(IDC_OPTIONS_CHECK_UPDATES, ProfileInt(kAutoCheckUpdates, 1) != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_OPTIONS_CHECK_MESSAGES, ProfileInt(kAutoCheckMessages, 1) != 0 ? BST_CHECKED : BST_UNCHECKED);

    m_folderChangeable = ProfileInt(kDownloadFolderLocked, 0) == 0;
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_OPTIONS_FOLDER_CHANGE), m_folderChangeable);
    SetDlgItemText(IDC_OPTIONS_FOLDER, GetKindDownloadFolder(KindName()));

    int autoPlay = ProfileInt(kAutoPlay, 0);
    if (autoPlay < IDC_OPTIONS_PLAY_FROM_START || autoPlay > IDC_OPTIONS_RESUME_FURTHEST)
        autoPlay = IDC_OPTIONS_RESUME_RECENT;
    ::CheckRadioButton(m_hWnd, IDC_OPTIONS_PLAY_FROM_START, IDC_OPTIONS_RESUME_FURTHEST, autoPlay);

    CheckDlgButton(IDC_OPTIONS_REQUIRES_AUTH, ProfileInt(kRequiresAuth, 0) != 0 ? BST_CHECKED : BST_UNCHECKED);
    m_userName = ProfileString(kUserName);
    m_password = CCredentialScrambler().UnscrambleCredential(kSettingsSection, kPassword);
    SetDlgItemText(IDC_OPTIONS_USER_NAME, m_userName);
    SetDlgItemText(IDC_OPTIONS_PASSWORD, m_password);
    EnableProxyFields();
    return TRUE;
}

BOOL COptionsDlg::OnCmdMsg(UINT id, UINT code)
{
    if (code == BN_CLICKED && id == IDC_OPTIONS_FOLDER_CHANGE) {
        BrowseDownloadFolder();
        return TRUE;
    }
    if (code == BN_CLICKED && id == IDC_OPTIONS_REQUIRES_AUTH) {
        EnableProxyFields();
        return TRUE;
    }
    return CConsoleDialog::OnCmdMsg(id, code);
}

void COptionsDlg::EnableProxyFields()
{
    const BOOL enable = IsDlgButtonChecked(IDC_OPTIONS_REQUIRES_AUTH) == BST_CHECKED;
    for (int id : {IDC_OPTIONS_USER_NAME_LABEL, IDC_OPTIONS_USER_NAME, IDC_OPTIONS_PASSWORD_LABEL, IDC_OPTIONS_PASSWORD})
        ::EnableWindow(::GetDlgItem(m_hWnd, id), enable);
}

void COptionsDlg::BrowseDownloadFolder()
{
    CString folder;
    if (BrowseForDownloadFolder(m_hWnd, AfxLoadString(IDS_CHOOSE_DOWNLOAD_FOLDER), AfxLoadString(IDS_SELECT_DOWNLOAD_FOLDER),
                                folder))
        SetDlgItemText(IDC_OPTIONS_FOLDER, folder);
}

void COptionsDlg::OnOK()
{
    // Every field is checked first, so a refused OK leaves the settings as they were.
    const CString kindName = KindName();
    const CString folder = GetDlgItemText(IDC_OPTIONS_FOLDER);
    if (m_folderChangeable) {
        CString driveKind;
        const CString message = OptionsFolderMessage(CheckDownloadFolder(folder, driveKind, m_driveType), kindName, driveKind);
        if (!message.IsEmpty()) {
            AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
            return;
        }
    }
    const BOOL requiresAuth = IsDlgButtonChecked(IDC_OPTIONS_REQUIRES_AUTH) == BST_CHECKED;
    m_userName = GetDlgItemText(IDC_OPTIONS_USER_NAME);
    m_password = GetDlgItemText(IDC_OPTIONS_PASSWORD);
    if (requiresAuth && (m_userName.IsEmpty() || m_password.IsEmpty())) {
        ShowMessage(IDS_NEED_USER_AND_PASSWORD);
        return;
    }

    CWinApp* app = AfxGetApp();
    if (!app)
        return;
    app->WriteProfileInt(kSettingsSection, kAutoCheckUpdates, IsDlgButtonChecked(IDC_OPTIONS_CHECK_UPDATES) == BST_CHECKED);
    app->WriteProfileInt(kSettingsSection, kAutoCheckMessages, IsDlgButtonChecked(IDC_OPTIONS_CHECK_MESSAGES) == BST_CHECKED);
    if (m_folderChangeable)
        app->WriteProfileString(kSettingsSection, CString(L"DownloadFolder-") + kindName, folder);
    const int autoPlay = GetCheckedRadioButton(IDC_OPTIONS_PLAY_FROM_START, IDC_OPTIONS_RESUME_FURTHEST);
    app->WriteProfileInt(kSettingsSection, kAutoPlay, autoPlay ? autoPlay : IDC_OPTIONS_RESUME_RECENT);
    app->WriteProfileInt(kSettingsSection, kRequiresAuth, requiresAuth ? 1 : 0);
    if (requiresAuth) {
        app->WriteProfileString(kSettingsSection, kUserName, m_userName);
        CCredentialScrambler().ScrambleCredential(kSettingsSection, kPassword, m_password);
    } else {
        m_userName.Empty();
        m_password.Empty();
        app->DeleteProfileValue(kSettingsSection, kPassword);
    }
    EndDialog(IDOK);
}
